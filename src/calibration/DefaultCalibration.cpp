#include "calibration/DefaultCalibration.h"

#include "calibration/CalibrationId.h"
#include "calibration/CalibrationRecord.h"

#include <array>

namespace orv {

namespace {

struct DefaultRow
{
    double frequency;  // kHz
    double xPrimary;
    double yPrimary;
    double xAir;
    double yAir;
    double iAir;
    double currentCoef;
    double m1;
    double m2;
    double gainFactor;
};

// Calibration of instrument 9 on 28/02/2007, one row per frequency 1..14.
constexpr std::array<DefaultRow, kFrequencyCount> kRows = {{
    {2.501, 0.9293, 0.3695, -56.8, -9.4, 33428.4, 0.000108, 0.0429, 0.1829, 1.45e-08},
    {3.081, -0.5336, -0.8457, -68, -19, 43552, 8.51e-05, 0.0445, 0.1916, 1.4e-08},
    {3.907, 0.9899, 0.1417, -118, 4, 58430.6, 6.95e-05, 0.0436, 0.1911, 1.37e-08},
    {5.103, 0.9493, -0.3143, -148, -10, 67369.8, 4.93e-05, 0.0472, 0.2096, 1.34e-08},
    {6.945, -0.303, -0.953, -134, 14, 78434.1, 3.99e-05, 0.0431, 0.1942, 1.32e-08},
    {10.001, 0.0601, -0.9982, -132, 52, 81932.1, 2.76e-05, 0.0443, 0.1999, 1.32e-08},
    {12.346, 0.2121, -0.9773, -96, 84, 84582.2, 2.34e-05, 0.0419, 0.1902, 1.31e-08},
    {15.62, 0.1162, -0.9932, -76, 74, 83251.4, 1.93e-05, 0.0404, 0.1833, 1.31e-08},
    {20.409, 0.0535, -0.9985, -40, 58, 82866.7, 1.43e-05, 0.0419, 0.1908, 1.31e-08},
    {27.779, 0.2715, -0.9625, 0, 32, 83008.5, 1.1e-05, 0.04, 0.1829, 1.32e-08},
    {40.001, 0.4187, -0.9081, 75, -52, 82530.9, 7.58e-06, 0.0397, 0.1822, 1.32e-08},
    {62.502, 0.7766, -0.6301, 96, -355, 83949.7, 4.08e-06, 0.045, 0.2075, 1.35e-08},
    {111.113, 0.9998, 0.0233, -472, -896, 84611.2, 2.53e-06, 0.0363, 0.1711, 1.44e-08},
    {250.004, -0.4758, 0.8795, -1880, 2520, 101059.3, 1.13e-06, 0.0237, 0.1356, 1.94e-08},
}};

}  // namespace

void DefaultCalibration(CalibrationRecord& record, CalibrationId& id)
{
    record.Clear();
    record.Comment = "Default calibration data for ORV 9, 28/02/2007";
    FrequencyTable frequencies{};
    for (size_t i = 0; i < kRows.size(); ++i) {
        const DefaultRow& row = kRows[i];
        frequencies[i] = row.frequency;
        record.Primary[i] = {row.xPrimary, row.yPrimary};
        record.Air[i] = {row.xAir, row.yAir};
        record.IAir[i] = row.iAir;
        record.CurrentCoef[i] = row.currentCoef;
        record.M1[i] = row.m1;
        record.M2[i] = row.m2;
        record.GainFactor[i] = row.gainFactor;
    }
    // Every built-in frequency is non-zero, so the commit cannot fail.
    [[maybe_unused]] const bool committed = record.CommitFrequencies(frequencies);
    record.rt = 0.1525;
    record.nt = 38;
    record.r1 = 1.496;
    record.r2 = 2.508;
    id = CalibrationId{9, 2007, 2, 28};
}

}  // namespace orv
