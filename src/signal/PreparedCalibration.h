#pragma once
// The per-frequency constants of the signal chain that depend only on the active calibration and
// the frequency powers: the normalised air signal, the coil coefficients Kq and Kp, the constant
// part of the module's cubic, the frequency normalisation. Each is computed with exactly the
// operations, in exactly the order, of the straightforward computation (SignalComputation.cpp,
// ApparentConductivity.cpp), so using it changes no bit of any value.
//
// PreparedFor keeps the constants of the last calibration it saw, one set per thread, and
// compares the calibration's numbers (bit for bit) and the powers with that copy at every call:
// a calibration that changed in any way, whether selected anew or edited in place, is prepared
// again before it is used.

#include "base/Frequencies.h"
#include "calibration/CalibrationRecord.h"

#include <array>

namespace orv {

class Configuration;

struct FrequencyConstants
{
    double currentCoef = 0;  // CurrentCoef
    double airX = 0;         // Air, as measured
    double airY = 0;
    double airNormX = 0;  // Air divided by IAir * CurrentCoef, as the chain divides it
    double airNormY = 0;
    double primaryX = 0;  // Primary
    double primaryY = 0;
    double gain = 0;  // GainFactor
    // F^power of the ADC normalisation, by SignalComponent (module, quadrature, in-phase).
    std::array<double, 3> frequencyPower{};

    // ApparentConductivity gives 0 in every component (r1 = 0 or M2 = 0).
    bool noConductivity = false;
    double kq = 0;        // QuadratureCoefficient
    double kp = 0;        // InphaseCoefficient
    double inphaseK = 0;  // -1 / Kp
    // The module's cubic sigma^3 + a*sigma^2 - c = 0: k = 1 / -Kp, a = (Kq*k)^2, and the parts
    // that do not depend on the reading.
    double moduleK = 0;
    double a = 0;
    double twiceB = 0;   // ((a/3)^3) * 2
    double p3Cubed = 0;  // p3 * p3^2 with p3 = -a^2/3 * 1/3
    double aThird = 0;   // a * (1/3)
    // Where the cubic has three real roots the trigonometric form takes the cube root of
    // r = sqrt(|D| + h^2), which equals sqrt(-p3^3) but for rounding: r0 = sqrt(-p3^3), its
    // cube root as pow gives it, and the slope of the cube root there.
    double r0 = 0;
    double cubeRootR0 = 0;
    double cubeRootSlope = 0;
};

// One constant of every frequency, for loops over the 14 frequencies that the compiler can run
// two or four at a time.
using FrequencyLane = std::array<double, kFrequencyCount>;

struct PreparedCalibration
{
    std::array<FrequencyConstants, kFrequencyCount> at{};
    // Those of the constants that the apparent values of the module and the in-phase component
    // take, lane by lane.
    struct Lanes
    {
        FrequencyLane currentCoef{};
        FrequencyLane airNormX{};
        FrequencyLane airNormY{};
        FrequencyLane primaryX{};
        FrequencyLane primaryY{};
        FrequencyLane gain{};
        FrequencyLane inphaseK{};
        FrequencyLane moduleK{};
        FrequencyLane twiceB{};
        FrequencyLane p3Cubed{};
        FrequencyLane aThird{};
        FrequencyLane r0{};
        FrequencyLane cubeRootR0{};
        FrequencyLane cubeRootSlope{};
    } lanes;
};

// The constants for the ActiveCalibration and the powers of `configuration`.
[[nodiscard]] const PreparedCalibration& PreparedFor(const Configuration& configuration);

}  // namespace orv
