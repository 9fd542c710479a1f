// Scope guard of an OVMutex: locks on construction, unlocks on destruction.
#ifndef OV_MUTEX_MANAGER_H
#define OV_MUTEX_MANAGER_H

#include "OVMutex.h"

class TARNIS_SCOPED_CAPABILITY OVMutexManager {
public:
    OVMutexManager(OVMutex* mutex, const char* file, int line) TARNIS_ACQUIRE(mutex)
        : m_pMutex(mutex) {
        m_pMutex->Lock(file, line);
    }
    // A destructor lets no exception out.
    ~OVMutexManager() noexcept TARNIS_RELEASE() {
        try {
            m_pMutex->Unlock("product/technic/OVMutex", 74);
        } catch (...) {
        }
    }
    OVMutexManager(const OVMutexManager&) = delete;
    OVMutexManager& operator=(const OVMutexManager&) = delete;

private:
    OVMutex* m_pMutex;
};

#define OV_LOCK_CAT2(a, b) a##b
#define OV_LOCK_CAT(a, b) OV_LOCK_CAT2(a, b)
// Holds `mutex` until the end of the enclosing scope.
#define OV_LOCK_SCOPE(mutex) \
    OVMutexManager OV_LOCK_CAT(ovScopeLock_, __LINE__)(&(mutex), __FILE__, __LINE__)

#endif
