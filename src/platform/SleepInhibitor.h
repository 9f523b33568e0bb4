#pragma once
// Keeps the machine awake while a session is open: idle blanking and suspend are held off
// through the desktop's inhibit interfaces on D-Bus (the session bus's screen saver and
// logind's sleep and idle lock on the system bus), and let go when the session ends. A suspend
// would drop the Bluetooth serial links in the middle of a survey.
//
// Where there is no bus or no such service (a bare X server, a test), nothing is held and
// nothing is reported: the program works as before.

#include <QDBusUnixFileDescriptor>
#include <QString>

#include <cstdint>
#include <optional>

namespace orv {

class SleepInhibitor
{
public:
    SleepInhibitor() = default;
    ~SleepInhibitor() { Release(); }
    SleepInhibitor(const SleepInhibitor&) = delete;
    SleepInhibitor& operator=(const SleepInhibitor&) = delete;

    // Holds the machine awake; a second call while held does nothing. `why` is shown by the
    // desktop's power settings.
    void Hold(const QString& why);
    void Release();
    // Something is held (the screen saver's cookie or logind's lock).
    [[nodiscard]] bool Holding() const { return m_cookie.has_value() || m_lock.isValid(); }

private:
    std::optional<uint32_t> m_cookie;
    QDBusUnixFileDescriptor m_lock;
    bool m_held = false;
};

}  // namespace orv
