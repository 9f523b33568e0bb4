#pragma once
// One instrument calibration: per frequency the numbers the signal computation needs to turn raw
// receiver and current readings into normalised signals and apparent values, plus the coil
// constants of the transmitter and the two receivers. Arrays are indexed by frequency 0..13.

#include "base/Frequencies.h"

#include <array>
#include <span>
#include <string>

namespace orv {

// A complex number of the calibration: X the real part, Y the imaginary part.
struct CalibrationPair
{
    double X = 0.0;
    double Y = 0.0;
};

using FrequencyTable = std::array<double, kFrequencyCount>;

struct CalibrationRecord
{
    std::string Comment;  // UTF-8 in memory; the file holds it in the handheld's code page
    std::array<CalibrationPair, kFrequencyCount> Primary{};  // XPrimary, YPrimary: phase factor
    std::array<CalibrationPair, kFrequencyCount> Air{};  // XAir, YAir: residual signal in the air
    FrequencyTable IAir{};         // current-channel module at which the air signal was measured
    FrequencyTable CurrentCoef{};  // coefficient of the current-channel reading
    FrequencyTable M1{};           // receiver 1 coefficient of the apparent-value formulas
    FrequencyTable M2{};           // receiver 2 coefficient
    FrequencyTable GainFactor{};
    double rt = 0.0;               // transmitter loop radius, metres
    double nt = 0.0;               // transmitter turns
    double r1 = 0.0;               // distance of receiver 1, metres
    double r2 = 0.0;               // distance of receiver 2, metres
    FrequencyTable Frequencies{};  // kHz
    FrequencyTable DepthFactor{};  // sqrt(Frequencies[0] / Frequencies[i]), derived

    // Copies the 14 frequencies in order and derives DepthFactor. Fails, stopping at that index,
    // when a frequency is exactly 0. A record is valid only when all 14 are non-zero.
    [[nodiscard]] bool CommitFrequencies(std::span<const double, kFrequencyCount> frequencies);

    // Empty comment and every number 0.
    void Clear();

    // Equality as used before asking to overwrite: the comment and every per-frequency table but
    // DepthFactor; the coil constants rt, nt, r1 and r2 take no part.
    [[nodiscard]] bool SameCalibration(const CalibrationRecord& other) const;
};

}  // namespace orv
