#include "ui/QtMessagePoster.h"

#include <QCoreApplication>

namespace orv {

QEvent::Type ProgramMessageEvent::EventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

ProgramMessageEvent::ProgramMessageEvent(const ProgramMessage& message)
    : QEvent(EventType()), content(message)
{}

QtMessagePoster::QtMessagePoster(QObject* receiver) : m_receiver(receiver) {}

void QtMessagePoster::Post(const ProgramMessage& message)
{
    if (m_receiver != nullptr) {
        // The event queue takes ownership of the event.
        QCoreApplication::postEvent(m_receiver, new ProgramMessageEvent(message));
    }
}

}  // namespace orv
