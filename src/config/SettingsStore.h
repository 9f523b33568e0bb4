#pragma once
// The persistent key/value store of the settings: named 32-bit integers (DWORD values) and byte
// blocks (binary values) under one section, including one unnamed value (name ""). Values keep
// their stored kind: reading a DWORD as binary or a binary as DWORD finds nothing, so a value of
// the wrong kind never fills a field. platform/ keeps it with QSettings in an INI file on Linux;
// tests use FakeSettingsStore.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orv {

class SettingsStore
{
public:
    virtual ~SettingsStore() = default;

    [[nodiscard]] virtual std::optional<uint32_t> ReadDword(const std::string& name) const = 0;
    [[nodiscard]] virtual std::optional<std::vector<uint8_t>> ReadBinary(
        const std::string& name) const = 0;
    // Writes are collected until Flush; false when the store cannot take the value.
    virtual bool WriteDword(const std::string& name, uint32_t value) = 0;
    virtual bool WriteBinary(const std::string& name, std::span<const uint8_t> bytes) = 0;
    // Makes the written values persistent. False, with the reason, when that failed.
    virtual bool Flush(std::string& error) = 0;
};

}  // namespace orv
