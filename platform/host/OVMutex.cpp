#include "OVMutex.h"

// The source location is part of the interface so that a host can record who holds a lock;
// this implementation does not keep it. The pthread calls are the lock itself, which the
// thread-safety analysis cannot follow into.

OVMutex::OVMutex() {
    pthread_mutex_init(&m_mutex, nullptr);
}

OVMutex::~OVMutex() {
    pthread_mutex_destroy(&m_mutex);
}

void OVMutex::Lock(const char*, int) TARNIS_NO_THREAD_SAFETY_ANALYSIS {
    pthread_mutex_lock(&m_mutex);
}

void OVMutex::Unlock(const char*, int) TARNIS_NO_THREAD_SAFETY_ANALYSIS {
    pthread_mutex_unlock(&m_mutex);
}
