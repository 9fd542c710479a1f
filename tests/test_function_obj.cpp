// Reference-counted function objects (thread bodies) and their null-pointer fault.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "HostInspect.h"
#include "OVFunction.h"
#include "Sandbox.h"

namespace {

std::atomic<int> g_calls{0};
std::atomic<int> g_deletions{0};

// A body that counts its calls and its destruction.
struct CountingBody : function_obj_base<int> {
    ~CountingBody() override { ++g_deletions; }
    int operator()() override { return ++g_calls; }
};

TEST(FunctionObjTest, CopiesOnSeveralThreadsShareOneBodyDeletedOnceByTheLastCopy) {
    const int live = hostfw::liveRefCounters();
    auto* first = new function<int>(new CountingBody());
    auto* second = new function<int>(*first);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([second] {
            for (int i = 0; i < 200; ++i) {
                function<int> copy(*second);
                copy();
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    delete first;
    EXPECT_EQ(g_deletions, 0);
    EXPECT_EQ((*second)(), 801);
    delete second;
    EXPECT_EQ(g_deletions, 1);
    EXPECT_EQ(hostfw::liveRefCounters(), live);
}

TEST(FunctionObjTest, NullObjectPrintsTheReportAndThrowsItsText) {
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
}

}  // namespace
