// ValuesAll computes a slot's 14 values with prepared constants and quick roots; these tests hold
// it to the one-frequency computation (ValueAt), bit for bit, over many readings, calibrations
// and switches, and at the places where the quick roots must give way: values on the boundary
// between two floats and filter decisions on their edge.

#include "signal/SlotValues.h"

#include "SignalFixture.h"
#include "signal/ApparentConductivity.h"
#include "signal/QuickRoots.h"
#include "signal/SignalComputation.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace orv {
namespace {

using namespace signal_component;

// The 14 values one frequency at a time. A switched-off frequency counts as 0 in ValuesAll and is
// filtered from its neighbours like any other: ValueAt of a copy of the slot without it.
std::array<float, kFrequencyCount> OneAtATime(const Configuration& k, const MeasurementSlot& slot)
{
    std::array<float, kFrequencyCount> values{};
    for (int i = 0; i < kFrequencyCount; ++i) {
        MeasurementSlot copy = slot;
        if (k.UsedFrequencies[size_t(i)] == 0) {
            const uint16_t mask = uint16_t(copy.PresentMask() & ~(1u << i));
            little_endian::Store16(&copy.bytes[kMaskOffset], mask);
        }
        values[size_t(i)] = ValueAt(k, copy, i);
    }
    return values;
}

// True when ValuesAll gives the same bits; reports the first difference.
bool SameAsOneAtATime(const Configuration& k, const MeasurementSlot& slot)
{
    std::array<float, kFrequencyCount> all{};
    ValuesAll(k, slot, all);
    const std::array<float, kFrequencyCount> expected = OneAtATime(k, slot);
    for (size_t n = 0; n < all.size(); ++n) {
        if (std::bit_cast<uint32_t>(all[n]) != std::bit_cast<uint32_t>(expected[n])) {
            ADD_FAILURE() << "unit " << k.UnitMeasure << " component " << k.SignalComponent
                          << " kind " << k.ApparentValueKind << " filter " << k.ApplySignalFilter
                          << " frequency " << n << ": " << all[n] << " instead of " << expected[n];
            return false;
        }
    }
    return true;
}

class SlotValuesTest : public SignalTest
{
protected:
    SlotValuesTest() : m_builtIn(m_config.ActiveCalibration) {}

    // A half-space of `sigma` mS/m at every frequency that can show it.
    MeasurementSlot HalfSpace(double sigma) const
    {
        MeasurementSlot slot;
        for (int i = 0; i < kFrequencyCount; ++i) {
            RawBlock block{};
            if (RawBlockForConductivity(sigma, i, m_config.ActiveCalibration, block)) {
                PutBlock(slot, i, block);
            }
        }
        return slot;
    }

