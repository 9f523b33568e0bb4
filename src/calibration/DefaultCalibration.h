#pragma once
// The calibration built into the program: instrument serial 9, calibrated on 28/02/2007. The
// store hands it out when it holds no record at all; it is never added to the store, so it is
// never written to the calibration file.

namespace orv {

struct CalibrationId;
struct CalibrationRecord;

// Fills `record` with the built-in calibration (DepthFactor derived from its frequencies) and
// sets `id` to serial 9, 28/02/2007.
void DefaultCalibration(CalibrationRecord& record, CalibrationId& id);

}  // namespace orv
