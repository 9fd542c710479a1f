// Process-wide registry of reference counters, one per object address.
#ifndef REF_COUNT_MANAGER_H
#define REF_COUNT_MANAGER_H

#include <mutex>

class ref_count {
public:
    explicit ref_count(void* p);
    int lock();    // 0 on success
    int unLock();  // 0 on success
    // Both are called with the counter locked. inc returns non-zero on success (0 once the
    // object is gone); dec returns the remaining count.
    int inc_reference();
    int dec_reference();
    void* getPointer() const { return m_pObject; }

private:
    friend class RefCountManager;
    void* m_pObject;
    int m_nCount;
    std::mutex m_mutex;
};

class RefCountManager {
public:
    static RefCountManager& getInstance();
    // The counter of p: a new one at count 1, or the existing one with its count raised.
    ref_count* retrieveRefCount(void* p, const char* typeName);
    // Hands a counter back after its last reference is gone.
    void returnbackRefCount(ref_count* counter, const char* typeName);

private:
    RefCountManager() = default;
};

#endif
