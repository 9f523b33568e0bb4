#include "ui/QtMessagePoster.h"

#include <QCoreApplication>

namespace orv {

QEvent::Type ProgramMessageEvent::EventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

ProgramMessageEvent::ProgramMessageEvent(uint32_t message_, uint64_t wParam_, int64_t lParam_)
    : QEvent(EventType()), message(message_), wParam(wParam_), lParam(lParam_)
{}

QtMessagePoster::QtMessagePoster(QObject* receiver) : m_receiver(receiver) {}

void QtMessagePoster::Post(uint32_t message, uint64_t wParam, int64_t lParam)
{
    if (m_receiver != nullptr) {
        // The event queue takes ownership of the event.
        QCoreApplication::postEvent(m_receiver, new ProgramMessageEvent(message, wParam, lParam));
    }
}

}  // namespace orv
