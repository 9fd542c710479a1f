// sensorctl run as a process on scripts: its output, its exit status and the files it leaves.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "Sandbox.h"

namespace {

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

class SensorctlTest : public ::testing::Test {
protected:
    // Runs sensorctl with `options` on `script` in a root of its own.
    ToolRun run(const std::string& script, const std::string& options = "") {
        const std::string dir = box.root();
        std::ofstream(dir + "/script.txt") << script;
        const char* tool = std::getenv("SENSORCTL");
        const char* emulator = std::getenv("SENSORCTL_EMULATOR");
        std::string cmd = std::string(emulator ? emulator : "") + " " +
                          (tool ? tool : "sensorctl") + " --root " + dir + "/cam " + options + " " +
                          dir + "/script.txt >" + dir + "/out.txt 2>" + dir + "/err.txt";
        int status = std::system(cmd.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readHostFile(dir + "/out.txt"),
                readHostFile(dir + "/err.txt")};
    }
    std::string camFile(const std::string& cameraPath) {
        return readHostFile(box.root() + "/cam" + cameraPath);
    }
    Sandbox box;
};

TEST_F(SensorctlTest, ParameterChangeShowsItsProcessorCallAndLandsInTheFile) {
    ToolRun r = run("init\nisp clear\nset (KEY_BRIGHTNESS,70)\nisp log\nget 34\nflush\n");
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_NE(std::string::npos, r.out.find("ch=0 cmd=34 opt=0 val=70 ret=0\n"));
    EXPECT_NE(std::string::npos, r.out.find("true 70\n"));
    const std::string file = camFile("/mnt/mtd/code/config_file/sensor0.cfg");
    ASSERT_GE(file.size(), 48u);
    const std::string brightness("\x22\0\0\0\x46\0\0\0", 8);  // (34,70), little-endian
    EXPECT_EQ(40u, file.find(brightness)) << "the sixth record follows the five scheme keys";
}

TEST_F(SensorctlTest, FilesNamesAParameterFileThatIsADirectory) {
    std::filesystem::create_directories(box.root() + "/cam/mnt/mtd/code/config_file/sensor7.cfg");
    ToolRun r = run("init\nfiles\nget KEY_CONTRAST\n");
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_NE(std::string::npos,
              r.out.find("/mnt/mtd/code/config_file/sensor7.cfg not a regular file\n"));
    EXPECT_NE(std::string::npos, r.out.find("true 50\n")) << "the session went on";
}

TEST_F(SensorctlTest, ErrorLineNonZeroExitAndTheSessionGoesOn) {
    ToolRun r = run("frobnicate\nget KEY_NO_SUCH\nscheme x\nget KEY_CONTRAST\n");
    EXPECT_EQ(1, r.status);
    EXPECT_NE(std::string::npos, r.err.find("script.txt:1: frobnicate: unknown command"));
    EXPECT_NE(std::string::npos, r.err.find("script.txt:2: get: expected a key number or name"));
    EXPECT_NE(std::string::npos, r.err.find("script.txt:3: scheme: expected a scheme number"));
    EXPECT_NE(std::string::npos, r.out.find("true 50\n")) << "the last line still ran";
}

TEST_F(SensorctlTest, DayNightSwitchSendsOnlyTheDifferingValues) {
    ToolRun r =
        run("scheme 1\nset (KEY_BRIGHTNESS,40)\nscheme 0\nset (KEY_SCHEME_MODE,2)\n"
            "isp clear\nisp dn 1\nawait 1\nisp log\n");
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_NE(std::string::npos, r.out.find("true 1\n"));
    EXPECT_NE(std::string::npos, r.out.find("cmd=34 opt=0 val=40"));
    EXPECT_EQ(std::string::npos, r.out.find("cmd=2337 opt=0")) << "equal values are not sent";
}

TEST_F(SensorctlTest, StyleOfADomeAndOfAThermalChannel) {
    ToolRun dome = run("style\n", "--device-type 20 --model Hi3519V101 --code DOME-01");
    EXPECT_EQ(0, dome.status) << dome.err;
    EXPECT_NE(std::string::npos, dome.out.find("id=\"1568\""));  // zoom position of a PTZ lens
    EXPECT_NE(std::string::npos, camFile("/tmp/merge_style_ch1.xml").find("<"));

    ToolRun thermal = run("style\nfiles\n",
                          "--device-type 14 --channel 2 --code TH-01 "
                          "--model Hi3516AV200Thermal");
    EXPECT_EQ(0, thermal.status) << thermal.err;
    EXPECT_NE(std::string::npos, thermal.out.find("id=\"8201\""));  // a thermal key
    EXPECT_NE(std::string::npos, thermal.out.find("sensor-thermal0.cfg"));
}

}  // namespace
