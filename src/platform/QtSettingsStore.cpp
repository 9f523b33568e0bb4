#include "platform/QtSettingsStore.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QString>
#include <QVariant>

namespace orv {

namespace {

QString Key(const std::string& name)
{
    return name.empty() ? QStringLiteral("(Default)") : QString::fromStdString(name);
}

}  // namespace

QtSettingsStore::QtSettingsStore(const std::string& path, const std::string& section)
    : m_settings(std::make_unique<QSettings>(QString::fromStdString(path), QSettings::IniFormat)),
      m_path(path)
{
    m_settings->beginGroup(QString::fromStdString(section));
}

QtSettingsStore::~QtSettingsStore() = default;

std::optional<uint32_t> QtSettingsStore::ReadDword(const std::string& name) const
{
    const QVariant v = m_settings->value(Key(name));
    if (!v.isValid()) {
        return std::nullopt;
    }
    switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong: {
            const qlonglong n = v.toLongLong();
            if (n < INT32_MIN || n > qlonglong(UINT32_MAX)) {
                return std::nullopt;
            }
            return static_cast<uint32_t>(n);
        }
        case QMetaType::QString: {
            // The INI file gives integers back as text; anything but a whole number that fits
            // 32 bits is another kind of value.
            bool ok = false;
            const qlonglong n = v.toString().trimmed().toLongLong(&ok, 10);
            if (!ok || n < INT32_MIN || n > qlonglong(UINT32_MAX)) {
                return std::nullopt;
            }
            return static_cast<uint32_t>(n);
        }
        default:
            return std::nullopt;
    }
}

std::optional<std::vector<uint8_t>> QtSettingsStore::ReadBinary(const std::string& name) const
{
    const QVariant v = m_settings->value(Key(name));
    if (!v.isValid() || v.typeId() != QMetaType::QByteArray) {
        return std::nullopt;
    }
    const QByteArray bytes = v.toByteArray();
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

bool QtSettingsStore::WriteDword(const std::string& name, uint32_t value)
{
    m_settings->setValue(Key(name), QVariant::fromValue(static_cast<uint>(value)));
    return true;
}

bool QtSettingsStore::WriteBinary(const std::string& name, std::span<const uint8_t> bytes)
{
    m_settings->setValue(Key(name), QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<qsizetype>(bytes.size())));
    return true;
}

bool QtSettingsStore::Flush(std::string& error)
{
    const QFileInfo info(QString::fromStdString(m_path));
    if (!QDir().mkpath(info.absolutePath())) {
        error = "cannot create the folder " + info.absolutePath().toStdString();
        return false;
    }
    m_settings->sync();
    switch (m_settings->status()) {
        case QSettings::NoError:
            return true;
        case QSettings::AccessError:
            error = "cannot write " + m_path + " (no permission, or the disk is full)";
            return false;
        case QSettings::FormatError:
            error = m_path + " is not a settings file that can be read";
            return false;
    }
    return false;
}

}  // namespace orv
