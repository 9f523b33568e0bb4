#include "config/ProgramPaths.h"

#include <cstdlib>
#include <filesystem>

namespace orv {

namespace {

std::string Env(const char* name)
{
    const char* v = std::getenv(name);
    return v != nullptr ? std::string(v) : std::string();
}

std::filesystem::path Home()
{
    std::string home = Env("HOME");
    if (home.empty()) {
        home = Env("USERPROFILE");
    }
    return home.empty() ? std::filesystem::current_path() : std::filesystem::path(home);
}

std::filesystem::path XdgDirectory(const char* variable, const char* fallback)
{
    const std::string v = Env(variable);
    if (!v.empty() && std::filesystem::path(v).is_absolute()) {
        return v;
    }
    return Home() / fallback;
}

}  // namespace

std::string SettingsFilePath()
{
    const std::string v = Env("ORVCONTROL_SETTINGS");
    if (!v.empty()) {
        return v;
    }
    return (XdgDirectory("XDG_CONFIG_HOME", ".config") / "Quarn" / "OrvControl.conf").string();
}

std::string DefaultCalibrationPath()
{
    const std::string v = Env("ORVCONTROL_CALIBRATION");
    if (!v.empty()) {
        return v;
    }
    return (std::filesystem::path(SettingsFilePath()).parent_path() / "OrvCalibration.ini")
        .string();
}

std::string DataDirectory()
{
    const std::string v = Env("ORVCONTROL_DATA");
    if (!v.empty()) {
        return v;
    }
    return (XdgDirectory("XDG_DATA_HOME", ".local/share") / "Quarn" / "OrvControl").string();
}

}  // namespace orv
