// The host's video stream module and the records it exchanges with the sensor library.
#ifndef VIDEO_STREAM_MODULE_H
#define VIDEO_STREAM_MODULE_H

#include <vector>

class AVStreamParam {
public:
    AVStreamParam() : m_nFrameRate(0), m_nVideoEncoderType(0), m_nVideoHeight(0) {}
    int getFrameRate() const { return m_nFrameRate; }
    void setFrameRate(int v) { m_nFrameRate = v; }
    int getVideoEncoderType() const { return m_nVideoEncoderType; }
    void setVideoEncoderType(int v) { m_nVideoEncoderType = v; }
    int getVideoHeight() const { return m_nVideoHeight; }
    void setVideoHeight(int v) { m_nVideoHeight = v; }

private:
    int m_nFrameRate;
    int m_nVideoEncoderType;
    int m_nVideoHeight;
};

class LimitedFramesWDRModeParam {
public:
    LimitedFramesWDRModeParam() : m_nLimitFramesModeId(0), m_nLimitWdr(0) {}
    int getLimitFramesModeId() const { return m_nLimitFramesModeId; }
    void setLimitFramesModeId(int v) { m_nLimitFramesModeId = v; }
    int getLimitWdr() const { return m_nLimitWdr; }
    void setLimitWdr(int v) { m_nLimitWdr = v; }

private:
    int m_nLimitFramesModeId;
    int m_nLimitWdr;
};

class VideoStreamModule {
public:
    virtual int getStreamParams(std::vector<AVStreamParam>& out) const = 0;
    // 0 on success.
    virtual int notifySensorParam(int channel, int key, int value) const = 0;
    virtual int getLimitedFramesWDRModeParam(int channel, LimitedFramesWDRModeParam& out) const = 0;
    // 0 when the image processor is running.
    virtual int get2ARunRet() const = 0;
    virtual ~VideoStreamModule() {}
};

#endif