    const CalibrationRecord m_builtIn;
};

TEST_F(SlotValuesTest, QuickRootsStayWithinTheirBoundsOfTheLibrary)
{
    // The bounds SlotValues.cpp counts on: the cube root within 2^-46 of pow(x, 1/3), its square
    // within 2^-44 of pow(x, 2/3), the trisected cosine within 12 * 2^-52 of the library's.
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> exponent(-100, 100);
    double worstCube = 0;
    double worstSquare = 0;
    for (int n = 0; n < 200000; ++n) {
        const double x = std::exp2(exponent(rng));
        const double library = std::pow(x, 1.0 / 3.0);
        const double square = std::pow(x, 2.0 / 3.0);
        for (const double c : {quick_roots::CubeRoot(x), quick_roots::CubeRootSideBySide(x)}) {
            worstCube = std::max(worstCube, std::fabs(c - library) / library);
            worstSquare = std::max(worstSquare, std::fabs(c * c - square) / square);
        }
    }
    EXPECT_LT(worstCube, 0x1p-46);
    EXPECT_LT(worstSquare, 0x1p-44);
    // Powers of two and the ends of the mantissa's range.
    for (const double x : {1.0, 0x1p-99, 0x1p99, 8.0, 0x1.fffffffffffffp3, 27.0, 1e-30, 1e30}) {
        SCOPED_TRACE(x);
        EXPECT_NEAR(quick_roots::CubeRoot(x), std::pow(x, 1.0 / 3.0), std::cbrt(x) * 0x1p-46);
        EXPECT_NEAR(quick_roots::CubeRootSideBySide(x), std::pow(x, 1.0 / 3.0),
                    std::cbrt(x) * 0x1p-46);
    }

    std::uniform_real_distribution<double> cosine(-1, 1);
    double worstCosine = 0;
    for (int n = 0; n < 200000; ++n) {
        // Half of them next to -1, where the module of a small reading lands.
        double z = cosine(rng);
        if (n % 2 == 0) {
            z = -1 + std::exp2(exponent(rng) * 0.5 - 50);
        }
        const double library = std::cos(std::acos(z) * (1.0 / 3.0));
        const double quick = 0.5 + quick_roots::TrisectedCosineLessHalf(1 + z);
        worstCosine = std::max(worstCosine, std::fabs(quick - library));
    }
    EXPECT_LT(worstCosine, 12 * 0x1p-52);
}

TEST_F(SlotValuesTest, QuickConductivityStaysWithinItsBound)
{
    // Every component over readings from far below to far above what the instrument shows, at
    // every frequency of two calibrations: without the quick roots the result is
    // ApparentConductivity's bit for bit; with them it lies within its bound of that result, and
    // by a wide margin, or the bound says it must be computed again. That happens only for
    // modules below 1e-9, below 0.1 mS/m even at the lowest frequency, where the cubic's
    // formula loses so many bits to cancellation that its own last float bits are noise.
    CalibrationRecord other = m_builtIn;
    other.rt = 0.25;
    other.nt = 20;
    for (size_t n = 0; n < kFrequencyCount; ++n) {
        other.M2[n] *= 0.7;
    }
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> exponent(-14, 2);
    double worst = 0;
    int quick = 0;
    int recomputed = 0;
    for (const CalibrationRecord& cal : {m_builtIn, other}) {
        m_config.ActiveCalibration = cal;
        const PreparedCalibration& prepared = PreparedFor(m_config);
        for (int i = 0; i < kFrequencyCount; ++i) {
            const FrequencyConstants& f = prepared.at[size_t(i)];
            for (const int component : {kModule, kQuadrature, kInphase}) {
                for (int n = 0; n < 4000; ++n) {
                    const double v = std::pow(10.0, exponent(rng)) * (n % 5 == 0 ? -1 : 1);
                    const double straight = ApparentConductivity(cal, component, v, i);
                    const Bounded exact = ApparentSigma(f, component, v, false);
                    ASSERT_EQ(std::bit_cast<uint64_t>(exact.v), std::bit_cast<uint64_t>(straight))
                        << "component " << component << " frequency " << i << " v " << v;
                    ASSERT_EQ(exact.err, 0.0);
                    const Bounded fast = ApparentSigma(f, component, v, true);
                    if (fast.err == kUnknown) {
                        recomputed += std::fabs(v) >= 1e-9 ? 1 : 0;
                        continue;
                    }
                    ++quick;
                    const double distance = std::fabs(fast.v - straight);
                    ASSERT_LE(distance, fast.err)
                        << "component " << component << " frequency " << i << " v " << v;
                    if (fast.err > 0) {
                        worst = std::max(worst, distance / fast.err);
                    }
                }
            }
        }
    }
    EXPECT_LT(worst, 0.25);
    EXPECT_GT(quick, 300000);
    EXPECT_EQ(recomputed, 0);
}

TEST_F(SlotValuesTest, MatchesOneFrequencyAtATimeBitForBit)
{
    std::mt19937 rng(20);
    std::uniform_real_distribution<double> unit(0, 1);
    auto logUniform = [&](double low, double high) {
        return low * std::pow(high / low, unit(rng));
    };
    // Calibrations: the built-in one, one with other coil coefficients, other frequencies and
    // coil constants, and one whose frequency 3 has no conductivity and 5 no in-phase part.
    std::vector<CalibrationRecord> calibrations(3, m_builtIn);
    for (size_t n = 0; n < kFrequencyCount; ++n) {
        calibrations[1].M1[n] *= logUniform(0.5, 2);
        calibrations[1].M2[n] *= logUniform(0.5, 2);
        calibrations[1].GainFactor[n] *= logUniform(0.5, 2);
        calibrations[1].Frequencies[n] *= logUniform(0.8, 1.25);
    }
    calibrations[1].rt = 0.2;
    calibrations[1].r2 = 3.1;
    calibrations[2].M2[3] = 0;
    calibrations[2].M2[5] = calibrations[2].M1[5];

    int compared = 0;
    for (int n = 0; n < 12000; ++n) {
        m_config.ActiveCalibration = calibrations[size_t(n) % calibrations.size()];
        MeasurementSlot slot = HalfSpace(logUniform(1e-3, 1e6));
        // Noise on the readings, a frequency dropped now and then, or a slot of noise only.
        std::uniform_int_distribution<int32_t> noise(-400, 400);
        std::uniform_int_distribution<int32_t> any(-8388608, 8388607);
        for (int i = 0; i < kFrequencyCount; ++i) {
            RawBlock block{slot.Value(i, 0), slot.Value(i, 3), slot.Value(i, 6), slot.Value(i, 9)};
            if (n % 10 == 9) {
                block = {any(rng), any(rng), any(rng), any(rng)};
            } else {
                block[0] += noise(rng) * 128;
                block[1] += noise(rng) * 128;
            }
            PutBlock(slot, i, block);
        }
        if (n % 7 == 3) {
            little_endian::Store16(&slot.bytes[kMaskOffset], uint16_t(rng() & 0x3FFF));
        }

        m_config.UnitMeasure = n % 5 == 0 ? 0 : 1;
        m_config.SignalComponent = n % 50 == 1 ? 3 : int(rng() % 3);
        m_config.ApparentValueKind = int(rng() % 3);
        m_config.ApplySignalFilter = int(rng() % 2);
        m_config.FilterTolerance = n % 3 == 0 ? 0.05 : 0.5;
        const unsigned switches = unsigned(rng());
        m_config.NormalizedToCurrent = switches & 1;
        m_config.SubtractUndercompensation = (switches >> 1) & 1;
        m_config.PhaseEqualization = (switches >> 2) & 1;
        m_config.NormalizedToFrequency = (switches >> 3) & 1;
        m_config.SignalChannelIsCurrent = n % 40 == 5 ? 1 : 0;
        for (size_t i = 0; i < kFrequencyCount; ++i) {
            m_config.UsedFrequencies[i] = n % 4 == 2 ? int(rng() % 4 != 0) : 1;
        }
        if (!SameAsOneAtATime(m_config, slot)) {
            return;
        }
        ++compared;
    }
    EXPECT_EQ(compared, 12000);
}

TEST_F(SlotValuesTest, ValuesOnTheBoundaryBetweenTwoFloats)
{
    // The gain of one frequency moved in the smallest steps to where the value, as the
    // one-frequency computation gives it, passes from one float to the next: there the quick
    // roots cannot decide, and every side must come out as the library's roots give it.
    struct Case
    {
        int component;
        int kind;
        double sigma;  // mS/m: low ones take the trigonometric form, high ones Cardano's
        int frequency;
    };
    const Case cases[] = {
        {kModule, 1, 0.5, 0},   {kModule, 1, 30, 0},     {kModule, 0, 200, 6},
        {kModule, 1, 5000, 13}, {kModule, 0, 20000, 2},  {kModule, 2, 1e5, 9},
        {kInphase, 1, 40, 0},   {kInphase, 0, 3000, 11}, {kQuadrature, 1, 100, 4},
        {kModule, 1, 0.01, 1},  {kInphase, 2, 0.2, 7},
    };
    m_config.UnitMeasure = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "component " << c.component << " kind " << c.kind
                                        << " sigma " << c.sigma << " frequency " << c.frequency);
        m_config.ActiveCalibration = m_builtIn;
        const MeasurementSlot slot = HalfSpace(c.sigma);
        m_config.SignalComponent = c.component;
        m_config.ApparentValueKind = c.kind;
        double& gain = m_config.ActiveCalibration.GainFactor[size_t(c.frequency)];
        auto shown = [&](double g) {
            gain = g;
            return ValueAt(m_config, slot, c.frequency);
        };
        const double start = gain;
        const float first = shown(start);
        double low = start;
        double high = start * (1 + 0x1p-16);
        ASSERT_NE(shown(high), first);
        while (std::nextafter(low, high) != high) {
            const double middle = low + (high - low) / 2;
            (shown(middle) == first ? low : high) = middle;
        }
        // The last bits of the values on both sides scatter with the roundings of the chain:
        // the gains around the boundary, as well.
        gain = low;
        for (int step = 0; step < 40; ++step) {
            gain = std::nextafter(gain, 0.0);
        }
        for (int step = 0; step < 81; ++step, gain = std::nextafter(gain, 1.0)) {
            for (const int filter : {0, 1}) {
                m_config.ApplySignalFilter = filter;
                if (!SameAsOneAtATime(m_config, slot)) {
                    return;
                }
            }
        }
    }
}

