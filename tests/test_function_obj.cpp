// The reference-counted function objects that carry a thread body, and the null-pointer
// fault of their pointer.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "OVFunction.h"
#include "Sandbox.h"

namespace {

int answer() {
    return 42;
}

// A body that counts its calls and its destruction.
class CountingBody : public function_obj_base<int> {
public:
    CountingBody(std::atomic<int>& calls, std::atomic<int>& deletions)
        : m_calls(calls), m_deletions(deletions) {}
    ~CountingBody() override { ++m_deletions; }
    int operator()() override { return ++m_calls; }

private:
    std::atomic<int>& m_calls;
    std::atomic<int>& m_deletions;
};

struct Worker {
    virtual ~Worker() {}
    virtual int run() { return -1; }
};

struct DerivedWorker : Worker {
    int run() override { return ++runs * 10; }
    int runs = 0;
};

class FunctionObjTest : public ::testing::Test {
protected:
    void SetUp() override { m_liveBefore = RefCountManager::getInstance().liveCounters(); }
    int extraCounters() { return RefCountManager::getInstance().liveCounters() - m_liveBefore; }

    std::atomic<int> calls{0};
    std::atomic<int> deletions{0};

private:
    int m_liveBefore = 0;
};

TEST_F(FunctionObjTest, CopiesShareOneObjectDeletedOnceByTheLastCopy) {
    function<int> plain(&answer);
    EXPECT_EQ(function<int>(plain)(), 42);

    auto* first = new function<int>(new CountingBody(calls, deletions));
    auto* second = new function<int>(*first);
    EXPECT_EQ((*first)(), 1);
    EXPECT_EQ((*second)(), 2);
    delete first;
    EXPECT_EQ(deletions, 0);
    EXPECT_EQ((*second)(), 3);
    delete second;
    EXPECT_EQ(deletions, 1);
    EXPECT_EQ(extraCounters(), 1);  // the free function's body is still held
}

TEST_F(FunctionObjTest, BoundMemberCallsTheObjectsOverride) {
    DerivedWorker worker;
    function<int> body(new function_obj<int, bind_funcobj0<int, Worker>>(&Worker::run, &worker));
    EXPECT_EQ(body(), 10);
    EXPECT_EQ(function<int>(body)(), 20);
}

TEST_F(FunctionObjTest, NullObjectPrintsTheReportAndThrowsItsText) {
    const std::string report =
        "SafePointer Report:17function_obj_baseIiE Construct from NULL original pointer";
    StdoutCapture capture;
    std::string what;
    try {
        function<int> body(static_cast<function_obj_base<int>*>(nullptr));
    } catch (const OVRuntimeError& e) {
        what = e.what();
    }
    EXPECT_EQ(capture.stop(), report + "\n");
    EXPECT_EQ(what, report);
    EXPECT_EQ(extraCounters(), 0);
}

TEST_F(FunctionObjTest, CopiesMadeAndDroppedOnSeveralThreadsDeleteOnce) {
    auto* original = new function<int>(new CountingBody(calls, deletions));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([original] {
            for (int i = 0; i < 200; ++i) {
                function<int> copy(*original);
                copy();
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    EXPECT_EQ(calls, 800);
    EXPECT_EQ(deletions, 0);
    delete original;
    EXPECT_EQ(deletions, 1);
    EXPECT_EQ(extraCounters(), 0);
}

}  // namespace
