#pragma once
// Opening and saving session files ("*.orv"), the layout of survey/SessionFormat.h.
//
//     std::string error;
//     std::unique_ptr<Survey> survey = OpenSession(path, config, error);
//     if (!survey) { prompt.Tell(error, ...); }      // "Error: wrong file format." and so on
//     ...
//     if (!SaveSession(*survey, path, error)) { prompt.Tell(error, ...); }
//
// Reading treats the file as hostile: every count and offset is checked against the file's
// length before anything is allocated or copied, and the configuration is changed only once the
// whole file has been found sound, so a damaged or truncated file leaves memory as it was.
// Files the handheld wrote open unchanged; trailing bytes after the last slot are ignored.

#include <cstdint>
#include <ctime>
#include <memory>
#include <span>
#include <string>

namespace orv {

class Configuration;
class Survey;

constexpr const char* kWrongFormatText = "Error: wrong file format.";
constexpr const char* kCouldNotOpenText = "Could not open the file: ";

// Reads a whole session image. On success the configuration holds the file's texts, work type,
// sizes, steps and active frequencies (those of the first valid slot), the calibration the
// header names is selected, and the survey's cursor stands at its first station, unmodified. On
// failure: null, `error` = kWrongFormatText, `detail` (when given) says what is wrong, and the
// configuration is unchanged.
std::unique_ptr<Survey> ReadSession(std::span<const uint8_t> bytes, Configuration& config,
                                    std::string& error, std::string* detail = nullptr);

// ReadSession of a file; the survey's FilePath becomes `path`. A file that cannot be read gives
// kCouldNotOpenText followed by the file-error text.
std::unique_ptr<Survey> OpenSession(const std::string& path, Configuration& config,
                                    std::string& error, std::string* detail = nullptr);

// The Save command once the operator chose `path`: FilePath becomes `path`, then Save with
// clear = true. False with the reason; the survey then stays modified and keeps its FilePath.
[[nodiscard]] bool SaveSession(Survey& survey, const std::string& path, std::string& error);

// The automatic file name of an unsaved survey: "%02d%02d%02d_%02d%02d" of the local year
// modulo 100, month, day, hour and minute, e.g. "070228_1405"; without a local time
// "000000_-1-1". No extension: the save dialog appends ".orv".
std::string AutomaticFileName(std::time_t now);
std::string AutomaticFileName(const std::tm* local);

// The file-error text of cause c (0..14), with %1 replaced by the path ("an unnamed file" when
// empty), and the cause of a POSIX errno.
std::string FileErrorText(int cause, const std::string& path);
int FileErrorCause(int errnoValue);

}  // namespace orv
