// Zoom/focus parameters kept by the sensor library for the host's PTZ code.
#ifndef SENSOR_ZOOM_FOCUS_PARAM_H
#define SENSOR_ZOOM_FOCUS_PARAM_H

class SensorZoomFocusParam {
public:
    SensorZoomFocusParam() : m_bLockZoomFocusEnable(false) {}
    bool getLockZoomFocusEnable() const { return m_bLockZoomFocusEnable; }
    void setLockZoomFocusEnable(bool enable) { m_bLockZoomFocusEnable = enable; }

private:
    bool m_bLockZoomFocusEnable;
};

#endif
