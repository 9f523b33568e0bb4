#pragma once
// The handheld's own battery: the charge in percent, or a value outside 0..100 when the
// machine has no battery or it cannot be read (the Main pages then show no text).

namespace orv {

class PowerStatus
{
public:
    virtual ~PowerStatus() = default;
    [[nodiscard]] virtual int BatteryPercent() = 0;
};

}  // namespace orv
