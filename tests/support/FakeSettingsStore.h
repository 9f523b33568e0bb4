#pragma once
// An in-memory SettingsStore that keeps each value's kind, like the registry.

#include "config/SettingsStore.h"

#include <map>
#include <variant>

namespace orv {

class FakeSettingsStore final : public SettingsStore
{
public:
    using Value = std::variant<uint32_t, std::vector<uint8_t>>;

    std::optional<uint32_t> ReadDword(const std::string& name) const override
    {
        const auto it = values.find(name);
        if (it == values.end() || !std::holds_alternative<uint32_t>(it->second)) {
            return std::nullopt;
        }
        return std::get<uint32_t>(it->second);
    }
    std::optional<std::vector<uint8_t>> ReadBinary(const std::string& name) const override
    {
        const auto it = values.find(name);
        if (it == values.end() || !std::holds_alternative<std::vector<uint8_t>>(it->second)) {
            return std::nullopt;
        }
        return std::get<std::vector<uint8_t>>(it->second);
    }
    bool WriteDword(const std::string& name, uint32_t value) override
    {
        values[name] = value;
        return true;
    }
    bool WriteBinary(const std::string& name, std::span<const uint8_t> bytes) override
    {
        values[name] = std::vector<uint8_t>(bytes.begin(), bytes.end());
        return true;
    }
    bool Flush(std::string& error) override
    {
        ++flushes;
        if (failFlush) {
            error = "the settings store is read-only";
            return false;
        }
        return true;
    }

    std::map<std::string, Value> values;
    bool failFlush = false;
    int flushes = 0;
};

}  // namespace orv
