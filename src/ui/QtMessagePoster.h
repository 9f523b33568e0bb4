#pragma once
// Delivers the program's messages as queued Qt events to one receiver: safe to post from any
// thread (the NMEA reader posts its fixes this way); the receiver handles them on its own
// thread in the order posted.

#include "base/MessagePoster.h"

#include <QEvent>

class QObject;

namespace orv {

class ProgramMessageEvent final : public QEvent
{
public:
    static QEvent::Type EventType();
    ProgramMessageEvent(uint32_t message, uint64_t wParam, int64_t lParam);
    const uint32_t message;
    const uint64_t wParam;
    const int64_t lParam;
};

class QtMessagePoster final : public MessagePoster
{
public:
    // The receiver must outlive every thread that posts.
    explicit QtMessagePoster(QObject* receiver);
    void Post(uint32_t message, uint64_t wParam, int64_t lParam) override;

private:
    QObject* m_receiver;
};

}  // namespace orv
