// The reference-counted function objects that carry a thread body, and the null-pointer
// fault of their pointer.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "OVFunction.h"
#include "OVRuntimeError.h"
#include "RefCountManager.h"
#include "Sandbox.h"

namespace {

const char kNullReport[] =
    "SafePointer Report:17function_obj_baseIiE Construct from NULL original pointer";

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

class Worker {
public:
    virtual ~Worker() {}
    virtual int run() { return 1; }
};

class SpecialWorker : public Worker {
public:
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

TEST_F(FunctionObjTest, FreeFunctionBodyReturnsItsResultThroughEveryCopy) {
    function<int> body(&answer);
    function<int> copy(body);
    EXPECT_EQ(body(), 42);
    EXPECT_EQ(copy(), 42);
}

TEST_F(FunctionObjTest, CopiesShareOneObjectDeletedOnceByTheLastCopy) {
    auto* first = new function<int>(new CountingBody(calls, deletions));
    auto* second = new function<int>(*first);
    {
        function<int> third(*second);
        EXPECT_EQ((*first)(), 1);
        EXPECT_EQ(third(), 2);
        EXPECT_EQ(extraCounters(), 1);
    }
    delete first;
    EXPECT_EQ(deletions, 0);
    EXPECT_EQ((*second)(), 3);
    delete second;
    EXPECT_EQ(deletions, 1);
    EXPECT_EQ(extraCounters(), 0);
}

TEST_F(FunctionObjTest, BoundMemberCallsTheObjectsOverride) {
    SpecialWorker worker;
    function<int> body(new function_obj<int, bind_funcobj0<int, Worker>>(&Worker::run, &worker));
    function<int> copy(body);
    EXPECT_EQ(body(), 10);
    EXPECT_EQ(copy(), 20);
    EXPECT_EQ(worker.runs, 2);
}

TEST_F(FunctionObjTest, NullObjectPrintsTheReportAndThrowsItsText) {
    StdoutCapture capture;
    std::string what;
    try {
        SafePointer<function_obj_base<int>> pointer(nullptr);
        ADD_FAILURE() << "no exception";
    } catch (const OVRuntimeError& e) {
        what = e.what();
    }
    EXPECT_EQ(capture.stop(), std::string(kNullReport) + "\n");
    EXPECT_EQ(what, kNullReport);
    EXPECT_EQ(extraCounters(), 0);
}

TEST_F(FunctionObjTest, FunctionOfANullObjectThrows) {
    StdoutCapture capture;
    EXPECT_THROW(function<int>(static_cast<function_obj_base<int>*>(nullptr)), OVRuntimeError);
    capture.stop();
}

TEST_F(FunctionObjTest, RuntimeErrorKeepsItsText) {
    EXPECT_STREQ(OVRuntimeError(std::string("Already destructed 1")).what(),
                 "Already destructed 1");
    const char* none = nullptr;
    EXPECT_STREQ(OVRuntimeError(none).what(), "");
    const char* text = "not valid pointer in inc_reference ";
    EXPECT_STREQ(OVRuntimeError(text).what(), "not valid pointer in inc_reference ");
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
