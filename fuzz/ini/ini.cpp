// Feeds arbitrary bytes to the calibration INI reader, as a file named after an instrument in
// windows-1251 and as a plain file in UTF-8. Beyond not crashing, the reader and the writer
// must agree: the sections read, once written, read back as just as many sections and write out
// as the same bytes again.
#include "base/CodePage.h"
#include "calibration/CalibrationIni.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

namespace {

std::string ReadAndWrite(std::span<const uint8_t> bytes, std::string_view name,
                         const orv::CodePage& cp, int& sections)
{
    std::string out;
    const orv::IniSectionSink sink = [&](const orv::CalibrationId& id,
                                         const orv::CalibrationRecord& record) {
        orv::WriteCalibrationSection(out, id, record, cp);
        return true;
    };
    sections = orv::ReadCalibrationIni(bytes, name, cp, sink).sections;
    return out;
}

std::span<const uint8_t> Bytes(const std::string& s)
{
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

void Check(std::span<const uint8_t> input, std::string_view name, const orv::CodePage& cp)
{
    int first = 0;
    const std::string written = ReadAndWrite(input, name, cp, first);
    int second = 0;
    const std::string rewritten = ReadAndWrite(Bytes(written), "OrvCalibration.ini", cp, second);
    if (first != second || written != rewritten) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> input(data, size);
    Check(input, "ISystem_ORV#12.ini", orv::CodePage());
    Check(input, "/cards/OrvCalibration.ini", orv::CodePage(orv::CodePage::Kind::Utf8));
    return 0;
}
