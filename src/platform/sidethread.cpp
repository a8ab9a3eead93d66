#include "platform/sidethread.h"

bool coresBesideThisOne(cpu_set_t &others, cpu_set_t &all)
{
    CPU_ZERO(&all);
    if (sched_getaffinity(0, sizeof all, &all) != 0 || CPU_COUNT(&all) < 2)
        return false;
    const int here = sched_getcpu();
    if (here < 0 || !CPU_ISSET(here, &all))
        return false;
    others = all;
    CPU_CLR(here, &others);
    return true;
}

SideThread::SideThread(std::function<void()> work)
    : m_work(std::move(work))
{
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) {
        m_work();
        return;
    }
    cpu_set_t others;
    const bool elsewhere = coresBesideThisOne(others, m_cores)
        && pthread_attr_setaffinity_np(&attributes, sizeof others, &others) == 0;
    m_joinable = pthread_create(&m_handle, &attributes, &SideThread::run, this) == 0;
    if (!m_joinable && elsewhere)
        m_joinable = pthread_create(&m_handle, nullptr, &SideThread::run, this) == 0;
    pthread_attr_destroy(&attributes);
    if (!m_joinable)
        m_work(); // no thread to be had: the work is done all the same, only not beside
}

SideThread::~SideThread()
{
    join();
}

void SideThread::join()
{
    if (m_joinable) {
        pthread_join(m_handle, nullptr);
        m_joinable = false;
    }
}

void *SideThread::run(void *self)
{
    auto *thread = static_cast<SideThread *>(self);
    if (CPU_COUNT(&thread->m_cores) > 1)
        pthread_setaffinity_np(pthread_self(), sizeof thread->m_cores, &thread->m_cores);
    thread->m_work();
    return nullptr;
}
