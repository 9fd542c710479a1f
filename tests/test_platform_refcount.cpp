#include <atomic>
#include <thread>
#include <vector>

#include "OVFunction.h"
#include "RefCountManager.h"
#include "Sandbox.h"

namespace {
std::atomic<int> g_deleted{0};

struct Tracked : function_obj_base<int> {
    ~Tracked() override { ++g_deleted; }
    int operator()() override { return 7; }
};

TEST(PlatformRefCount, OneCounterPerAddress) {
    RefCountManager& manager = RefCountManager::getInstance();
    int base = manager.liveCounters();
    int a = 0, b = 0;
    ref_count* first = manager.retrieveRefCount(&a, "t");
    EXPECT_EQ(first, manager.retrieveRefCount(&a, "t"));
    EXPECT_EQ(2, first->count());
    ref_count* other = manager.retrieveRefCount(&b, "t");
    EXPECT_NE(first, other);
    EXPECT_EQ(base + 2, manager.liveCounters());

    ASSERT_EQ(0, first->lock());
    EXPECT_EQ(1, first->dec_reference());
    EXPECT_EQ(0, first->dec_reference());
    EXPECT_EQ(0, first->inc_reference());  // gone: cannot be revived
    EXPECT_EQ(0, first->unLock());
    // The address is reused before the dead counter is handed back: a fresh counter.
    ref_count* reused = manager.retrieveRefCount(&a, "t");
    EXPECT_NE(first, reused);
    manager.returnbackRefCount(first, "t");
    EXPECT_EQ(base + 2, manager.liveCounters());
    manager.returnbackRefCount(reused, "t");
    manager.returnbackRefCount(other, "t");
    EXPECT_EQ(base, manager.liveCounters());
}

TEST(PlatformRefCount, FunctionCopiesAcrossThreadsDeleteObjectOnce) {
    int base = RefCountManager::getInstance().liveCounters();
    g_deleted = 0;
    {
        function<int> original(new Tracked);
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&original] {
                for (int i = 0; i < 1000; ++i) {
                    function<int> copy(original);
                    ASSERT_EQ(7, copy());
                }
            });
        }
        for (std::thread& t : threads) {
            t.join();
        }
        EXPECT_EQ(base + 1, RefCountManager::getInstance().liveCounters());
        EXPECT_EQ(0, g_deleted.load());
    }
    EXPECT_EQ(1, g_deleted.load());
    EXPECT_EQ(base, RefCountManager::getInstance().liveCounters());
}
}  // namespace
