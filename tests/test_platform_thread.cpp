#include <atomic>
#include <chrono>
#include <thread>

#include "GThread.h"
#include "OrvaneTime.h"
#include "Sandbox.h"

namespace {
// Counts passes; each pass waits a couple of scaled milliseconds between entering and leaving.
struct Pass : function_obj_base<int> {
    std::atomic<int>& entered;
    std::atomic<int>& left;
    Pass(std::atomic<int>& e, std::atomic<int>& l) : entered(e), left(l) {}
    int operator()() override {
        ++entered;
        OrvaneTime::wait(OrvaneTime(2, 0));
        ++left;
        return 0;
    }
};

bool pollUntil(const std::atomic<int>& value, int atLeast) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (value < atLeast && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return value >= atLeast;
}

class PlatformThreadTest : public SandboxTest {
protected:
    std::atomic<int> entered{0}, left{0}, starts{0}, stops{0}, unused{0};
    function<int> pass(std::atomic<int>& a, std::atomic<int>& b) {
        return function<int>(new Pass(a, b));
    }
};

TEST_F(PlatformThreadTest, RunsBodyUntilStoppedWithHooksOnce) {
    GThread thread(pass(entered, left), "SensorThread", pass(starts, unused), pass(stops, unused));
    EXPECT_FALSE(thread.stop());
    ASSERT_TRUE(thread.start());
    EXPECT_FALSE(thread.start());
    ASSERT_TRUE(pollUntil(left, 3));
    EXPECT_TRUE(thread.stop());
    EXPECT_TRUE(thread.isStopRequested());
    EXPECT_EQ(entered.load(), left.load());  // the running pass ended before stop returned
    EXPECT_EQ(1, starts.load());
    EXPECT_EQ(1, stops.load());
    EXPECT_FALSE(thread.stop());
    ASSERT_TRUE(thread.start());  // restartable, with the stop request cleared
    EXPECT_FALSE(thread.isStopRequested());
    ASSERT_TRUE(pollUntil(starts, 2));
}  // the destructor stops the running thread

}  // namespace
