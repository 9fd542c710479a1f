// Zoom/focus parameters kept by the sensor library for the host's PTZ code.
#ifndef SENSOR_ZOOM_FOCUS_PARAM_H
#define SENSOR_ZOOM_FOCUS_PARAM_H

// The zoom/focus parameters of a channel.
class SensorZoomFocusParam {
public:
    SensorZoomFocusParam() : m_bLockZoomFocusEnable(false) {}
    bool getLockZoomFocusEnable() const { return m_bLockZoomFocusEnable; }         // lens lock on
    void setLockZoomFocusEnable(bool enable) { m_bLockZoomFocusEnable = enable; }  // sets it

private:
    bool m_bLockZoomFocusEnable;
};

#endif
