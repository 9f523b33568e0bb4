#pragma once
// What the measurement cycle needs of the thread it runs on: the port work of an exchange off
// that thread, its completion back on it, and its timers (the timed series, the link watch). The
// window's implementation runs the transfer on one long-lived worker thread and delivers
// completions and timer ticks through its event loop; a headless caller may run the transfer in
// place.
//
//     runner.Run([&] { device.Transfer(pending); },    // off the caller's thread
//                [this] { OnTransferred(); });          // later, on the caller's thread

#include <functional>

namespace orv {

class ExchangeRunner
{
public:
    // The cycle's timers.
    static constexpr int kSeriesTimer = 1;  // the Main pages' timer 1
    static constexpr int kWatchTimer = 2;   // the watch of the instrument link

    virtual ~ExchangeRunner() = default;
    // Starts `transfer`; `done` runs on the caller's thread once it has returned. False,
    // running nothing, while a job is under way. While a job of the operator's runs, the window
    // lets only Cancel through; a background job leaves the window as it is.
    virtual bool Run(std::function<void()> transfer, std::function<void()> done,
                     bool operatorJob = true) = 0;
    // Waits until the transfer under way has returned and forgets its completion; the caller
    // takes over what `done` would have done.
    virtual void Abandon() = 0;
    // Calls `tick` on the caller's thread every `periodMs` until StopTimer(timer); a second
    // start of the same timer replaces its period and tick. False when no timer could be set.
    virtual bool StartTimer(int timer, int periodMs, std::function<void()> tick) = 0;
    virtual void StopTimer(int timer) = 0;
};

}  // namespace orv
