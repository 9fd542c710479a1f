// A minimal host of libtarnis: the controller of video channel 1, initialised with the
// channel's module configuration; brightness set and read back by name, the scheme saved,
// another scheme selected, and the channel shut down. Exits 0 when every step succeeded.
//
// Built from an installed tree only (examples/CMakeLists.txt, or pkg-config --cflags --libs
// tarnis). On a camera the files the library reads (machine information, style documents)
// are in place; on a bench, SENSOR_ROOT names a folder that holds them.
#include <tarnis/ISensorController.h>
#include <tarnis/SensorKeyNames.h>
#include <tarnis/TarnisVersion.h>

#include <cstdio>
#include <vector>

namespace {

// The host's video stream module: one 1080p30 stream, no limited-frames WDR mode, the
// image processor running. It prints what the library tells the video pipeline.
class HostVideoModule : public VideoStreamModule {
public:
    int getStreamParams(std::vector<AVStreamParam>& out) const override {
        AVStreamParam stream;
        stream.setFrameRate(30);
        stream.setVideoEncoderType(1);
        stream.setVideoHeight(1080);
        out.assign(1, stream);
        return 0;
    }
    int notifySensorParam(int channel, int key, int value) const override {
        std::printf("video module: channel %d key %d value %d\n", channel, key, value);
        return 0;
    }
    int getLimitedFramesWDRModeParam(int, LimitedFramesWDRModeParam& out) const override {
        out = LimitedFramesWDRModeParam();
        return 0;
    }
    int get2ARunRet() const override { return 0; }
};

// Prints one step's outcome; returns it.
bool step(bool ok, const char* what) {
    std::printf("%-28s %s\n", what, ok ? "ok" : "FAILED");
    return ok;
}

}  // namespace

int main() {
    std::printf("libtarnis %s, parameter files version %d\n", TARNIS_VERSION_STRING,
                TARNIS_PARAM_FILE_VERSION);

    // The channel's module configuration, as the host's framework reads it from
    // moduleConfig.xml for this board.
    ModuleConfigure module;
    module.setModuleId(1);
    module.setDetail("(isInfrared=1)(lens=motor)(model=IPC-B5)(max_scheme=4)");
    module.setParameters("sensor=imx385;fps=30;width=1920;height=1080");

    HostVideoModule video;
    ISensorController controller;
    controller.setChannelID(1);
    controller.setVideoStreamModule(&video);
    if (!step(controller.init(module), "init channel 1")) {
        return 1;
    }

    bool ok = step(controller.setParameter(KEY_BRIGHTNESS, 60, true) == 0, "set KEY_BRIGHTNESS 60");
    int brightness = -1;
    ok = step(controller.getParameter(KEY_BRIGHTNESS, brightness) && brightness == 60,
              "get KEY_BRIGHTNESS") &&
         ok;
    ok = step(controller.flush() == 0, "flush scheme 0") && ok;
    int scheme = -1;
    ok = step(controller.setParamScheme(1) && controller.getParamScheme(scheme) && scheme == 1,
              "switch to scheme 1") &&
         ok;
    controller.uinit();
    std::printf("%s\n", ok ? "host_minimal: all steps succeeded" : "host_minimal: a step failed");
    return ok ? 0 : 1;
}
