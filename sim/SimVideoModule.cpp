// Simulated host video module.
#include "SimVideoModule.h"

#include <limits.h>

SimVideoModule::SimVideoModule() : m_nReadyAfter(0), m_nPolls(0), m_nNotifyResult(0) {}

SimVideoModule::~SimVideoModule() {}

int SimVideoModule::getStreamParams(std::vector<AVStreamParam>& out) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    out = m_streams;
    return 0;
}

int SimVideoModule::notifySensorParam(int channel, int key, int value) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_notifications.push_back(Notification{channel, key, value});
    return m_nNotifyResult;
}

int SimVideoModule::getLimitedFramesWDRModeParam(int /*channel*/,
                                                 LimitedFramesWDRModeParam& out) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    out = m_limitedFrames;
    return 0;
}

int SimVideoModule::get2ARunRet() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    bool ready = m_nPolls >= m_nReadyAfter;
    if (m_nPolls < INT_MAX) {
        ++m_nPolls;
    }
    return ready ? 0 : 1;
}

void SimVideoModule::setStreams(const std::vector<AVStreamParam>& streams) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_streams = streams;
}

void SimVideoModule::setLimitedFramesWDR(const LimitedFramesWDRModeParam& param) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_limitedFrames = param;
}

// Restarts the count, so the next `polls` polls answer "not ready".
void SimVideoModule::setReadyAfter(int polls) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nReadyAfter = polls;
    m_nPolls = 0;
}

int SimVideoModule::pollCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nPolls;
}

void SimVideoModule::setNotifyResult(int result) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nNotifyResult = result;
}

std::vector<SimVideoModule::Notification> SimVideoModule::notifications() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_notifications;
}

void SimVideoModule::clearNotifications() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_notifications.clear();
}
