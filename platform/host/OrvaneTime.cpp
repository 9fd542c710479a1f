#include "OrvaneTime.h"

#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <thread>

namespace {

// SENSOR_TIME_SCALE as a non-negative decimal factor; 1 when unset or unreadable.
double timeScale() {
    const char* text = std::getenv("SENSOR_TIME_SCALE");
    if (text == nullptr || text[0] == '\0') {
        return 1.0;
    }
    char* end = nullptr;
    double scale = std::strtod(text, &end);
    while (end != nullptr && std::isspace(static_cast<unsigned char>(*end))) {
        ++end;
    }
    if (end == text || end == nullptr || *end != '\0' || !std::isfinite(scale) || scale < 0) {
        return 1.0;
    }
    return scale;
}

// Reads exactly `width` digits (or 1 to `width` when `exact` is false) at `p`.
bool readNumber(const char*& p, int width, bool exact, int& value) {
    value = 0;
    int digits = 0;
    while (digits < width && std::isdigit(static_cast<unsigned char>(*p))) {
        value = value * 10 + (*p - '0');
        ++p;
        ++digits;
    }
    return exact ? digits == width : digits > 0;
}

// "H:MM" or "HH:MM", optionally followed by ":SS".
bool parseFakeTime(const char* text, int& hour, int& minute, int& second) {
    const char* p = text;
    second = 0;
    if (!readNumber(p, 2, false, hour) || *p++ != ':' || !readNumber(p, 2, true, minute)) {
        return false;
    }
    if (*p == ':') {
        ++p;
        if (!readNumber(p, 2, true, second)) {
            return false;
        }
    }
    return *p == '\0' && hour < 24 && minute < 60 && second < 60;
}

}  // namespace

void OrvaneTime::wait(const OrvaneTime& duration) {
    double seconds =
        static_cast<double>(duration.m_nSec) + static_cast<double>(duration.m_nUsec) / 1e6;
    seconds *= timeScale();
    if (!(seconds > 0)) {
        return;
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

OVDeviceTime OVDeviceTime::getCurrentTime() {
    const char* fake = std::getenv("SENSOR_FAKE_TIME");
    int hour = 0;
    int minute = 0;
    int second = 0;
    if (fake != nullptr && parseFakeTime(fake, hour, minute, second)) {
        return OVDeviceTime(hour, minute, second);
    }
    std::time_t now = std::time(nullptr);
    std::tm local;
    if (::localtime_r(&now, &local) == nullptr) {
        return OVDeviceTime(0, 0, 0);
    }
    return OVDeviceTime(local.tm_hour, local.tm_min, local.tm_sec);
}
