// Non-recursive mutex; Lock/Unlock carry the caller's source location for diagnosis.
#ifndef OV_MUTEX_H
#define OV_MUTEX_H

#include <pthread.h>

#include "TarnisThreadSafety.h"

// A mutex of the host framework.
class TARNIS_CAPABILITY("mutex") OVMutex {
public:
    OVMutex();
    ~OVMutex();
    OVMutex(const OVMutex&) = delete;
    OVMutex& operator=(const OVMutex&) = delete;
    // Waits for and takes the mutex.
    void Lock(const char* file, int line) TARNIS_ACQUIRE();
    // Releases the mutex held by the caller.
    void Unlock(const char* file, int line) TARNIS_RELEASE();

private:
    pthread_mutex_t m_mutex;
};

#endif
