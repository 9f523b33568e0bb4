#pragma once
// What the status strip shows, without a screen: the instrument link with its port, the GPS on
// a GPS track (fix quality, satellites used and the age of the last fix), both batteries, the
// calibration standing in for an instrument that has none of its own, the stations left
// without a position, and measurements that could not be written to the disk. Each item has a
// severity: amber for what needs an eye, red for what stops the work or makes it untrustworthy.
//
//     StripInput in = ...;                        // gathered once a second by the window
//     for (const StripItem& item : ComposeStrip(in)) { show(item.text, item.severity); }
//
// BatteryAlarm turns the battery readings into a warning that sounds once per crossing of its
// threshold.

#include "calibration/CalibrationId.h"
#include "session/LinkStatus.h"

#include <optional>
#include <string>
#include <vector>

namespace orv {

enum class Severity { Normal, Caution, Alarm };

struct StripItem
{
    std::string text;
    Severity severity = Severity::Normal;
};

// The GPS as the strip sees it.
struct GpsStripInput
{
    enum class State { Off, Connecting, NoPort, Lost, Open };
    State state = State::Off;
    std::string port;
    bool haveFix = false;      // a valid fix has come since the link opened
    double fixAgeSeconds = 0;  // of the last valid fix
    int quality = 0;           // GGA fix quality: 0 invalid, 1 GPS, 2 DGPS, 4 RTK, 5 float RTK
    int satellites = 0;        // used in the fix
};

struct StripInput
{
    bool session = false;  // a survey is open
    InstrumentLinkStatus instrument;
    bool track = false;  // a GPS track: the GPS belongs to the link
    GpsStripInput gps;
    int handheldPercent = -1;  // -1: no battery
    double staleSeconds = 5.0;
    double instrumentWarningVolts = 11.0;
    int handheldWarningPercent = 20;
    // The instrument heard from and the calibration standing in for it.
    int instrumentSerial = 0;
    std::optional<CalibrationId> standIn;
    int unpositioned = 0;
    // Which they are (station indices), when known: the strip names the first few.
    std::vector<int> unpositionedStations;
    // Why the measurements are not being written to the disk (a full disk, a read-only or
    // failing medium): they are then in memory only. Empty while the journal works.
    std::string journalProblem;
};

[[nodiscard]] std::vector<StripItem> ComposeStrip(const StripInput& input);

// "instrument 12: no calibration, using 9 of 28.02.2007".
[[nodiscard]] std::string CalibrationStandInText(int serial, const CalibrationId& used);

// The name of a fix quality of GGA ("GPS fix", "DGPS fix", "RTK fix", ...).
[[nodiscard]] std::string FixQualityText(int quality);

// The window's title: the session file's name with a mark while it has unsaved measurements,
// "unsaved survey" for one never saved, the program's title alone outside a session.
[[nodiscard]] std::string WindowTitle(bool session, const std::string& filePath, bool modified);

class BatteryAlarm
{
public:
    // Takes the latest readings; true when a battery has just gone below its threshold (the
    // caller beeps once). A battery that comes back above its threshold by a margin may warn
    // again later.
    bool Update(std::optional<unsigned> instrumentCentivolts, int handheldPercent,
                double warningVolts, int warningPercent);
    [[nodiscard]] bool InstrumentLow() const { return m_instrumentLow; }
    [[nodiscard]] bool HandheldLow() const { return m_handheldLow; }

private:
    bool m_instrumentLow = false;
    bool m_handheldLow = false;
};

}  // namespace orv
