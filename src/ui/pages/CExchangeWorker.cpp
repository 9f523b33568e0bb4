#include "ui/pages/CExchangeWorker.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace orv {

namespace {

bool IsOperatorInput(QEvent::Type type)
{
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::Wheel:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::ContextMenu:
        case QEvent::Gesture:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
            return true;
        default:
            return false;
    }
}

}  // namespace

CExchangeWorker::CExchangeWorker(QObject* parent) : QObject(parent)
{
    m_thread = std::thread([this] { Loop(); });
}

bool CExchangeWorker::StartTimer(int id, int periodMs, std::function<void()> tick)
{
    if (periodMs <= 0) {
        return false;
    }
    Timer& t = m_timers[id];
    if (t.timer == nullptr) {
        t.timer = new QTimer(this);
        connect(t.timer, &QTimer::timeout, this, [this, id] {
            const auto it = m_timers.find(id);
            if (it != m_timers.end() && it->second.tick) {
                // The tick may stop or restart its timer.
                const std::function<void()> call = it->second.tick;
                call();
            }
        });
    }
    t.tick = std::move(tick);
    t.timer->start(periodMs);
    return t.timer->isActive();
}

void CExchangeWorker::StopTimer(int id)
{
    const auto it = m_timers.find(id);
    if (it != m_timers.end()) {
        it->second.timer->stop();
        it->second.tick = nullptr;
    }
}

CExchangeWorker::~CExchangeWorker()
{
    Abandon();
    {
        std::scoped_lock lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

bool CExchangeWorker::Run(std::function<void()> transfer, std::function<void()> done,
                          bool operatorJob)
{
    if (m_busy) {
        return false;
    }
    m_busy = true;
    m_filtering = operatorJob;
    m_done = std::move(done);
    if (QCoreApplication* app = QCoreApplication::instance(); app != nullptr && operatorJob) {
        app->installEventFilter(this);
    }
    {
        std::scoped_lock lock(m_mutex);
        m_transfer = std::move(transfer);
        m_transferGeneration = m_generation;
        m_transferring = true;
    }
    m_wake.notify_all();
    return true;
}

void CExchangeWorker::Loop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || m_transfer; });
        if (m_stop && !m_transfer) {
            return;
        }
        std::function<void()> transfer = std::move(m_transfer);
        m_transfer = nullptr;
        const unsigned generation = m_transferGeneration;
        lock.unlock();
        transfer();
        lock.lock();
        m_transferring = false;
        m_wake.notify_all();
        // The completion is handed to the owner's thread as a queued call; the generation tells
        // it whether the job was abandoned meanwhile. The worker object outlives the call: its
        // destructor waits for this thread, and Qt drops queued calls of a destroyed object.
        QMetaObject::invokeMethod(
            this, [this, generation] { Finished(generation); }, Qt::QueuedConnection);
    }
}

void CExchangeWorker::Finished(unsigned generation)
{
    if (!m_busy || generation != m_generation) {
        return;
    }
    std::function<void()> done = EndJob();
    if (done) {
        done();
    }
}

void CExchangeWorker::Abandon()
{
    if (m_busy) {
        (void)EndJob();
    }
}

std::function<void()> CExchangeWorker::EndJob()
{
    {
        // Waiting on the worker's own lock orders the transfer's writes before what the owner
        // reads next (the queued call alone does too, but only through Qt's event queue).
        std::unique_lock lock(m_mutex);
        m_wake.wait(lock, [this] { return !m_transferring; });
    }
    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->removeEventFilter(this);
    }
    m_busy = false;
    ++m_generation;
    std::function<void()> done = std::move(m_done);
    m_done = nullptr;
    return done;
}

bool CExchangeWorker::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_busy || !m_filtering || !IsOperatorInput(event->type())) {
        return QObject::eventFilter(watched, event);
    }
    if (event->type() == QEvent::Shortcut) {
        return true;
    }
    // Events reach the native window first and the widget under the mouse or with the focus
    // next: only widgets are sorted out.
    if (!watched->isWidgetType()) {
        return QObject::eventFilter(watched, event);
    }
    const auto* widget = static_cast<const QWidget*>(watched);
    if (m_allowed != nullptr && (widget == m_allowed || m_allowed->isAncestorOf(widget))) {
        return QObject::eventFilter(watched, event);
    }
    return true;
}

}  // namespace orv