TEST_F(SlotValuesTest, FilterDecisionsOnTheirEdge)
{
    // The tolerance set so that the deviation of a frequency from its neighbours' mean equals
    // the limit, give or take the last bits: the filter's choice must follow the straightforward
    // values there.
    m_config.UnitMeasure = 1;
    m_config.ApplySignalFilter = 1;
    MeasurementSlot slot = HalfSpace(80);
    RawBlock block{};
    ASSERT_TRUE(RawBlockForConductivity(120, 6, m_config.ActiveCalibration, block));
    PutBlock(slot, 6, block);
    for (const int component : {kModule, kInphase, kQuadrature}) {
        for (const int kind : {0, 1}) {
            SCOPED_TRACE(testing::Message() << "component " << component << " kind " << kind);
            m_config.SignalComponent = component;
            m_config.ApparentValueKind = kind;
            for (const int i : {0, 5, 6, 7, 13}) {
                std::array<double, kFrequencyCount> raw{};
                for (int j = 0; j < kFrequencyCount; ++j) {
                    raw[size_t(j)] = ComputeValue(m_config, slot, j);
                }
                double sum = 0;
                int count = 0;
                for (int j = std::max(i - 2, 0); j <= std::min(i + 2, 13); ++j) {
                    if (j != i) {
                        sum += raw[size_t(j)];
                        ++count;
                    }
                }
                const double m = sum / count;
                const double v = raw[size_t(i)];
                const double edge = std::fabs(v - m) / (v < m ? v : m);
                double tolerance = edge;
                for (int step = 0; step < 3; ++step) {
                    tolerance = std::nextafter(tolerance, 0.0);
                }
                for (int step = 0; step < 7; ++step) {
                    m_config.FilterTolerance = tolerance;
                    if (!SameAsOneAtATime(m_config, slot)) {
                        return;
                    }
                    tolerance = std::nextafter(tolerance, 1.0);
                }
            }
        }
    }
}

