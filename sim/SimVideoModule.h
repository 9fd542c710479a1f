// Simulated host video module: configurable streams and limited-frames WDR, readiness after
// a number of polls, and a log of the notifications it received. Thread-safe.
#ifndef SIM_VIDEO_MODULE_H
#define SIM_VIDEO_MODULE_H

#include <mutex>
#include <vector>

#include "VideoStreamModule.h"

class SimVideoModule : public VideoStreamModule {
public:
    struct Notification {
        int channel;
        int key;
        int value;
    };

    SimVideoModule();
    ~SimVideoModule() override;

    int getStreamParams(std::vector<AVStreamParam>& out) const override;
    int notifySensorParam(int channel, int key, int value) const override;
    int getLimitedFramesWDRModeParam(int channel, LimitedFramesWDRModeParam& out) const override;
    // Returns non-zero for the first `readyAfter` polls, then 0.
    int get2ARunRet() const override;

    void setStreams(const std::vector<AVStreamParam>& streams);
    void setLimitedFramesWDR(const LimitedFramesWDRModeParam& param);
    // Number of polls answered "not ready" before readiness (0: ready at once).
    void setReadyAfter(int polls);
    int pollCount() const;
    // Result returned by notifySensorParam (0 by default).
    void setNotifyResult(int result);

    std::vector<Notification> notifications() const;
    void clearNotifications();

private:
    mutable std::mutex m_mutex;
    std::vector<AVStreamParam> m_streams;
    LimitedFramesWDRModeParam m_limitedFrames;
    int m_nReadyAfter;
    mutable int m_nPolls;
    int m_nNotifyResult;
    mutable std::vector<Notification> m_notifications;
};

#endif
