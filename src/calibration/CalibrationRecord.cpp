#include "calibration/CalibrationRecord.h"

#include <cmath>

namespace orv {

bool CalibrationRecord::CommitFrequencies(std::span<const double, kFrequencyCount> frequencies)
{
    for (int i = 0; i < kFrequencyCount; ++i) {
        const double f = frequencies[static_cast<size_t>(i)];
        if (f == 0.0) {
            return false;
        }
        Frequencies[static_cast<size_t>(i)] = f;
        DepthFactor[static_cast<size_t>(i)] = std::sqrt(Frequencies[0] / f);
    }
    return true;
}

void CalibrationRecord::Clear() { *this = CalibrationRecord{}; }

bool CalibrationRecord::SameCalibration(const CalibrationRecord& other) const
{
    if (Comment != other.Comment) {
        return false;
    }
    for (size_t i = 0; i < size_t{kFrequencyCount}; ++i) {
        if (Frequencies[i] != other.Frequencies[i] || Primary[i].X != other.Primary[i].X ||
            Primary[i].Y != other.Primary[i].Y || Air[i].X != other.Air[i].X ||
            Air[i].Y != other.Air[i].Y || IAir[i] != other.IAir[i] ||
            CurrentCoef[i] != other.CurrentCoef[i] || M1[i] != other.M1[i] ||
            M2[i] != other.M2[i] || GainFactor[i] != other.GainFactor[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace orv
