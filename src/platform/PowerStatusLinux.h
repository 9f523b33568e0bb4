#pragma once
// The battery charge from the kernel's power-supply class: the "capacity" of the first supply
// under /sys/class/power_supply whose "type" is "Battery". −1 without one (a desktop).

#include "base/PowerStatus.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace orv {

class PowerStatusLinux final : public PowerStatus
{
public:
    explicit PowerStatusLinux(std::filesystem::path root = "/sys/class/power_supply")
        : m_root(std::move(root))
    {}

    [[nodiscard]] int BatteryPercent() override
    {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(m_root, ec)) {
            std::ifstream type(entry.path() / "type");
            std::string kind;
            if (!(type >> kind) || kind != "Battery") {
                continue;
            }
            std::ifstream capacity(entry.path() / "capacity");
            int percent = -1;
            if (capacity >> percent) {
                return percent;
            }
        }
        return -1;
    }

private:
    std::filesystem::path m_root;
};

}  // namespace orv
