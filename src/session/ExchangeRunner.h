#pragma once
// What the measurement cycle needs of the thread it runs on: the port work of an exchange off
// that thread, its completion back on it, and the timer of a timed series. The window's
// implementation runs the transfer on one long-lived worker thread and delivers completions and
// timer ticks through its event loop; a headless caller may run the transfer in place.
//
//     runner.Run([&] { device.Transfer(pending); },    // off the caller's thread
//                [this] { OnTransferred(); });          // later, on the caller's thread

#include <functional>

namespace orv {

class ExchangeRunner
{
public:
    virtual ~ExchangeRunner() = default;
    // Starts `transfer`; `done` runs on the caller's thread once it has returned. False,
    // running nothing, while a job is under way.
    virtual bool Run(std::function<void()> transfer, std::function<void()> done) = 0;
    // Waits until the transfer under way has returned and forgets its completion; the caller
    // takes over what `done` would have done.
    virtual void Abandon() = 0;
    // Calls `tick` on the caller's thread every `periodMs` until StopTimer; a second start
    // replaces the period. False when no timer could be set.
    virtual bool StartTimer(int periodMs, std::function<void()> tick) = 0;
    virtual void StopTimer() = 0;
};

}  // namespace orv
