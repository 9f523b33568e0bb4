// Feeds arbitrary bytes to the reader of the stations' log kept beside a session file. Beyond
// not crashing, a log it accepts must write out and read back as the same stations.
#include "survey/StationLog.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The first byte chooses the session's slot count, the rest is the log.
    if (size == 0) {
        return 0;
    }
    const size_t slots = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    std::vector<orv::StationMeta> meta;
    std::string error;
    if (!orv::ParseStationLog(text, slots, meta, error)) {
        if (error.empty() || !meta.empty()) {
            std::abort();
        }
        return 0;
    }
    if (meta.size() != slots) {
        std::abort();
    }
    std::vector<orv::StationMeta> again;
    if (!orv::ParseStationLog(orv::FormatStationLog(meta), slots, again, error) || again != meta) {
        std::abort();
    }
    return 0;
}
