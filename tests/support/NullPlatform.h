#pragma once
// A configuration's platform for the benchmarks and fuzz targets: settings that hold nothing and
// keep nothing, and a prompt that answers No and tells nobody.

#include "base/Prompt.h"
#include "config/SettingsStore.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orv {

class NoSettings final : public SettingsStore
{
public:
    std::optional<uint32_t> ReadDword(const std::string&) const override { return std::nullopt; }
    std::optional<std::vector<uint8_t>> ReadBinary(const std::string&) const override
    {
        return std::nullopt;
    }
    bool WriteDword(const std::string&, uint32_t) override { return true; }
    bool WriteBinary(const std::string&, std::span<const uint8_t>) override { return true; }
    bool Flush(std::string&) override { return true; }
};

class NoPrompt final : public Prompt
{
public:
    Answer Ask(const std::string&, const std::string&, Buttons, Icon) override
    {
        return Answer::No;
    }
    void Tell(const std::string&, const std::string&, Icon) override {}
};

}  // namespace orv
