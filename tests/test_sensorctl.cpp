// sensorctl run as a process on scripts: its output, its exit status and the files it leaves.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "Sandbox.h"
#include "TarnisVersion.h"

namespace {

class SensorctlTest : public ::testing::Test {
protected:
    // Runs sensorctl with `options` on `script` in a root of its own; the library's console
    // output goes to library.txt.
    ToolRun run(const std::string& script, const std::string& options = "") {
        const std::string dir = box.root();
        std::ofstream(dir + "/script.txt") << script;
        return runSensorctl(
            dir, "--library-log " + dir + "/library.txt " + options + " " + dir + "/script.txt");
    }
    std::string camFile(const std::string& cameraPath) {
        return readHostFile(box.root() + "/cam" + cameraPath);
    }
    Sandbox box;
};

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST_F(SensorctlTest, ParameterChangeShowsItsDecodedProcessorCallAndLandsInTheFile) {
    ToolRun r =
        run("init\nisp clear\nset (KEY_BRIGHTNESS,70)\nisp log\nisp log raw\nget 34\nflush\n");
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_TRUE(has(r.out,
                    "> set (KEY_BRIGHTNESS,70)\n0\n> isp log\n"
                    "ch=1 KEY_BRIGHTNESS key=34 cmd=34 set val=70 ret=0\n"
                    "> isp log raw\nch=0 cmd=34 opt=0 val=70 ret=0\n"))
        << r.out;
    EXPECT_TRUE(has(r.out, "> get 34\ntrue 70\n"));
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

TEST_F(SensorctlTest, ListShowsNamesRangesDefaultsAndCurrentValuesOfEachModel) {
    struct Model {
        const char* options;
        const char* script;
        std::vector<std::string> lines;  // whole columns, blanks squeezed
    };
    const Model models[] = {
        {"",
         "set (brightness,70)\nlist\n",
         {"KEY_BRIGHTNESS 34 34 brightness slider 50 70 0..100",
          "KEY_WHITE_SWITCH 170 168 white_switch combo 0 0 0:off 1:on",
          "KEY_MAX_SHUTTER 49 49 max_shutter combo 6 6 1:1/3 2:1/6 3:1/12",
          "KEY_IR_MODE_INTELL 168 - ir_mode combo 0 0 0:ir_auto 1:ir_manual 2:ir_smart"}},
        {"--device-type 20 --model Hi3519V101 --code DOME-01",
         "list lens\n",
         {"KEY_MZ_POSITION 1568 1568 zoom_position spin 0 0 0..65535"}},
        {"--device-type 14 --channel 2 --code TH-01 --model Hi3516AV200Thermal",
         "set (pseudo_color,2)\nlist -v pseudo_color\n",
         {"KEY_NONE_COLOR_MODE 8201 8201 pseudo_color combo 0 2 doIaCmd - 0:white_hot 1:black_hot "
          "2:iron"}},
    };
    for (const Model& m : models) {
        ToolRun r = run(m.script, std::string("--quiet ") + m.options);
        EXPECT_EQ(0, r.status) << m.options << r.err;
        std::string squeezed;
        for (char c : r.out) {
            if (c != ' ' || squeezed.empty() || squeezed.back() != ' ') {
                squeezed += c;
            }
        }
        EXPECT_TRUE(has(squeezed, "KEY_NAME KEY CMD NAME TYPE DEFAULT CURRENT")) << squeezed;
        for (const std::string& line : m.lines) {
            EXPECT_TRUE(has(squeezed, line)) << m.options << ": " << line;
        }
    }
}

TEST_F(SensorctlTest, ListAsJsonLines) {
    ToolRun r = run("", "--list --json --quiet");
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_TRUE(has(r.out,
                    "{\"key_name\":\"KEY_BRIGHTNESS\",\"key\":34,\"command\":34,\"name\":"
                    "\"brightness\",\"tab\":\"image\",\"type\":\"slider\",\"min\":0,\"max\":100,"
                    "\"default\":50,\"current\":50}\n"))
        << r.out;
    EXPECT_TRUE(
        has(r.out, "\"items\":[{\"index\":0,\"name\":\"off\"},{\"index\":1,\"name\":\"on\"}]"));
}

TEST_F(SensorctlTest, MalformedTextsAreRefusedAndNothingIsSent) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"set KEY_BRIGHTNESS=70", "unexpected 'KEY_BRIGHTNESS=70' outside a (KEY,VALUE) group"},
        {"set (34,70", "group 1 '(34,70' is not closed"},
        {"set (34,1)(2337,70", "group 2 '(2337,70' is not closed"},
        {"set (KEY_WDR_MODE,KEY_BRIGHTNESS)",
         "group 1 '(KEY_WDR_MODE,KEY_BRIGHTNESS)': the value 'KEY_BRIGHTNESS' is not a decimal"},
        {"apply (34)", "group 1 '(34)': expected KEY,VALUE"},
        {"set (34,70)x", "unexpected 'x'"},
        {"set (KEY_NO_SUCH,1)", "unknown key or control name 'KEY_NO_SUCH'"},
        {"set (4,1)", "no key 4 in the key table or the style"},
        {"set (34,99999999999)", "the value '99999999999' is not a decimal number"},
        {"set (ir_mode,1)", "'ir_mode' names 2 controls: KEY_IR_MODE(161) KEY_IR_MODE_INTELL(168)"},
        {"gets (34,nope)", "unknown key or control name 'nope'"},
    };
    std::string script = "init\nisp clear\n";
    for (const auto& c : cases) {
        script += c.first + "\n";
    }
    ToolRun r = run(script + "isp-calls\n", "--quiet");
    EXPECT_EQ(1, r.status);
    for (size_t i = 0; i < cases.size(); ++i) {
        EXPECT_TRUE(has(r.err, "script.txt:" + std::to_string(i + 3) + ": ")) << cases[i].first;
        EXPECT_TRUE(has(r.err, cases[i].second)) << cases[i].first << "\n" << r.err;
    }
    EXPECT_TRUE(has(r.out, "true\n0\n")) << "no processor call: " << r.out;
}

