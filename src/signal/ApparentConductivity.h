#pragma once
// Apparent conductivity of a uniform half-space from one processed signal value, through the
// low-induction-number response of the coil system: the quadrature part grows as Kq*sigma, the
// in-phase part as -Kp*sigma^1.5, and the module combines both (a cubic in sigma).
//
// Results are in siemens per metre. Zero where the coil constants leave the reading without
// meaning (r1 = 0, M2 = 0, a zero coefficient, a zero module) and for an unknown component. A
// negative quadrature gives a negative sigma; the in-phase result is never negative. No result is
// NaN or infinite: where the arithmetic would give one (a zero or infinite coefficient, a
// non-finite reading) the result is 0, the value of a reading that carries no conductivity.

namespace orv {

class Configuration;
struct CalibrationRecord;

// Signal components, as SignalComponent holds them.
namespace signal_component {
constexpr int kModule = 0;
constexpr int kQuadrature = 1;
constexpr int kInphase = 2;
}  // namespace signal_component

// Kq of frequency i (0..13): the quadrature response per S/m.
[[nodiscard]] double QuadratureCoefficient(const CalibrationRecord& calibration, int i);
// Kp of frequency i (0..13): the in-phase response is -Kp * sigma^1.5.
[[nodiscard]] double InphaseCoefficient(const CalibrationRecord& calibration, int i);

// sigma for the value v of `component` at frequency i under `calibration`.
[[nodiscard]] double ApparentConductivity(const CalibrationRecord& calibration, int component,
                                          double v, int i);
// The same with the SignalComponent and ActiveCalibration of the configuration.
[[nodiscard]] double ApparentConductivity(const Configuration& configuration, double v, int i);

}  // namespace orv
