// Non-recursive mutex; Lock/Unlock carry the caller's source location for diagnosis.
#ifndef OV_MUTEX_H
#define OV_MUTEX_H

#include <pthread.h>

#include "TarnisThreadSafety.h"

class TARNIS_CAPABILITY("mutex") OVMutex {
public:
    OVMutex();
    ~OVMutex();
    OVMutex(const OVMutex&) = delete;
    OVMutex& operator=(const OVMutex&) = delete;
    void Lock(const char* file, int line) TARNIS_ACQUIRE();
    void Unlock(const char* file, int line) TARNIS_RELEASE();
    // true when the mutex was free and is now held by the caller.
    bool TryLock(const char* file, int line) TARNIS_TRY_ACQUIRE(true);

private:
    pthread_mutex_t m_mutex;
};

#endif
