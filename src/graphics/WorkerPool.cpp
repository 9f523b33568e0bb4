#include "graphics/WorkerPool.h"

#include <algorithm>

#if defined(__linux__)
#include <sched.h>
#endif

namespace orv {

WorkerPool::WorkerPool(int threads)
{
    const int extra = std::max(threads, 1) - 1;
    m_threads.reserve(static_cast<size_t>(extra));
    for (int t = 0; t < extra; ++t) {
        m_threads.emplace_back([this] { Work(); });
    }
}

WorkerPool::~WorkerPool()
{
    {
        const std::scoped_lock lock(m_jobLock, m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    for (std::thread& thread : m_threads) {
        thread.join();
    }
}

WorkerPool& WorkerPool::Shared()
{
    static WorkerPool pool(std::min(AvailableProcessors(), kMaxThreads));
    return pool;
}

int WorkerPool::AvailableProcessors()
{
#if defined(__linux__)
    // A process started under taskset, or in a container limited to some processors, must not
    // start more threads than it may run at once: they would only take turns.
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof(set), &set) == 0) {
        return std::max(CPU_COUNT(&set), 1);
    }
#endif
    return std::max(static_cast<int>(std::thread::hardware_concurrency()), 1);
}

void WorkerPool::RunErased(int count, void* task, Call call)
{
    if (count <= 0) {
        return;
    }
    std::unique_lock job(m_jobLock, std::try_to_lock);
    if (m_threads.empty() || count == 1 || !job.owns_lock()) {
        for (int i = 0; i < count; ++i) {
            call(task, i);
        }
        return;
    }
    {
        const std::scoped_lock lock(m_lock);
        m_task = task;
        m_call = call;
        m_count = count;
        m_next = 0;
        ++m_generation;
    }
    m_wake.notify_all();
    Drain();
    std::unique_lock lock(m_lock);
    // Every task has been handed out; wait for the threads still running one. A thread that
    // wakes later finds no job and goes back to sleep.
    m_idle.wait(lock, [this] { return m_working == 0; });
    m_task = nullptr;
    m_call = nullptr;
}

void WorkerPool::Drain()
{
    std::unique_lock lock(m_lock);
    while (m_next < m_count) {
        const int index = m_next++;
        void* task = m_task;
        const Call call = m_call;
        lock.unlock();
        call(task, index);
        lock.lock();
    }
}

void WorkerPool::Work()
{
    uint64_t seen = 0;
    std::unique_lock lock(m_lock);
    for (;;) {
        m_wake.wait(lock, [&] { return m_stop || (m_task != nullptr && m_generation != seen); });
        if (m_stop) {
            return;
        }
        seen = m_generation;
        ++m_working;
        lock.unlock();
        Drain();
        lock.lock();
        if (--m_working == 0) {
            m_idle.notify_all();
        }
    }
}

}  // namespace orv
