#pragma once
// Where the program keeps its files on this platform.
//
// - Settings: ORVCONTROL_SETTINGS, else $XDG_CONFIG_HOME/Quarn/OrvControl.conf, else
//   ~/.config/Quarn/OrvControl.conf (the organisation and application names of the settings).
// - Calibrations: ORVCONTROL_CALIBRATION, else "OrvCalibration.ini" in the settings' folder.
// - Data (measurement journals of unsaved surveys): ORVCONTROL_DATA, else
//   $XDG_DATA_HOME/Quarn/OrvControl, else ~/.local/share/Quarn/OrvControl.

#include <string>

namespace orv {

std::string SettingsFilePath();
std::string DefaultCalibrationPath();
std::string DataDirectory();

}  // namespace orv
