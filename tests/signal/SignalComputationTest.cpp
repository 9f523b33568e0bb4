#include "signal/SignalComputation.h"

#include "SignalFixture.h"
#include "base/NoValue.h"
#include "signal/ApparentConductivity.h"

#include <array>
#include <cmath>
#include <limits>

namespace orv {
namespace {

using namespace signal_component;

class SignalComputationTest : public SignalTest
{
protected:
    SignalComputationTest()
    {
        // Frequency 0 gets round numbers: current (6, 8) * 0.5 has the module 5, the air signal
        // (4, 2) at an air current of 4 * 0.5 = 2 normalises to (2, 1), the phase factor is i.
        CalibrationRecord& cal = m_config.ActiveCalibration;
        cal.CurrentCoef[0] = 0.5;
        cal.IAir[0] = 4;
        cal.Air[0] = {4, 2};
        cal.Primary[0] = {0, 1};
        PutAdc(m_slot, 0, 100, 50, 6, 8);
    }

    double Value(int component)
    {
        m_config.SignalComponent = component;
        return ComputeValue(m_config, m_slot, 0);
    }

    MeasurementSlot m_slot;
};

TEST_F(SignalComputationTest, AdcSwitchesWorkedByHand)
{
    struct Case
    {
        const char* legend;
        int current, subtract, phase;
        double module, quadrature, inphase;
    };
    const Case cases[] = {
        {"raw receiver values", 0, 0, 0, std::sqrt(12500.0), 100, 50},
        {"air subtracted in raw units", 0, 1, 0, std::sqrt(96.0 * 96 + 48 * 48), 96, 48},
        {"normalised to the current", 1, 0, 0, std::sqrt(500.0), 20, 10},
        {"normalised, air normalised and subtracted", 1, 1, 0, std::sqrt(405.0), 18, 9},
        {"phase equalised only", 0, 0, 1, std::sqrt(12500.0), -50, 100},
        {"all three", 1, 1, 1, std::sqrt(405.0), -9, 18},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        m_config.NormalizedToCurrent = c.current;
        m_config.SubtractUndercompensation = c.subtract;
        m_config.PhaseEqualization = c.phase;
        EXPECT_DOUBLE_EQ(Value(kModule), c.module);
        EXPECT_DOUBLE_EQ(Value(kQuadrature), c.quadrature);
        EXPECT_DOUBLE_EQ(Value(kInphase), c.inphase);
        EXPECT_EQ(Value(3), 0.0);
    }

    // The receiver scaling rounds down: wire values 255 and -129 read as 1 and -2.
    MeasurementSlot scaled;
    PutBlock(scaled, 0, {255, -129, 0, 0});
    m_config.NormalizedToCurrent = m_config.SubtractUndercompensation = m_config.PhaseEqualization =
        0;
    m_config.SignalComponent = kQuadrature;
    EXPECT_EQ(ValueAt(m_config, scaled, 0), 1.0f);
    m_config.SignalComponent = kInphase;
    EXPECT_EQ(ValueAt(m_config, scaled, 0), -2.0f);

    // The current channel in place of the receiver: (6, 8) unscaled.
    m_config.SignalChannelIsCurrent = 1;
    EXPECT_DOUBLE_EQ(Value(kModule), 10.0);
    m_config.SignalChannelIsCurrent = 0;

    // Frequency normalisation divides by F^power with F in kHz (10.001 at frequency 6).
    PutAdc(m_slot, 5, 3, 4, 1, 0);
    m_config.NormalizedToFrequency = 1;
    m_config.SignalComponent = kModule;
    EXPECT_DOUBLE_EQ(ComputeValue(m_config, m_slot, 5), 5 / (10.001 * 10.001));
    m_config.SignalComponent = kInphase;  // power 2.5
    EXPECT_DOUBLE_EQ(ComputeValue(m_config, m_slot, 5), 4 / std::pow(10.001, 2.5));

    m_config.UnitMeasure = 2;
    EXPECT_EQ(ComputeValue(m_config, m_slot, 5), 0.0);
}

TEST_F(SignalComputationTest, MissingDataGivesZero)
{
    m_config.SignalComponent = kModule;
    for (const int unit : {0, 1}) {
        SCOPED_TRACE(unit);
        m_config.UnitMeasure = unit;
        EXPECT_EQ(ValueAt(m_config, m_slot, 1), 0.0f);  // not in the present mask
        EXPECT_EQ(ValueAt(m_config, m_slot, 14), 0.0f);
        EXPECT_EQ(ValueAt(m_config, m_slot, -1), 0.0f);
        EXPECT_EQ(ValueAt(m_config, MeasurementSlot{}, 0), 0.0f);
    }
    // Bits 6 and 7 of the mask's high byte do not count as frequencies 14 and 15.
    MeasurementSlot highBits = m_slot;
    highBits.bytes[kMaskOffset + 1] = 0xC0;
    EXPECT_EQ(ValueAt(m_config, highBits, 14), 0.0f);
}

TEST_F(SignalComputationTest, ApparentKindsAndTheirGuards)
{
    // The built-in calibration over a half-space of 20 mS/m (0.02 S/m).
    m_config.ActiveCalibration = {};
    CalibrationId id;
    m_config.SelectCalibration(id);
    MeasurementSlot slot;
    RawBlock block{};
    ASSERT_TRUE(RawBlockForConductivity(20.0, 0, m_config.ActiveCalibration, block));
    PutBlock(slot, 0, block);
    m_config.UnitMeasure = 1;
    m_config.SignalComponent = kQuadrature;
    m_config.ApparentValueKind = 0;
    EXPECT_NEAR(ValueAt(m_config, slot, 0), 50.0f, 0.5f);  // Ohm*m
    m_config.ApparentValueKind = 1;
    EXPECT_NEAR(ValueAt(m_config, slot, 0), 20.0f, 0.2f);  // mS/m
    m_config.ApparentValueKind = 7;
    EXPECT_NEAR(ValueAt(m_config, slot, 0), 0.02f, 0.0002f);  // S/m
    m_config.ApparentValueKind = 0;
    m_config.SignalComponent = 5;
    EXPECT_EQ(ValueAt(m_config, slot, 0), 0.0f);  // sigma 0 has no resistivity

    // A zero current would make sigma infinite; its resistivity must not read as -0 Ohm*m.
    MeasurementSlot noCurrent = slot;
    PutBlock(noCurrent, 0, {block[0], block[1], 0, 0});
    m_config.SignalComponent = kQuadrature;
    const float resistivity = ValueAt(m_config, noCurrent, 0);
    EXPECT_EQ(resistivity, 0.0f);
    EXPECT_FALSE(std::signbit(resistivity));
}

TEST_F(SignalComputationTest, NothingNonFiniteLeavesTheComputation)
{
    // Every switch combination over readings and calibrations that divide by zero or sit at the
    // 24-bit limits: the values shown are finite and never NoValue.
    struct Spoil
    {
        const char* legend;
        void (*apply)(CalibrationRecord&);
    };
    const Spoil spoils[] = {
        {"as built in", [](CalibrationRecord&) {}},
        {"zero frequency", [](CalibrationRecord& c) { c.Frequencies.fill(0); }},
        {"zero current coefficient", [](CalibrationRecord& c) { c.CurrentCoef.fill(0); }},
        {"zero air current", [](CalibrationRecord& c) { c.IAir.fill(0); }},
        {"M2 = M1", [](CalibrationRecord& c) { c.M2 = c.M1; }},
        {"huge gain", [](CalibrationRecord& c) { c.GainFactor.fill(1e300); }},
        {"tiny frequency", [](CalibrationRecord& c) { c.Frequencies.fill(1e-300); }},
    };
    const RawBlock readings[] = {
        {0, 0, 0, 0},
        {-8388608, -8388608, -8388608, -8388608},
        {8388607, 8388607, 8388607, 8388607},
        {8388607, -8388608, -1, 0},
        {1000, 1000, -5, 0},  // a negative current reading
    };
    const CalibrationRecord builtIn = m_config.ActiveCalibration;
    for (const Spoil& spoil : spoils) {
        SCOPED_TRACE(spoil.legend);
        m_config.ActiveCalibration = builtIn;
        spoil.apply(m_config.ActiveCalibration);
        for (const RawBlock& reading : readings) {
            MeasurementSlot slot;
            for (int i = 0; i < kFrequencyCount; ++i) {
                PutBlock(slot, i, reading);
            }
            for (int bits = 0; bits < 256; ++bits) {
                m_config.UnitMeasure = bits & 1;
                m_config.NormalizedToCurrent = (bits >> 1) & 1;
                m_config.SubtractUndercompensation = (bits >> 2) & 1;
                m_config.PhaseEqualization = (bits >> 3) & 1;
                m_config.NormalizedToFrequency = (bits >> 4) & 1;
                m_config.ApplySignalFilter = (bits >> 5) & 1;
                m_config.ApparentValueKind = (bits >> 6) & 1;
                m_config.SignalChannelIsCurrent = (bits >> 7) & 1;
                for (const int component : {kModule, kQuadrature, kInphase}) {
                    m_config.SignalComponent = component;
                    std::array<float, kFrequencyCount> all{};
                    ValuesAll(m_config, slot, all);
                    for (int i = 0; i < kFrequencyCount; ++i) {
                        const float one = ValueAt(m_config, slot, i);
                        const float v = all[size_t(i)];
                        if (!std::isfinite(one) || IsNoValue(one) || !std::isfinite(v) ||
                            IsNoValue(v)) {
                            ADD_FAILURE() << "switches " << bits << " component " << component
                                          << " frequency " << i << ": " << one << ", " << v;
                            return;
                        }
                    }
                }
            }
        }
    }
}

TEST_F(SignalComputationTest, FrequencyFilterReplacesOutliersFromTheUnfilteredValues)
{
    m_config.ActiveCalibration = {};
    CalibrationId id;
    m_config.SelectCalibration(id);
    m_config.UnitMeasure = 1;
    m_config.ApparentValueKind = 1;
    m_config.SignalComponent = kQuadrature;
    m_config.ApplySignalFilter = 1;
    m_config.UsedFrequencies.fill(0);
    const double sigma[] = {100, 100, 300, 100, 100};
    MeasurementSlot slot;
    for (int i = 0; i < 5; ++i) {
        m_config.UsedFrequencies[size_t(i)] = 1;
        RawBlock block{};
        ASSERT_TRUE(RawBlockForConductivity(sigma[i], i, m_config.ActiveCalibration, block));
        PutBlock(slot, i, block);
    }
    std::array<float, kFrequencyCount> all{};
    ValuesAll(m_config, slot, all);
    // 0: neighbours 1, 2, mean 200, off by 100 > 50: 200. 1: neighbours 0, 2, 3 give 166.7 from
    // the unfiltered 300 (not the filtered 100), off by 66.7 > 50. 2: mean 100, off by 200.
    // 3 like 1. 4 like 0. 5: switched off, its neighbours 3 and 4 average 100 > 0: 100.
    // 6: neighbours 4 only: kept at 0.
    const float expected[] = {200, 166.67f, 100, 166.67f, 200, 100, 0};
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(all[size_t(i)], expected[i], expected[i] * 0.01f);
        if (i < 5) {
            EXPECT_NEAR(ValueAt(m_config, slot, i), expected[i], expected[i] * 0.01f);
        }
    }

    // A frequency missing from the measurement reads 0, and the filter still replaces it.
    MeasurementSlot gap = slot;
    little_endian::Store16(&gap.bytes[kMaskOffset], 0x1B);  // frequency 2 missing
    EXPECT_NEAR(ValueAt(m_config, gap, 2), 100.0f, 1.0f);

    // ADC values pass the filter unchanged.
    m_config.UnitMeasure = 0;
    EXPECT_EQ(ValueAt(m_config, gap, 2), 0.0f);
}

TEST_F(SignalComputationTest, DepthsScaleWithTheSquareRootOfTheFrequency)
{
    EXPECT_FLOAT_EQ(DepthOf(m_config, 0), 10.0f);
    EXPECT_NEAR(DepthOf(m_config, 13), 1.000192f, 1e-6f);  // sqrt(2.501 / 250.004) * 10
    m_config.DepthScaleFactor = 25.0f;
    EXPECT_FLOAT_EQ(DepthOf(m_config, 0), 25.0f);
    EXPECT_EQ(DepthOf(m_config, 14), 0.0f);
}

}  // namespace
}  // namespace orv
