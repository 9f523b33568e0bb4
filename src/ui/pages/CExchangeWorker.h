#pragma once
// The one thread on which the Main pages talk to the instrument. An exchange can take up to the
// reply time-out (40 000 ms); run on the window's thread it would freeze the window for that
// long. Only the port work moves here: the page prepares the exchange and handles its result
// on its own thread, where the configuration and the survey live.
//
//     worker.Run([&] { device.Transfer(pending); },   // on the worker thread
//                [this] { OnTransferred(); });         // later, queued, on the page's thread
//
// While a job runs the worker keeps the operator's input away from the program, as the
// handheld did while it waited for the instrument, but the window still repaints: mouse, key,
// touch and shortcut events are dropped except those for the one widget allowed (the page's
// Cancel button). Closing the window still goes through, so the program can shut down.
//
// It is the window's ExchangeRunner: the measurement cycle's series timer runs here too, as a
// timer of the window's event loop.

#include "session/ExchangeRunner.h"

#include <QObject>
#include <QTimer>

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

class QWidget;

namespace orv {

class CExchangeWorker final : public QObject, public ExchangeRunner
{
public:
    explicit CExchangeWorker(QObject* parent = nullptr);
    // Waits for a job in progress (cancel it first); its completion is not run.
    ~CExchangeWorker() override;
    CExchangeWorker(const CExchangeWorker&) = delete;
    CExchangeWorker& operator=(const CExchangeWorker&) = delete;

    // The widget whose input goes through while a job runs (and its children); may be null.
    void SetAllowedWidget(QWidget* widget) { m_allowed = widget; }

    // Starts `transfer` on the worker thread; `done` runs on this object's thread once it has
    // returned. False, running nothing, while a job is under way.
    bool Run(std::function<void()> transfer, std::function<void()> done,
             bool operatorJob = true) override;
    // A job has started and its completion has not yet run.
    [[nodiscard]] bool Busy() const { return m_busy; }
    // Waits until the transfer of the job under way has returned and forgets its completion;
    // the caller takes over what `done` would have done.
    void Abandon() override;
    bool StartTimer(int timer, int periodMs, std::function<void()> tick) override;
    void StopTimer(int timer) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Loop();
    void Finished(unsigned generation);
    // Waits for the transfer, lets input through again and hands back the completion.
    std::function<void()> EndJob();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::function<void()> m_transfer;  // the job waiting for the thread
    bool m_transferring = false;       // the thread holds a job
    unsigned m_transferGeneration = 0;
    bool m_stop = false;
    bool m_busy = false;           // owner's thread only
    bool m_filtering = false;      // owner's thread only: the job keeps the input away
    unsigned m_generation = 0;     // owner's thread only
    std::function<void()> m_done;  // owner's thread only
    QWidget* m_allowed = nullptr;
    struct Timer
    {
        QTimer* timer = nullptr;
        std::function<void()> tick;
    };
    std::map<int, Timer> m_timers;
    std::thread m_thread;
};

}  // namespace orv
