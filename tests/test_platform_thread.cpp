#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "GThread.h"
#include "OVMutex.h"
#include "OrvaneTime.h"
#include "Sandbox.h"

namespace {

// Counts calls; a pass waits a few scaled milliseconds between entering and leaving.
struct Counter : function_obj_base<int> {
    std::atomic<int>& entered;
    std::atomic<int>& left;
    Counter(std::atomic<int>& e, std::atomic<int>& l) : entered(e), left(l) {}
    int operator()() override {
        ++entered;
        OrvaneTime::wait(OrvaneTime(2, 0));
        ++left;
        return 0;
    }
};

template <typename Pred>
bool pollUntil(Pred done) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

class PlatformThreadTest : public SandboxTest {
  protected:
    std::atomic<int> entered{0}, left{0}, starts{0}, stops{0}, ignored{0};
    function<int> make(std::atomic<int>& a, std::atomic<int>& b) {
        return function<int>(new Counter(a, b));
    }
};

TEST_F(PlatformThreadTest, RunsBodyUntilStoppedThenHooksOnce) {
    GThread thread(make(entered, left), "SensorThread", make(starts, ignored),
                   make(stops, ignored));
    EXPECT_FALSE(thread.stop());
    ASSERT_TRUE(thread.start());
    EXPECT_FALSE(thread.start());
    ASSERT_TRUE(pollUntil([&] { return left >= 3; }));
    EXPECT_TRUE(thread.stop());
    EXPECT_TRUE(thread.isStopRequested());
    EXPECT_FALSE(thread.isRunning());
    EXPECT_EQ(entered.load(), left.load());  // the running pass ended before stop returned
    EXPECT_EQ(1, starts.load());
    EXPECT_EQ(1, stops.load());
    EXPECT_FALSE(thread.stop());

    ASSERT_TRUE(thread.start());  // restartable; the stop request is cleared
    EXPECT_FALSE(thread.isStopRequested());
    ASSERT_TRUE(pollUntil([&] { return starts == 2; }));
}  // the destructor stops the running thread

TEST_F(PlatformThreadTest, EmptyHooksAndConcurrentStopCallers) {
    GThread thread(make(entered, left), "a-name-longer-than-fifteen",
                   function<int>(GThread::emptyFun), function<int>(GThread::emptyFun));
    ASSERT_TRUE(thread.start());
    std::atomic<int> stopped{0};
    std::vector<std::thread> callers;
    for (int i = 0; i < 3; ++i) {
        callers.emplace_back([&] { stopped += thread.stop() ? 1 : 0; });
    }
    for (std::thread& c : callers) {
        c.join();
    }
    EXPECT_EQ(1, stopped.load());
    EXPECT_FALSE(thread.isRunning());
}

TEST_F(PlatformThreadTest, MutexExcludesAndTryLockReportsOwnership) {
    OVMutex mutex;
    long shared = 0;
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                mutex.Lock(__FILE__, __LINE__);
                ++shared;
                mutex.Unlock(__FILE__, __LINE__);
            }
        });
    }
    for (std::thread& w : workers) {
        w.join();
    }
    EXPECT_EQ(40000, shared);
    mutex.Lock(__FILE__, __LINE__);
    bool other = true;
    std::thread([&] { other = mutex.TryLock(__FILE__, __LINE__); }).join();
    EXPECT_FALSE(other);
    mutex.Unlock(__FILE__, __LINE__);
    ASSERT_TRUE(mutex.TryLock(__FILE__, __LINE__));
    mutex.Unlock(__FILE__, __LINE__);
}
}  // namespace
