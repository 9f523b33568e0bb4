#include "resources/StringTable.h"

#include "resources/ResourceIds.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace orv {

namespace {

struct Entry
{
    int id;
    std::string_view text;
};

using namespace string_id;

// Sorted by id.
constexpr Entry kTable[] = {
    {kAppTitle, "Orv Control"},
    {kMap, "Map"},
    {kProfile, "Profile"},
    {kLine, "Line"},
    {kRegistryKey, "Quarn"},
    {kRegistrySection, "Default values"},
    {kReady, "Ready"},
    {kGpsTrack, "GPS track"},
    {kProfileName, "OrvControl"},
    {73, "110"},
    {74, "300"},
    {75, "600"},
    {76, "1200"},
    {77, "2400"},
    {78, "4800"},
    {79, "9600"},
    {80, "14400"},
    {81, "19200"},
    {82, "38400"},
    {83, "56000"},
    {84, "57600"},
    {85, "115200"},
    {86, "128000"},
    {87, "256000"},
    {kFailedToConnect, "Failed to connect to device"},
    {kMeasureCompleted, "Measure completed"},
    {kInsufficientMemory, "Insufficient memory"},
    {kSaveChanges, "Save changes?"},
    {kFailedToSetTimer, "Failed to set timer"},
    {kFailedToReadNmea, "Failed to read NMEA data"},
    {kStart, "Start"},
    {kStartSeries, "Start"},
    {kStopSeries, "Stop"},
    {kFailedToMeasureSaveChanges, "Failed to measure. Save changes?"},
    {kStaticSettingsTitle, "Static settings"},
    {kOtherSettingsTitle, "Other settings"},
    {kSettingsTitle, "Settings"},
    {kViewSettingsTitle, "View settings"},
    {kMainTitle, "Main"},
    {kGpsTitle, "GPS"},
    {kNextButton, "Next >>"},
    {kModeLabel, "Mode:"},
    {kXSizeLabel, "X size:"},
    {kXStepLabel, "X step:"},
    {kYSizeLabel, "Y size:"},
    {kYStepLabel, "Y step:"},
    {kActiveFrequencies, "Active frequencies"},
    {kAll, "All"},
    {kDeviceLabel, "Device:"},
    {kAdd, "Add"},
    {kDelete, "Delete"},
    {kTrasser, "Trasser"},
    {kDeviceEntry, "ORV %hu, %.02d/%.02d/%hu"},
    {kEmptyDeviceList, "<empty>"},
    {kDeleteQuestion, "Do you wish to delete the calibration data for TALMIR %d (%.02d/%.02d/%d)?"},
    {kDeleteCaption, "Delete TALMIR %d, %.02d/%.02d/%d?"},
    {kAtLeastOneFrequency, "At least one frequency must be turned on"},
    {kDeviceGroup, "Device"},
    {kGpsReceiverGroup, "GPS receiver"},
    {kBluetoothPortLabel, "Bluetooth COM port:"},
    {kBaudRateLabel, "Baudrate:"},
    {kEnterInteger, "Enter an integer."},
    {kEnterNumber, "Enter a number."},
    {kEnterIntegerBetween, "Enter an integer between %1 and %2."},
    {kEnterNumberBetween, "Enter a number between %1 and %2."},
    {kSessionFilter, "ORV Files (*.orv)|*.orv|All Files (*.*)|*.*||"},
    {kSessionExtension, "orv"},
    {kSessionInitialName, "*.orv"},
    {kIniFilter, "INI Files (*.ini)|*.ini|All Files (*.*)|*.*||"},
    {kIniExtension, "ini"},
    {kIniInitialName, "*.ini"},
    {kCalibrationImportFailed, "No calibration was imported: %1"},
    {kSaveFailed,
     "The survey was not saved: %1\nIt is still held in memory; save it again "
     "under another name or on another disk."},
    {kOpenSessionCaption, "Open survey"},
    {kSaveSessionCaption, "Save survey"},
    {kAddCalibrationCaption, "Import calibration file"},
    {kCalibrationImportWarnings, "Parts of the file were not imported:\n%1"},
    {kRecoverQuestion,
     "%1 measurements of %2 were not saved when the program last ended.\n\n"
     "Recover them now?\n"
     "Yes: continue that survey.\n"
     "No: discard them.\n"
     "Cancel: decide at the next start."},
    {kRecoverCaption, "Recover unsaved measurements?"},
    {kRecoverFailed,
     "The unsaved measurements could not be recovered: %1\n"
     "They are kept and offered again at the next start."},
    {kRecoverUnsavedSurvey, "a survey never saved"},
    {kRecoverDiscardQuestion, "Discard the %1 unsaved measurements for good?"},
    {kWrongFormatDetail, "%1\n(%2)"},
    {kSettingsNotSaved, "Not every setting could be saved:\n%1"},
    {kSessionMenu, "Session"},
    {kMenuNew, "New"},
    {kMenuOpen, "Open"},
    {kMenuSave, "Save"},
    {kMenuClose, "Close"},
    {kHelpMenu, "Help"},
    {kMenuKeys, "Keys"},
    {kMenuAbout, "About"},
    {kKeysCaption, "Keys"},
    {kKeysIntroduction, "The handheld's hardware keys are ordinary keys here:"},
    {kKeysLongPress,
     "Tap-and-hold on a page: a long press on a touch screen, or the right "
     "mouse button."},
    {kAboutText,
     "Orv Control %1\nField controller of the ORV frequency-domain "
     "electromagnetic sounding instrument."},
    {kKeyPreviousPage, "previous page"},
    {kKeyNextPage, "next page"},
    {kKeyStart, "Start (on the Main page)"},
    {kKeyHigherFrequency, "next higher frequency (on the Main page)"},
    {kKeyLowerFrequency, "next lower frequency (on the Main page)"},
    {kKeyArrows, "move between stations and profiles (on the Main page)"},
    {kKeyEnter, "OK: stay at the station (on the Main page)"},
    {kKeyFullScreen, "The Main pages use the whole screen; the other pages a normal window."},
    {kPagePlaceholder, "%1\n\nThis page is not available in this version."},
    {kMeasureUnitsGroup, "Measure units"},
    {kAdcQuantums, "ADC quantums"},
    {kApparentValues, "Apparent values"},
    {kResistivity, "Resistivity, Ohm * m"},
    {kConductivity, "Conductivity, millisiemen / m"},
    {kSubtractUndercompensation, "Substract undercompensation"},
    {kPhaseEqualization, "Phase qualization"},
    {kNormalizedToCurrent, "Normalized to current"},
    {kNormalizedToFrequency, "Normalized to frequency of power:"},
    {kSignalFilter, "Filter"},
    {kSignalGroup, "Signal"},
    {kModule, "Module"},
    {kQuadrature, "Quadrature component"},
    {kInphase, "Inphase component"},
    {kCurrentChannel, "Current channel (for developers only)"},
    {kDepthLabel, "Depth:"},
    {kMetres, "m"},
    {kPixelRefinementLabel, "Pixel refinement:"},
    {kSectionChartLabel, "Section colour chart:"},
    {kMapChartLabel, "Map colour chart:"},
    {kTo, "to"},
    {kTimerLabel, "Timer:"},
    {kTimesEvery, "times every"},
    {kMilliseconds, "ms"},
    {kShowGraphicsGroup, "Show graphics"},
    {kSoundingCurve, "Sounding curve"},
    {kProfileCurveAfter, "Profile curve after"},
    {kStations, "stations"},
    {kFilterProfileCurve, "Filter"},
    {kShowPoints, "Show"},
    {kPoints, "points"},
    {kSectionAfter, "Section after"},
    {kMapAfter, "Map after"},
    {kSections, "sections"},
    {kColourMenu, "Colour"},
    {kMenuChange, "Change"},
    {kMenuAppend, "Append"},
    {kMenuReverse, "Reverse"},
    {kMenuDeleteColour, "Delete"},
    {kMenuRgb, "RGB"},
    {kMenuRes2dinv, "RES2DINV"},
    {kMenuViridis, "viridis"},
    {kMenuCividis, "cividis"},
    {kMenuCoolWarm, "cool-warm (signed values)"},
    {kLatitudeLabel, "Latitude:"},
    {kLongitudeLabel, "Longitude:"},
    {kSpeedLabel, "Speed:"},
    {kQualityLabel, "Quality:"},
    {kFixModeLabel, "Fix mode:"},
    {kVdopLabel, "GSA VDOP:"},
    {kHdopLabel, "GSA HDOP:"},
    {kPdopLabel, "GSA PDOP:"},
    {kSatellitesInViewLabel, "SVs in view:"},
    {kPrnsLabel, "PRNs:"},
    {kDateTimeLabel, "Date / time:"},
    {kReceivedLabel, "Received:"},
    {kNotAvailable, "Not available"},
    {kInitialSpeed, "0.00 km/h"},
    {kDataValid, "Data valid"},
    {kFixNotAvailable, "Fix not available"},
    {kFix2D, "2D Fix"},
    {kFix3D, "3D Fix"},
    {kFixUnknown, "Unknown"},
    {kProfileLabel, "Profile:"},
    {kStationLabel, "Station:"},
    {kFrequencyLabel, "Freq.:"},
    {kRadiusLabel, "Radius:"},
    {kBatteryRemaining, "Battery charge remaining: %d%%"},
    {kCancelExchange, "Cancel"},
    {kRadiusUnit, "cells"},
    {kViewMenuTitle, "View"},
    {kGridItem, "Grid"},
    {kScaleMarksItem, "Scale marks"},
    {kFitToScreenItem, "Fit to screen"},
    {kShowGpsTrackItem, "Show GPS track"},
    {kStripInstrumentConnected, "Instrument: connected"},
    {kStripInstrumentConnecting, "Instrument: connecting to %1"},
    {kStripInstrumentNotAnswering, "Instrument: not answering on %1"},
    {kStripInstrumentNoPort, "Instrument: no port %1"},
    {kStripInstrumentClosed, "Instrument: not connected"},
    {kStripGpsFix, "GPS: %1, %2 satellites, fix %3 s old"},
    {kStripGpsNoFix, "GPS: no fix"},
    {kStripGpsNoPort, "GPS: no port %1"},
    {kStripGpsConnecting, "GPS: connecting to %1"},
    {kStripGpsLost, "GPS: lost on %1, reconnecting"},
    {kStripInstrumentBattery, "Instrument battery %1 V"},
    {kStripHandheldBattery, "Handheld battery %1%"},
    {kStripCalibrationStandIn, "Instrument %1: no calibration, using %2 of %3"},
    {kStripUnpositioned, "%1 stations without position"},
    {kTitleWithFile, "%1 - %2"},
    {kTitleUnsaved, "unsaved survey"},
    {kFixQualityInvalid, "invalid"},
    {kFixQualityGps, "GPS fix"},
    {kFixQualityDgps, "DGPS fix"},
    {kFixQualityRtk, "RTK fix"},
    {kFixQualityFloat, "float RTK"},
    {kFixQualityOther, "fix"},
    {kFixAgeLabel, "Fix age:"},
    {kFixAgeSeconds, "%1 s"},
    {kStripUnpositionedStations, "Measure again, no position: %2"},
    {kSimulatorMenu, "Simulator"},
    {kSimulatorDropInstrument, "Drop instrument for 10 s"},
    {kSimulatorStallGps, "GPS stalls for 10 s"},
    {kSimulatorDropGps, "GPS gone for 10 s"},
    {kMenuSaveAs, "Save As..."},
    {kSavedNote, "Saved %1"},
    {kMenuExport, "Export..."},
    {kExportTitle, "Export"},
    {kExportFormat, "Format:"},
    {kExportFrequency, "Frequency:"},
    {kExportAllFrequencies, "All active"},
    {kExportUnit, "Unit:"},
    {kExportUnitAsShown, "As shown"},
    {kExportCrs, "Coordinates:"},
    {kExportCrsOwn, "Survey metres / WGS 84"},
    {kExportProgress, "Exporting to %1..."},
    {kExportDone, "Exported %1 stations to %2"},
    {kExportFailed, "Export failed: %1"},
    {kExportCancel, "Cancel"},
    {kExportCrsUtm, "UTM (zone from the data)"},
    {kExportRasterDone, "Exported a grid of %1 x %2 cells to %3"},
    {kStripJournalProblem, "Not on the disk, save elsewhere: %1"},
    {61446, "an unnamed file"},
    {61856, "No error occurred."},
    {61857, "An unknown error occurred while accessing %1."},
    {61858, "%1 was not found."},
    {61859, "%1 contains an incorrect path."},
    {61860, "Could not open %1 because there are too many open files."},
    {61861, "Access to %1 was denied."},
    {61862, "An incorrect file handle was associated with %1."},
    {61863, "Could not remove %1 because it is the current directory."},
    {61864, "Could not create %1 because the directory is full."},
    {61865, "Seek failed on %1"},
    {61866, "Encountered a hardware I/O error while accessing %1."},
    {61867, "Encountered a sharing violation while accessing %1."},
    {61868, "Encountered a locking violation while accessing %1."},
    {61869, "Disk full while accessing %1."},
    {61870, "Attempted to access %1 past its end."},
};

constexpr bool IsSorted()
{
    for (size_t i = 1; i < std::size(kTable); ++i) {
        if (kTable[i - 1].id >= kTable[i].id) {
            return false;
        }
    }
    return true;
}
static_assert(IsSorted(), "the string table must be sorted by id, each id once");

}  // namespace

std::string_view ResourceString(int id)
{
    const auto it = std::lower_bound(std::begin(kTable), std::end(kTable), id,
                                     [](const Entry& e, int wanted) { return e.id < wanted; });
    if (it == std::end(kTable) || it->id != id) {
        return {};
    }
    return it->text;
}

std::string FormatPlaceholders(std::string_view text,
                               std::initializer_list<std::string_view> arguments)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%' && i + 1 < text.size()) {
            const char d = text[i + 1];
            if (d >= '1' && d <= '9') {
                const size_t n = static_cast<size_t>(d - '1');
                if (n < arguments.size()) {
                    out += *(arguments.begin() + n);
                    ++i;
                    continue;
                }
            }
        }
        out += c;
    }
    return out;
}

std::string FormatResource(int id, std::initializer_list<std::string_view> arguments)
{
    return FormatPlaceholders(ResourceString(id), arguments);
}

}  // namespace orv
