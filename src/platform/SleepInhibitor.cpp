#include "platform/SleepInhibitor.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>

namespace orv {

namespace {

const QString kProgram = QStringLiteral("OrvControl");
constexpr int kTimeoutMs = 2000;

bool HasService(const QDBusConnection& bus, const QString& name)
{
    return bus.isConnected() && bus.interface() != nullptr &&
           bus.interface()->isServiceRegistered(name).value();
}

}  // namespace

void SleepInhibitor::Hold(const QString& why)
{
    if (m_held) {
        return;
    }
    m_held = true;
    QDBusConnection session = QDBusConnection::sessionBus();
    const QString screenSaver = QStringLiteral("org.freedesktop.ScreenSaver");
    if (HasService(session, screenSaver)) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            screenSaver, QStringLiteral("/org/freedesktop/ScreenSaver"), screenSaver,
            QStringLiteral("Inhibit"));
        call << kProgram << why;
        const QDBusReply<uint32_t> reply = session.call(call, QDBus::Block, kTimeoutMs);
        if (reply.isValid()) {
            m_cookie = reply.value();
        }
    }
    QDBusConnection system = QDBusConnection::systemBus();
    const QString login = QStringLiteral("org.freedesktop.login1");
    if (HasService(system, login)) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            login, QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
        call << QStringLiteral("sleep:idle") << kProgram << why << QStringLiteral("block");
        const QDBusReply<QDBusUnixFileDescriptor> reply =
            system.call(call, QDBus::Block, kTimeoutMs);
        if (reply.isValid()) {
            m_lock = reply.value();
        }
    }
}

void SleepInhibitor::Release()
{
    if (!m_held) {
        return;
    }
    m_held = false;
    if (m_cookie) {
        const QString screenSaver = QStringLiteral("org.freedesktop.ScreenSaver");
        QDBusMessage call = QDBusMessage::createMethodCall(
            screenSaver, QStringLiteral("/org/freedesktop/ScreenSaver"), screenSaver,
            QStringLiteral("UnInhibit"));
        call << *m_cookie;
        QDBusConnection::sessionBus().call(call, QDBus::NoBlock);
        m_cookie.reset();
    }
    // logind lets go when the last copy of its descriptor is closed.
    m_lock = QDBusUnixFileDescriptor();
}

}  // namespace orv
