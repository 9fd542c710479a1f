// The host's video stream module and the records it exchanges with the sensor library.
#ifndef VIDEO_STREAM_MODULE_H
#define VIDEO_STREAM_MODULE_H

#include <vector>

// Parameters of one video stream, as the video module reports them.
class AVStreamParam {
public:
    AVStreamParam() : m_nFrameRate(0), m_nVideoEncoderType(0), m_nVideoHeight(0) {}
    int getFrameRate() const { return m_nFrameRate; }                // frames per second
    void setFrameRate(int v) { m_nFrameRate = v; }                   // sets the frame rate
    int getVideoEncoderType() const { return m_nVideoEncoderType; }  // the host's encoder type
    void setVideoEncoderType(int v) { m_nVideoEncoderType = v; }     // sets the encoder type
    int getVideoHeight() const { return m_nVideoHeight; }            // picture height in lines
    void setVideoHeight(int v) { m_nVideoHeight = v; }               // sets the picture height

private:
    int m_nFrameRate;
    int m_nVideoEncoderType;
    int m_nVideoHeight;
};

// The limited-frames WDR mode of a channel, as the video module reports it.
class LimitedFramesWDRModeParam {
public:
    LimitedFramesWDRModeParam() : m_nLimitFramesModeId(0), m_nLimitWdr(0) {}
    int getLimitFramesModeId() const { return m_nLimitFramesModeId; }  // limited-frames mode id
    void setLimitFramesModeId(int v) { m_nLimitFramesModeId = v; }     // sets the mode id
    int getLimitWdr() const { return m_nLimitWdr; }  // non-zero: WDR is limited in this mode
    void setLimitWdr(int v) { m_nLimitWdr = v; }     // sets the WDR limit

private:
    int m_nLimitFramesModeId;
    int m_nLimitWdr;
};

// The host's video stream module, which the library asks about streams and readiness and
// tells the parameters the video pipeline must follow. The host owns it.
class VideoStreamModule {
public:
    // Fills out with the channel's streams.
    virtual int getStreamParams(std::vector<AVStreamParam>& out) const = 0;
    // 0 on success.
    virtual int notifySensorParam(int channel, int key, int value) const = 0;
    // Fills out with the channel's limited-frames WDR mode.
    virtual int getLimitedFramesWDRModeParam(int channel, LimitedFramesWDRModeParam& out) const = 0;
    // 0 when the image processor is running.
    virtual int get2ARunRet() const = 0;
    // Destroys the module.
    virtual ~VideoStreamModule() {}
};

#endif
