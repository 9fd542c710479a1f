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

private:
    pthread_mutex_t m_mutex;
};

#endif
