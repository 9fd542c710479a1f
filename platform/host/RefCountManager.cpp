#include "RefCountManager.h"

#include <unordered_map>

#include "HostInspect.h"

namespace {

// Live counters by object address; guarded by registryMutex(). Like the manager, neither is
// ever destroyed, so function objects released during process exit still find them.
std::unordered_map<void*, ref_count*>& registry() {
    static auto* counters = new std::unordered_map<void*, ref_count*>;
    return *counters;
}

std::mutex& registryMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

}  // namespace

ref_count::ref_count(void* p) : m_pObject(p), m_nCount(1) {}

int ref_count::lock() {
    m_mutex.lock();
    return 0;
}

int ref_count::unLock() {
    m_mutex.unlock();
    return 0;
}

int ref_count::inc_reference() {
    if (m_nCount <= 0) {
        return 0;
    }
    return ++m_nCount;
}

int ref_count::dec_reference() {
    if (m_nCount > 0) {
        --m_nCount;
    }
    return m_nCount;
}

RefCountManager& RefCountManager::getInstance() {
    static RefCountManager* instance = new RefCountManager;
    return *instance;
}

ref_count* RefCountManager::retrieveRefCount(void* p, const char*) {
    if (p == nullptr) {
        return nullptr;
    }
    std::lock_guard<std::mutex> guard(registryMutex());
    auto found = registry().find(p);
    if (found != registry().end()) {
        ref_count* counter = found->second;
        counter->lock();
        bool alive = counter->inc_reference() != 0;
        counter->unLock();
        if (alive) {
            return counter;
        }
        // The object that had this address is gone and its counter is on its way back; a
        // new object now lives there and gets a counter of its own.
    }
    ref_count* counter = new ref_count(p);
    registry()[p] = counter;
    return counter;
}

void RefCountManager::returnbackRefCount(ref_count* counter, const char*) {
    if (counter == nullptr) {
        return;
    }
    {
        std::lock_guard<std::mutex> guard(registryMutex());
        auto found = registry().find(counter->getPointer());
        if (found != registry().end() && found->second == counter) {
            registry().erase(found);
        }
    }
    delete counter;
}

int hostfw::liveRefCounters() {
    std::lock_guard<std::mutex> guard(registryMutex());
    return static_cast<int>(registry().size());
}
