#include <chrono>
#include <cstdlib>
#include <ctime>

#include "OrvaneTime.h"
#include "Sandbox.h"

namespace {
class PlatformTimeTest : public SandboxTest {};

TEST_F(PlatformTimeTest, FakeTimeWhenWellFormed) {
    const struct {
        const char* text;
        int hour, minute, second;
    } cases[] = {{"12:00", 12, 0, 0}, {"7:05", 7, 5, 0}, {"23:59:30", 23, 59, 30}};
    for (const auto& c : cases) {
        ::setenv("SENSOR_FAKE_TIME", c.text, 1);
        OVDeviceTime now = OVDeviceTime::getCurrentTime();
        EXPECT_EQ(c.hour * 3600 + c.minute * 60 + c.second,
                  now.getHour() * 3600 + now.getMinute() * 60 + now.getSecond())
            << c.text;
    }
}

TEST_F(PlatformTimeTest, MalformedFakeTimeFallsBackToLocalTime) {
    for (const char* text : {"24:00", "12:60", "1200", "ab:cd", "12:5", "12:00x", ""}) {
        ::setenv("SENSOR_FAKE_TIME", text, 1);
        std::time_t before = std::time(nullptr);
        OVDeviceTime now = OVDeviceTime::getCurrentTime();
        std::time_t after = std::time(nullptr);
        std::tm a, b;
        ::localtime_r(&before, &a);
        ::localtime_r(&after, &b);
        int got = now.getHour() * 60 + now.getMinute();
        EXPECT_TRUE(got == a.tm_hour * 60 + a.tm_min || got == b.tm_hour * 60 + b.tm_min) << text;
    }
}

TEST_F(PlatformTimeTest, WaitIsScaled) {
    // Lower bounds only: a wait never ends early; "0" turns an hour into nothing.
    const struct {
        const char* scale;
        OrvaneTime duration;
        double atLeastMs;
    } cases[] = {{"0", OrvaneTime(3600, 0), 0},
                 {"0.001", OrvaneTime(3, 0), 3},
                 {"0.5", OrvaneTime(0, 8000), 4},
                 {"junk", OrvaneTime(0, 3000), 3},
                 {"-2", OrvaneTime(0, 3000), 3}};
    for (const auto& c : cases) {
        ::setenv("SENSOR_TIME_SCALE", c.scale, 1);
        auto start = std::chrono::steady_clock::now();
        OrvaneTime::wait(c.duration);
        std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        EXPECT_GE(took.count(), c.atLeastMs) << c.scale;
    }
}
}  // namespace
