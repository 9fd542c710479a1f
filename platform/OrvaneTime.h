// Durations and the device clock. SENSOR_TIME_SCALE (a decimal factor, e.g. 0.01) scales
// every wait; SENSOR_FAKE_TIME ("HH:MM") fixes the clock. Both are read at each call.
#ifndef ORVANE_TIME_H
#define ORVANE_TIME_H

class OrvaneTime {
public:
    OrvaneTime(long seconds, long microseconds) : m_nSec(seconds), m_nUsec(microseconds) {}
    long getSeconds() const { return m_nSec; }
    long getMicroseconds() const { return m_nUsec; }
    // Sleeps for the duration times SENSOR_TIME_SCALE (1 when unset or unreadable).
    static void wait(const OrvaneTime& duration);

private:
    long m_nSec;
    long m_nUsec;
};

class OVDeviceTime {
public:
    OVDeviceTime(int hour, int minute, int second)
        : m_nHour(hour), m_nMinute(minute), m_nSecond(second) {}
    // Local time, or SENSOR_FAKE_TIME when it is set and well formed.
    static OVDeviceTime getCurrentTime();
    int getHour() const { return m_nHour; }
    int getMinute() const { return m_nMinute; }
    int getSecond() const { return m_nSecond; }

private:
    int m_nHour;
    int m_nMinute;
    int m_nSecond;
};

#endif
