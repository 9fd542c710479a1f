// Host thread: calls its body again and again on its own thread until stopped.
#ifndef G_THREAD_H
#define G_THREAD_H

#include <atomic>
#include <string>
#include <thread>

#include "OVFunction.h"

class GThread {
public:
    // body: called once per pass; onStart/onStop: called on the thread before the first and
    // after the last pass.
    GThread(const function<int>& body, const char* name, const function<int>& onStart,
            const function<int>& onStop);
    ~GThread();
    GThread(const GThread&) = delete;
    GThread& operator=(const GThread&) = delete;

    // false when already running.
    bool start();
    // Asks the loop to end and returns once the running pass has ended; false when not running.
    // Must not be called from the thread itself.
    bool stop();
    static int emptyFun();

private:
    void run();
    function<int> m_body;
    function<int> m_onStart;
    function<int> m_onStop;
    std::string m_strName;
    std::atomic<bool> m_bRunning;
    std::atomic<bool> m_bStop;
    std::thread m_thread;
};

#endif
