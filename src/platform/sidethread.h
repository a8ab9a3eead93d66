#pragma once

#include <pthread.h>
#include <sched.h>

#include <functional>
#include <future>

// The cores this process may use without the one the calling thread runs on; false when
// there is no other. all gets every core the process may use.
bool coresBesideThisOne(cpu_set_t &others, cpu_set_t &all);

// A thread for work done beside the main thread while the program starts. The scheduler
// queues a new thread on the core of the thread that made it and moves it to an idle core
// only when it next balances its queues, some milliseconds later on a machine with two
// cores; the main thread keeps its core busy all that while. This one starts on another
// core at once and may move freely from then on. Joined at the latest on destruction.
class SideThread
{
public:
    explicit SideThread(std::function<void()> work);
    ~SideThread();
    SideThread(const SideThread &) = delete;
    SideThread &operator=(const SideThread &) = delete;

    void join();

private:
    static void *run(void *self);

    std::function<void()> m_work;
    cpu_set_t m_cores; // the thread's own, taken back once it runs
    pthread_t m_handle {};
    bool m_joinable = false;
};

// A result worked out on a SideThread; get() waits for it and passes on what the work threw.
template <typename Result> class SideTask
{
public:
    template <typename Work>
    explicit SideTask(Work &&work)
        : m_task(std::forward<Work>(work))
        , m_result(m_task.get_future())
        , m_thread([this] { m_task(); })
    { }

    Result get()
    {
        m_thread.join();
        return m_result.get();
    }

private:
    std::packaged_task<Result()> m_task;
    std::future<Result> m_result;
    SideThread m_thread;
};