TEST_F(SlotValuesTest, AChangedCalibrationOrPowerActsAtOnce)
{
    // ValuesAll keeps constants per calibration: editing one number in place, selecting another
    // record or changing a power must show at the next call.
    const MeasurementSlot slot = HalfSpace(50);
    m_config.UnitMeasure = 1;
    m_config.SignalComponent = kModule;
    m_config.ApparentValueKind = 1;
    std::array<float, kFrequencyCount> before{};
    ValuesAll(m_config, slot, before);
    EXPECT_NEAR(before[4], 50.0f, 1.0f);

    struct Edit
    {
        const char* legend;
        void (*apply)(Configuration&);
    };
    const Edit edits[] = {
        {"M2 of one frequency", [](Configuration& k) { k.ActiveCalibration.M2[4] *= 1.5; }},
        {"a coil constant", [](Configuration& k) { k.ActiveCalibration.nt = 40; }},
        {"a frequency", [](Configuration& k) { k.ActiveCalibration.Frequencies[4] = 5.2; }},
        {"the gain", [](Configuration& k) { k.ActiveCalibration.GainFactor[4] *= 2; }},
        {"the air signal", [](Configuration& k) { k.ActiveCalibration.Air[4].X = -30; }},
        {"the phase",
         [](Configuration& k) {
             k.ActiveCalibration.Primary[4] = {1, 0};
         }},
        {"the current coefficient",
         [](Configuration& k) { k.ActiveCalibration.CurrentCoef[4] *= 1.1; }},
        {"the air current", [](Configuration& k) { k.ActiveCalibration.IAir[4] = 70000; }},
        {"the distance to receiver 1 (no conductivity)",
         [](Configuration& k) { k.ActiveCalibration.r1 = 0; }},
    };
    for (const Edit& edit : edits) {
        SCOPED_TRACE(edit.legend);
        m_config.ActiveCalibration = m_builtIn;
        std::array<float, kFrequencyCount> values{};
        ValuesAll(m_config, slot, values);
        ASSERT_EQ(values, before);
        edit.apply(m_config);
        ValuesAll(m_config, slot, values);
        EXPECT_NE(values[4], before[4]);
        SameAsOneAtATime(m_config, slot);
    }

    m_config.ActiveCalibration = m_builtIn;
    m_config.UnitMeasure = 0;
    m_config.NormalizedToFrequency = 1;
    for (const int component : {kModule, kQuadrature, kInphase}) {
        SCOPED_TRACE(component);
        m_config.SignalComponent = component;
        std::array<float, kFrequencyCount> values{};
        ValuesAll(m_config, slot, values);
        m_config.PowerModule = m_config.PowerQuadrature = m_config.PowerInphase = 1.5f;
        std::array<float, kFrequencyCount> changed{};
        ValuesAll(m_config, slot, changed);
        EXPECT_NE(changed[4], values[4]);
        SameAsOneAtATime(m_config, slot);
        m_config.PowerModule = m_config.PowerQuadrature = 2.0f;
        m_config.PowerInphase = 2.5f;
    }
}

}  // namespace
}  // namespace orv
