#include <chrono>
#include <cstdlib>

#include "OrvaneTime.h"
#include "Sandbox.h"

namespace {
class PlatformTimeTest : public SandboxTest {};

TEST_F(PlatformTimeTest, FakeTimeWhenWellFormed) {
    const struct {
        const char* text;
        int hour, minute;
    } cases[] = {{"12:00", 12, 0}, {"7:05", 7, 5}, {"23:59:30", 23, 59}};
    for (const auto& c : cases) {
        ::setenv("SENSOR_FAKE_TIME", c.text, 1);
        OVDeviceTime got = OVDeviceTime::getCurrentTime();
        EXPECT_EQ(c.hour * 60 + c.minute, got.getHour() * 60 + got.getMinute()) << c.text;
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
                 {"junk", OrvaneTime(0, 3000), 3}};
    for (const auto& c : cases) {
        ::setenv("SENSOR_TIME_SCALE", c.scale, 1);
        auto start = std::chrono::steady_clock::now();
        OrvaneTime::wait(c.duration);
        std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        EXPECT_GE(took.count(), c.atLeastMs) << c.scale;
    }
}
}  // namespace
