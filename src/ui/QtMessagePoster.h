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
    explicit ProgramMessageEvent(const ProgramMessage& message);
    const ProgramMessage content;
};

class QtMessagePoster final : public MessagePoster
{
public:
    // The receiver must outlive every thread that posts.
    explicit QtMessagePoster(QObject* receiver);
    void Post(const ProgramMessage& message) override;

private:
    QObject* m_receiver;
};

}  // namespace orv