TEST_F(SensorctlTest, ValuesOutsideTheRangeWarnOrUnderStrictAreRefused) {
    const std::string script = "init\nisp clear\nset (KEY_BRIGHTNESS,170)\nisp-calls\n";
    ToolRun loose = run(script, "--quiet");
    EXPECT_EQ(0, loose.status);
    EXPECT_TRUE(has(loose.err,
                    "warning: KEY_BRIGHTNESS(34) value 170 is outside the range of "
                    "'brightness': 0..100"));
    EXPECT_TRUE(has(loose.out, "0\n1\n"));
    ToolRun strict = run(script + "scheme 9\nraw (34,60\n", "--quiet --strict");
    EXPECT_EQ(1, strict.status);
    EXPECT_TRUE(has(strict.out, "true\n0\nfalse\n0\n")) << strict.out;
    EXPECT_TRUE(has(strict.err, "scheme: the call returned false"));
    EXPECT_TRUE(has(strict.err, "scheme: the library reported 1 failed check"));
    EXPECT_FALSE(has(strict.err, "raw:")) << "raw hands the text to the tolerant parser";
}

TEST_F(SensorctlTest, ProcessorCommandsResolveKeyNamesThroughTheirRow) {
    ToolRun r =
        run("isp value 168 7\nisp value 170 9\nisp value KEY_WHITE_SWITCH\nisp value white_switch\n"
            "isp value 170\nisp fail KEY_WHITE_SWITCH set 5\nset (KEY_WHITE_SWITCH,1)\n"
            "isp log\nisp value KEY_SCHEME_MODE\n",
            "--quiet");
    EXPECT_EQ(1, r.status);
    EXPECT_TRUE(has(r.out, "7\n7\n9\n")) << r.out;
    EXPECT_TRUE(has(r.out, "ch=1 KEY_WHITE_SWITCH key=170 cmd=168 set val=1 ret=5\n")) << r.out;
    EXPECT_TRUE(has(r.err, "KEY_SCHEME_MODE(8000) is only stored by the library"));
}

TEST_F(SensorctlTest, AFailingExpectFailsTheRunAndNamesWhatDiffered) {
    ToolRun pass = run(
        "set (KEY_BRIGHTNESS,70)\nexpect get KEY_BRIGHTNESS 70\nisp clear\n"
        "set (brightness,60)\nexpect isp-calls 1\nexpect range 49 == true 6 1 2 3 4 5 6 7 8 9 10 "
        "11 12 13 14 15 16 17 18\n");
    EXPECT_EQ(0, pass.status) << pass.err;
    ToolRun fail = run("set (KEY_BRIGHTNESS,70)\nexpect get brightness 71\nget KEY_CONTRAST\n");
    EXPECT_EQ(1, fail.status);
    EXPECT_TRUE(
        has(fail.err, "script.txt:2: expect: 'get brightness' gave 'true 70', expected '71'\n"))
        << fail.err;
    EXPECT_EQ(1, std::count(fail.err.begin(), fail.err.end(), '\n')) << "one line";
    EXPECT_TRUE(has(fail.out, "true 50\n")) << "the run goes on";
}

