#include "GThread.h"

#include <pthread.h>

#include <cstdio>
#include <exception>
#include <mutex>
#include <system_error>

namespace {

// Serialises start() and stop() of every thread object. It is never held while joining, so
// a slow pass of one body does not hold up another thread's start or stop.
std::mutex& controlMutex() {
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}

// Linux limits thread names to 15 characters.
void nameCurrentThread(const std::string& name) {
    std::string shortName = name.substr(0, 15);
    pthread_setname_np(pthread_self(), shortName.c_str());
}

}  // namespace

GThread::GThread(const function<int>& body, const char* name, const function<int>& onStart,
                 const function<int>& onStop)
    : m_body(body),
      m_onStart(onStart),
      m_onStop(onStop),
      m_strName(name ? name : ""),
      m_bRunning(false),
      m_bStop(false) {}

GThread::~GThread() {
    stop();
    if (m_thread.joinable()) {
        // Only reached when the object is destroyed by its own body.
        m_thread.detach();
    }
}

int GThread::emptyFun() {
    return 0;
}

bool GThread::start() {
    std::lock_guard<std::mutex> guard(controlMutex());
    if (m_bRunning) {
        return false;
    }
    m_bStop = false;
    m_bRunning = true;
    try {
        m_thread = std::thread(&GThread::run, this);
    } catch (const std::system_error&) {
        m_bRunning = false;
        return false;
    }
    return true;
}

bool GThread::stop() {
    std::thread finishing;
    {
        std::lock_guard<std::mutex> guard(controlMutex());
        if (!m_bRunning || !m_thread.joinable()) {
            // Not running, or another caller is already stopping it.
            return false;
        }
        m_bStop = true;
        if (m_thread.get_id() == std::this_thread::get_id()) {
            // The body asked for its own end: the loop ends after this pass.
            return false;
        }
        finishing = std::move(m_thread);
    }
    finishing.join();
    m_bRunning = false;
    return true;
}

void GThread::run() {
    nameCurrentThread(m_strName);
    try {
        m_onStart();
        while (!m_bStop) {
            m_body();
        }
        m_onStop();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "GThread %s: body ended by exception: %s\n", m_strName.c_str(),
                     e.what());
    }
}
