#pragma once
// The calibration file's INI dialect, as the handheld reads and writes it:
//
//   [ORV 5]
//   	Date=01/03/2008 ;in format dd/mm/yyyy
//   	Comment=Field check after repair
//   	;Frequencies
//   	F1=2.501
//   	...
//   	r2=2.508
//
// A ';' outside double quotes starts a comment; inside quotes a backslash protects the next
// character. Keys are compared without regard to letter case. The F1..F14 values belong to the
// whole file: a section without them takes the frequencies of the lines before it. Each line is
// read up to 1023 characters; the rest of a longer line is ignored.
//
// The reader treats its input as hostile: it never fails, it reads what the dialect allows and
// notes what it had to skip. The writer writes the handheld's order and number format ("%G",
// six significant digits) with CR LF line ends, so files move back to handhelds unchanged.

#include "calibration/CalibrationId.h"
#include "calibration/CalibrationRecord.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

class CodePage;

// Characters of one line the handheld's reader takes; the rest of a longer line is ignored.
constexpr size_t kIniLineLimit = 1023;

// Receives each complete section in file order; returning false stops the reading there.
using IniSectionSink = std::function<bool(const CalibrationId&, const CalibrationRecord&)>;

struct IniReadReport
{
    int sections = 0;                   // sections handed to the sink
    bool stopped = false;               // the sink stopped the reading
    std::vector<std::string> warnings;  // "line 12: ...", what was skipped and why
};

// Reads a calibration file. `fileName` supplies the serial of a file without section header
// when it is named like "ISystem_ORV#12.ini". A section whose frequencies hold a 0 is skipped
// with a warning; the sections after it are still read. Comments are converted from `codePage`
// to UTF-8.
IniReadReport ReadCalibrationIni(std::span<const uint8_t> bytes, std::string_view fileName,
                                 const CodePage& codePage, const IniSectionSink& sink);

// Appends the written form of one record, ending with its empty line. A comment is written bare
// when it reads back whole that way, else in double quotes with '"' and '\' escaped by a
// backslash; line ends, which the format cannot hold, become blanks, and a comment too long for
// one line is shortened to fit.
void WriteCalibrationSection(std::string& out, const CalibrationId& id,
                             const CalibrationRecord& record, const CodePage& codePage);

// "%G": six significant digits, upper-case exponent, independent of the C locale.
std::string FormatIniNumber(double value);

}  // namespace orv
