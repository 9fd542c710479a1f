// Non-recursive mutex; Lock/Unlock carry the caller's source location for diagnosis.
#ifndef OV_MUTEX_H
#define OV_MUTEX_H

#include <pthread.h>

class OVMutex {
public:
    OVMutex();
    ~OVMutex();
    OVMutex(const OVMutex&) = delete;
    OVMutex& operator=(const OVMutex&) = delete;
    void Lock(const char* file, int line);
    void Unlock(const char* file, int line);

private:
    pthread_mutex_t m_mutex;
};

#endif
