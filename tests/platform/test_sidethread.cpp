#include "platform/sidethread.h"

#include <gtest/gtest.h>

#include <sched.h>

#include <stdexcept>
#include <thread>

// The result comes back, an exception is passed on, and the work runs on a thread of its
// own that may use every core the process may.
TEST(SideThread, ResultExceptionAndCores)
{
    cpu_set_t processCores;
    ASSERT_EQ(sched_getaffinity(0, sizeof processCores, &processCores), 0);
    SideTask<std::pair<std::thread::id, bool>> task([&] {
        cpu_set_t cores;
        const bool allCores
            = sched_getaffinity(0, sizeof cores, &cores) == 0 && CPU_EQUAL(&cores, &processCores);
        return std::pair { std::this_thread::get_id(), allCores };
    });
    const auto [worker, allCores] = task.get();
    EXPECT_NE(worker, std::this_thread::get_id());
    EXPECT_TRUE(allCores);

    SideTask<int> failing([]() -> int { throw std::runtime_error("damaged"); });
    EXPECT_THROW(failing.get(), std::runtime_error);
}
