#pragma once
// The settings store on Linux: an INI file kept by QSettings, the values under the group of the
// configuration's section ("Default values"). DWORD values are written as decimal integers,
// binary values as byte arrays of their exact length, and the section's unnamed value under the
// key "(Default)". QSettings writes the file through a temporary and a rename, so a crash never
// leaves half a file. On Windows the registry itself must keep the kinds (QSettings would store
// byte arrays there as text): a registry store implements the same interface there.

#include "config/SettingsStore.h"

#include <memory>

class QSettings;

namespace orv {

class QtSettingsStore final : public SettingsStore
{
public:
    // `path` is the INI file; `section` the group, normally "Default values".
    QtSettingsStore(const std::string& path, const std::string& section);
    ~QtSettingsStore() override;

    std::optional<uint32_t> ReadDword(const std::string& name) const override;
    std::optional<std::vector<uint8_t>> ReadBinary(const std::string& name) const override;
    bool WriteDword(const std::string& name, uint32_t value) override;
    bool WriteBinary(const std::string& name, std::span<const uint8_t> bytes) override;
    bool Flush(std::string& error) override;

private:
    std::unique_ptr<QSettings> m_settings;
    std::string m_path;
};

}  // namespace orv
