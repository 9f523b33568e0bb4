#pragma once
// A few threads that share the rows of one picture. The caller cuts a job into tasks, each of
// which writes its own part of the output (a band of rows) from inputs that no task changes, so
// the picture is the same however the tasks fall on the threads, or when the caller runs them
// all itself: the drawings give one result, bit for bit, on one core or many.
//
//   WorkerPool& workers = WorkerPool::Shared();
//   workers.Run(bands, [&](int band) { ... rows of band ... });
//
// Tasks must not throw: what they need is allocated before the job starts. A job started while
// the pool is busy (from another thread, or from inside a task) runs on its caller alone.

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

namespace orv {

class WorkerPool
{
public:
    // `threads` work on each job, the caller's own included; 1 or less: the caller does
    // everything and no thread is started.
    explicit WorkerPool(int threads);
    // Stops and joins the threads; a job in progress is finished first.
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    [[nodiscard]] int Threads() const { return static_cast<int>(m_threads.size()) + 1; }

    // Runs task(0) ... task(count - 1), each once, and returns when all have finished.
    template <typename Task>
    void Run(int count, Task&& task)
    {
        using Plain = std::remove_reference_t<Task>;
        RunErased(count, const_cast<void*>(static_cast<const void*>(&task)),
                  [](void* t, int index) { (*static_cast<Plain*>(t))(index); });
    }

    // Cuts rows 0 .. rows - 1 into bands of at least minRows rows (at most kMaxBands of them,
    // the cut depending on the sizes alone) and runs body(first, end) for each band.
    template <typename Body>
    void RunBands(int rows, int minRows, Body&& body)
    {
        const int bands = BandCount(rows, minRows);
        Run(bands, [&](int band) {
            body(BandStart(rows, bands, band), BandStart(rows, bands, band + 1));
        });
    }
    static constexpr int kMaxBands = 16;
    [[nodiscard]] static int BandCount(int rows, int minRows)
    {
        if (rows <= 0) {
            return 0;
        }
        return std::clamp(rows / std::max(minRows, 1), 1, kMaxBands);
    }
    [[nodiscard]] static int BandStart(int rows, int bands, int band)
    {
        return static_cast<int>(static_cast<int64_t>(rows) * band / bands);
    }

    // The pool the drawings share: as many threads as processors this process may run on, at
    // most kMaxThreads. Made on first use, joined at exit.
    static WorkerPool& Shared();
    static constexpr int kMaxThreads = 8;
    // The processors this process may run on (its affinity where the system tells it).
    [[nodiscard]] static int AvailableProcessors();

private:
    using Call = void (*)(void*, int);

    void RunErased(int count, void* task, Call call);
    void Work();
    void Drain();

    std::vector<std::thread> m_threads;
    std::mutex m_jobLock;  // held by the caller of a parallel job for its whole run
    std::mutex m_lock;     // guards what follows
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    uint64_t m_generation = 0;
    bool m_stop = false;
    void* m_task = nullptr;  // the job in progress, nullptr between jobs
    Call m_call = nullptr;
    int m_count = 0;
    int m_next = 0;     // the next task index to hand out
    int m_working = 0;  // threads inside the job besides the caller
};

}  // namespace orv
