#include "signal/ApparentConductivity.h"

#include "SignalFixture.h"

#include <cmath>

namespace orv {
namespace {

using namespace signal_component;

class ApparentConductivityTest : public SignalTest
{
protected:
    CalibrationRecord& Cal() { return m_config.ActiveCalibration; }
};

TEST_F(ApparentConductivityTest, CoefficientsOfTheBuiltInCalibration)
{
    // Worked by hand from the coil constants at 2.501 kHz (rt 0.1525 m, nt 38, r1 1.496 m,
    // r2 2.508 m, M1 0.0429, M2 0.1829).
    EXPECT_NEAR(QuadratureCoefficient(Cal(), 0), 9.5307052e-7, 1e-13);
    EXPECT_NEAR(InphaseCoefficient(Cal(), 0), 3.1959768e-7, 1e-13);
    // A quadrature of 9.5e-9 is about 0.01 S/m, 100 Ohm*m.
    EXPECT_NEAR(ApparentConductivity(Cal(), kQuadrature, 9.5e-9, 0), 0.0099678, 1e-7);
}

TEST_F(ApparentConductivityTest, EachComponentGivesTheHalfSpaceBack)
{
    const double kq = 9.530705191427126e-7;
    const double kp = 3.195976836758043e-7;
    // 0.01 and 1 S/m are solved by the trigonometric form, 10 S/m by Cardano's formula.
    for (const double sigma : {0.001, 0.01, 1.0, 10.0, 100.0}) {
        SCOPED_TRACE(sigma);
        const double q = kq * sigma;
        const double p = kp * std::pow(sigma, 1.5);
        EXPECT_NEAR(ApparentConductivity(Cal(), kQuadrature, q, 0), sigma, sigma * 1e-12);
        EXPECT_NEAR(ApparentConductivity(Cal(), kInphase, -p, 0), sigma, sigma * 1e-12);
        EXPECT_NEAR(ApparentConductivity(Cal(), kModule, std::hypot(q, p), 0), sigma, sigma * 1e-6);
    }
    // The sign of a quadrature is kept; the in-phase result never is negative.
    EXPECT_NEAR(ApparentConductivity(Cal(), kQuadrature, -kq * 0.5, 0), -0.5, 1e-12);
    EXPECT_NEAR(ApparentConductivity(Cal(), kInphase, kp * std::pow(0.5, 1.5), 0), 0.5, 1e-12);
}

TEST_F(ApparentConductivityTest, ReadingsWithoutAConductivityGiveZeroNeverNaN)
{
    struct Case
    {
        const char* legend;
        void (*spoil)(CalibrationRecord&);
        double v;
        int stands = -1;  // a component that needs only the coefficient left
    };
    const Case cases[] = {
        {"r1 = 0", [](CalibrationRecord& c) { c.r1 = 0; }, 1e-6},
        {"M2 = 0", [](CalibrationRecord& c) { c.M2[0] = 0; }, 1e-6},
        {"M2 = M1 leaves no in-phase coefficient", [](CalibrationRecord& c) { c.M2[0] = c.M1[0]; },
         1e-6, kQuadrature},
        {"zero frequency", [](CalibrationRecord& c) { c.Frequencies[0] = 0; }, 1e-6},
        {"r2 = 0 makes the quadrature coefficient infinite", [](CalibrationRecord& c) { c.r2 = 0; },
         1e-6, kInphase},
        {"zero reading", [](CalibrationRecord&) {}, 0.0},
        {"infinite reading", [](CalibrationRecord&) {}, INFINITY},
        {"NaN reading", [](CalibrationRecord&) {}, NAN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        CalibrationRecord cal = Cal();
        c.spoil(cal);
        for (const int component : {kModule, kQuadrature, kInphase}) {
            SCOPED_TRACE(component);
            const double sigma = ApparentConductivity(cal, component, c.v, 0);
            EXPECT_TRUE(std::isfinite(sigma));
            if (component != c.stands) {
                EXPECT_EQ(sigma, 0.0);
            }
        }
    }
    EXPECT_EQ(ApparentConductivity(Cal(), 3, 1e-6, 0), 0.0);
    EXPECT_EQ(ApparentConductivity(Cal(), kQuadrature, 1e-6, 14), 0.0);
    EXPECT_EQ(ApparentConductivity(Cal(), kQuadrature, 1e-6, -1), 0.0);
}

}  // namespace
}  // namespace orv
