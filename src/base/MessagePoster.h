#pragma once
// The program's own messages (9025..9036) travel through this interface: the window posts them
// as queued events to the receiving page or sheet, so they may be posted from any thread.
// Messages that carry a position (9034, 9035) carry it by value.

#include "base/GpsFix.h"

#include <cstdint>
#include <optional>

namespace orv {

namespace message {
constexpr uint32_t kBeginSession = 9025;
constexpr uint32_t kResetToSetup = 9026;
constexpr uint32_t kNextPage = 9027;
constexpr uint32_t kPreviousPage = 9028;
constexpr uint32_t kScreenLayout = 9029;
constexpr uint32_t kMeasurementPosition = 9034;
constexpr uint32_t kNewGpsFix = 9035;
constexpr uint32_t kMeasurementFailed = 9036;
}  // namespace message

struct ProgramMessage
{
    uint32_t message = 0;
    uint64_t wParam = 0;
    int64_t lParam = 0;
    // 9034: the position of the measurement wParam; 9035: the new fix.
    std::optional<GpsFix> fix;
};

class MessagePoster
{
public:
    virtual ~MessagePoster() = default;
    // Must be safe to call from any thread; delivery happens later on the receiver's thread.
    virtual void Post(const ProgramMessage& message) = 0;
};

}  // namespace orv
