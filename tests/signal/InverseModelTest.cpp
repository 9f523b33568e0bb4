#include "signal/InverseModel.h"

#include "SignalFixture.h"
#include "signal/ApparentConductivity.h"
#include "signal/SignalComputation.h"

#include <array>
#include <cmath>
#include <limits>

namespace orv {
namespace {

using namespace signal_component;

// The readings of a half-space of `sigma` mS/m at every frequency, as the simulator sends them.
MeasurementSlot HalfSpace(double sigma, const CalibrationRecord& cal)
{
    MeasurementSlot slot;
    for (int i = 0; i < kFrequencyCount; ++i) {
        RawBlock block{};
        EXPECT_TRUE(RawBlockForConductivity(sigma, i, cal, block)) << sigma << " at " << i;
        PutBlock(slot, i, block);
    }
    slot.bytes[kSerialOffset] = 9;
    return slot;
}

// Quantisation of the 24-bit readings: at low conductivity the air signal of the coils fills
// most of the receiver's range.
double Tolerance(double sigma, int component)
{
    if (component == kInphase) {
        return sigma * 2e-3;  // checked from 100 mS/m on, where the in-phase part is resolved
    }
    return sigma < 10 ? sigma * 1e-2 : sigma * 2e-3;
}

class InverseModelTest : public SignalTest
{
protected:
    InverseModelTest()
    {
        m_config.UnitMeasure = 1;
        m_config.ApparentValueKind = 1;
    }
};

TEST_F(InverseModelTest, SimulatedHalfSpaceShowsItsConductivityBack)
{
    const CalibrationRecord& cal = m_config.ActiveCalibration;
    ASSERT_EQ(m_config.CalibrationKey.Serial, 9);  // the built-in calibration
    for (const double sigma : {1.0, 10.0, 100.0, 1000.0, 10000.0, 100000.0}) {
        SCOPED_TRACE(sigma);
        const MeasurementSlot slot = HalfSpace(sigma, cal);
        for (const int component : {kQuadrature, kModule, kInphase}) {
            SCOPED_TRACE(component);
            if (component == kInphase && sigma < 100) {
                continue;
            }
            m_config.SignalComponent = component;
            for (const int filter : {0, 1}) {
                m_config.ApplySignalFilter = filter;
                m_config.ApparentValueKind = 1;
                std::array<float, kFrequencyCount> all{};
                ValuesAll(m_config, slot, all);
                for (int i = 0; i < kFrequencyCount; ++i) {
                    SCOPED_TRACE(i);
                    m_config.ApparentValueKind = 1;
                    EXPECT_NEAR(ValueAt(m_config, slot, i), sigma, Tolerance(sigma, component));
                    EXPECT_NEAR(all[size_t(i)], sigma, Tolerance(sigma, component));
                    m_config.ApparentValueKind = 0;
                    EXPECT_NEAR(ValueAt(m_config, slot, i), 1000 / sigma,
                                Tolerance(sigma, component) * 1000 / sigma / sigma * 1.01);
                }
            }
        }
    }
}

TEST_F(InverseModelTest, AdcModeShowsTheSecondaryFieldWithTheProcessingSwitchesOn)
{
    // With the current normalisation, the air subtraction and the phase equalisation on, the ADC
    // quadrature is the secondary field Kq * sigma / GF and the in-phase -Kp * sigma^1.5 / GF.
    const CalibrationRecord& cal = m_config.ActiveCalibration;
    const MeasurementSlot slot = HalfSpace(1000.0, cal);  // 1 S/m
    m_config.UnitMeasure = 0;
    m_config.NormalizedToCurrent = m_config.SubtractUndercompensation = m_config.PhaseEqualization =
        1;
    // At 2.501 kHz: Kq = 9.5307e-7, Kp = 3.1960e-7 per S/m, GF = 1.45e-8.
    m_config.SignalComponent = kQuadrature;
    EXPECT_NEAR(ComputeValue(m_config, slot, 0), 9.5307052e-7 / 1.45e-8, 0.05);
    m_config.SignalComponent = kInphase;
    EXPECT_NEAR(ComputeValue(m_config, slot, 0), -3.1959768e-7 / 1.45e-8, 0.05);
    // Without the air subtraction the coils' undercompensation stays in the value.
    m_config.SubtractUndercompensation = 0;
    m_config.SignalComponent = kQuadrature;
    EXPECT_GT(std::fabs(ComputeValue(m_config, slot, 0) - 65.73), 1.0);
}

TEST_F(InverseModelTest, RefusesWhatNoReadingCanShow)
{
    const CalibrationRecord good = m_config.ActiveCalibration;
    struct Case
    {
        const char* legend;
        double sigma;
        int frequency;
        void (*spoil)(CalibrationRecord&);
    };
    const Case cases[] = {
        {"negative conductivity", -1.0, 0, [](CalibrationRecord&) {}},
        {"NaN", std::numeric_limits<double>::quiet_NaN(), 0, [](CalibrationRecord&) {}},
        {"infinity", std::numeric_limits<double>::infinity(), 0, [](CalibrationRecord&) {}},
        {"frequency 14", 10.0, 14, [](CalibrationRecord&) {}},
        {"frequency -1", 10.0, -1, [](CalibrationRecord&) {}},
        {"zero gain", 10.0, 0, [](CalibrationRecord& c) { c.GainFactor[0] = 0; }},
        {"zero phase factor", 10.0, 0,
         [](CalibrationRecord& c) {
             c.Primary[0] = {0, 0};
         }},
        {"zero air current", 10.0, 0, [](CalibrationRecord& c) { c.IAir[0] = 0; }},
        {"zero current coefficient", 10.0, 0, [](CalibrationRecord& c) { c.CurrentCoef[0] = 0; }},
        {"zero frequency", 10.0, 0, [](CalibrationRecord& c) { c.Frequencies[0] = 0; }},
        {"r1 = 0", 10.0, 0, [](CalibrationRecord& c) { c.r1 = 0; }},
        {"beyond the receiver's range", 1e300, 0, [](CalibrationRecord&) {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        CalibrationRecord cal = good;
        c.spoil(cal);
        RawBlock block{1, 2, 3, 4};
        EXPECT_FALSE(RawBlockForConductivity(c.sigma, c.frequency, cal, block));
        EXPECT_EQ(block, (RawBlock{1, 2, 3, 4}));
    }
    // Zero conductivity is the air reading itself and shows 0.
    RawBlock air{};
    ASSERT_TRUE(RawBlockForConductivity(0.0, 3, good, air));
    MeasurementSlot slot;
    PutBlock(slot, 3, air);
    m_config.SignalComponent = kQuadrature;
    EXPECT_NEAR(ValueAt(m_config, slot, 3), 0.0f, 0.05f);
}

}  // namespace
}  // namespace orv