TEST_F(SensorctlTest, LibraryLogLeavesOnlyResultsOnStandardOutput) {
    ToolRun r = run("get brightness\nset (brightness,70)\nstyle image\nget brightness\n");
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ(0u, r.out.find("> get brightness\ntrue 50\n> set (brightness,70)\n0\n"
                             "> style image\n<tab key=\"image\""))
        << r.out;
    EXPECT_TRUE(has(r.out, "</tab>\n> get brightness\ntrue 70\n"));
    EXPECT_FALSE(has(r.out, "dnaCmdList")) << r.out;
    EXPECT_TRUE(has(readHostFile(box.root() + "/library.txt"), "get2ARunRet() is ok! count = 0"));
}

TEST_F(SensorctlTest, ErrorLineNonZeroExitAndTheSessionGoesOn) {
    ToolRun r =
        run("frobnicate\nget KEY_NO_SUCH\nscheme x\nhelp nope\nget KEY_CONTRAST\nhelp get\n");
    EXPECT_EQ(1, r.status);
    EXPECT_TRUE(has(r.err, "script.txt:1: frobnicate: unknown command"));
    EXPECT_TRUE(has(r.err, "script.txt:2: get: unknown key or control name 'KEY_NO_SUCH'"));
    EXPECT_TRUE(has(r.err, "script.txt:3: scheme: expected a scheme number"));
    EXPECT_TRUE(has(r.err, "script.txt:4: help: no command 'nope'"));
    EXPECT_TRUE(has(r.out, "true 50\n")) << "the last line still ran";
    EXPECT_TRUE(has(r.out, "get KEY\n  read one key"));
}

TEST_F(SensorctlTest, DayNightSwitchSendsOnlyTheDifferingValues) {
    ToolRun r =
        run("scheme 1\nset (KEY_BRIGHTNESS,40)\nscheme 0\nset (KEY_SCHEME_MODE,2)\n"
            "isp clear\nisp dn 1\nawait 1\nisp log\n");
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_TRUE(has(r.out, "> await 1\ntrue 1\n"));
    EXPECT_TRUE(has(r.out, "cmd=34 set val=40"));
    EXPECT_FALSE(has(r.out, "cmd=2337 set")) << "equal values are not sent";
}

TEST_F(SensorctlTest, StyleOfADomeAndOfAThermalChannel) {
    ToolRun dome = run("style\n", "--device-type 20 --model Hi3519V101 --code DOME-01");
    EXPECT_EQ(0, dome.status) << dome.err;
    EXPECT_TRUE(has(dome.out, "id=\"1568\""));  // zoom position of a PTZ lens
    EXPECT_TRUE(has(camFile("/tmp/merge_style_ch1.xml"), "<"));

    ToolRun thermal = run("style\nfiles\n",
                          "--device-type 14 --channel 2 --code TH-01 "
                          "--model Hi3516AV200Thermal");
    EXPECT_EQ(0, thermal.status) << thermal.err;
    EXPECT_TRUE(has(thermal.out, "id=\"8201\""));  // a thermal key
    EXPECT_TRUE(has(thermal.out, "sensor-thermal0.cfg"));
}

TEST_F(SensorctlTest, VersionNamesTheLibraryAndTheParameterFileFormat) {
    ToolRun r = run("", "--version");
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("sensorctl: libtarnis " TARNIS_VERSION_STRING ", parameter file format version 8\n",
              r.out);
}

TEST_F(SensorctlTest, FreshEmptiesASandboxRootAndRefusesAnyOtherFolder) {
    ASSERT_EQ(0, run("flush\n").status);
    std::ofstream(box.root() + "/cam/tmp/left-over") << "x";
    ToolRun fresh = run("files\n", "--fresh");
    EXPECT_EQ(0, fresh.status) << fresh.err;
    EXPECT_EQ("", camFile("/tmp/left-over"));
    EXPECT_NE("", camFile("/hd1/moduleConfig/moduleConfig.xml")) << "device data installed again";

    std::ofstream(box.root() + "/cam/notes.txt") << "mine";
    ToolRun refused = run("files\n", "--fresh");
    EXPECT_EQ(2, refused.status);
    EXPECT_NE(std::string::npos, refused.err.find("holds notes.txt"));
    EXPECT_EQ("mine", readHostFile(box.root() + "/cam/notes.txt"));
}

}  // namespace
