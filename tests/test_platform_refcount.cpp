#include "RefCountManager.h"
#include "Sandbox.h"

namespace {
TEST(PlatformRefCount, OneCounterPerLiveAddress) {
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
}  // namespace
