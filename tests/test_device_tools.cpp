// The device-data commands of sensorctl run as a process: check over copies of the bundled
// data with one fault each (the bundled data itself is the device_data_check entry), and
// explain on the dome data.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "Sandbox.h"

namespace {

struct Fault {
    const char* file;  // relative to the device-data folder
    const char* from;  // a text of that file (its first occurrence is replaced)
    const char* to;
    const char* message;  // part of the report line
    bool error;           // an error (non-zero exit); else a warning only
    bool atChange;        // the report names the line of the change
};

class DeviceToolsTest : public ::testing::Test {
protected:
    std::string data() { return box.root() + "/data"; }

    ToolRun run(const std::string& words) { return runSensorctl(box.root(), words); }

    // A copy of the bundled data with `from` replaced by `to` in `file`; the line of the
    // change.
    int copyWithFault(const Fault& f) {
        std::filesystem::copy(TARNIS_DEVICE_DIR, data(), std::filesystem::copy_options::recursive);
        std::string text = readHostFile(data() + "/" + f.file);
        const size_t at = text.find(f.from);
        EXPECT_NE(std::string::npos, at) << f.from;
        if (at == std::string::npos) {
            return 0;
        }
        text.replace(at, std::string(f.from).size(), f.to);
        std::ofstream(data() + "/" + f.file, std::ios::trunc) << text;
        return 1 + static_cast<int>(std::count(text.begin(), text.begin() + at, '\n'));
    }

    Sandbox box;
};

// The report line of `file` at `line` (0: any line) of the given kind holding `message`.
bool reported(const std::string& out, const std::string& file, int line, const char* kind,
              const std::string& message) {
    std::istringstream lines(out);
    std::string l;
    const std::string head = file + ":" + (line > 0 ? std::to_string(line) + ":" : "");
    while (std::getline(lines, l)) {
        if (l.compare(0, head.size(), head) == 0 &&
            l.find(std::string(": ") + kind + ": ") != std::string::npos &&
            l.find(message) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// Thirty-one groups inside each other, inside a tab inside the root: 33 levels.
const std::string kNested = [] {
    std::string open, close;
    for (int i = 0; i < 31; ++i) {
        open += "<g>";
        close += "</g>";
    }
    return open + close + "<button id=\"8231\"";
}();
const char* const kThirtyOneNestedGroups = kNested.c_str();

// One fault per copy: the report names the file, the line and the fault.
const Fault kFaults[] = {
    {"style/Style.xml", "name=\"brightness\" min=\"0\" max=\"100\"/>",
     "name=\"brightness\" min=\"0\" max=\"100\">", "XML: ", true, false},
    {"styleDiversity/StyleDiversity.xml", "<AddAfter tab_key=\"nr\">", "<AddAfter tab_key=\"nrr\">",
     "tab_key 'nrr' names no tab", true, true},
    {"style/Style.xml", "<slider id=\"2337\"", "<slider id=\"9999\"",
     "id 9999 is not a key of the key table", true, true},
    {"style/Style.xml", "<slider id=\"2353\"", "<slider id=\"2337\"", "id 2337 again; first at",
     true, true},
    {"style/Style.xml", "enable_list=\"49,50,65,66\"", "enable_list=\"49,50,65,4242\"",
     "names 4242, which is not in this document", true, true},
    {"style/Style.xml", "<combo id=\"2384\" value=\"0\"", "<combo id=\"2384\" value=\"7\"",
     "value 7 of 2384 mirror is not one of its items (0,1,2,3)", true, true},
    {"style/Style.xml", "<slider id=\"34\" value=\"50\"", "<slider id=\"34\" value=\"150\"",
     "value 150 of 34 brightness outside 0..100", true, true},
    {"style/Style_dome.xml", "name=\"saturation\" min=\"0\" max=\"100\"",
     "name=\"saturation\" min=\"100\" max=\"0\"", "min 100 above max 0", true, true},
    {"styleDiversity/StyleDiversity_dome.xml", "<Delete tab_key=\"stabilization\"/>",
     "<Remove tab_key=\"stabilization\"/>", "unknown edit 'Remove'", true, true},
    {"moduleConfig.xml", "(model=IPC-B5)(max_scheme=4)", "(model=IPC-B5)(max_scheme=70)",
     "max_scheme 70", true, true},
    {"style/Style_Thermal.xml", "<button id=\"8231\"", kThirtyOneNestedGroups,
     "nested deeper than the 32 levels", true, true},
    {"style/Style_Thermal.xml", "<item index=\"7\" name=\"green_hot\"/>",
     "<item name=\"green_hot\"/>", "item of 8201 pseudo_color has no index", true, true},
    {"styleDiversity/StyleDiversity_Thermal.xml", "<combo id=\"8207\"", "<combo id=\"8299\"",
     "id 8299 is not a key", true, true},
    {"styleDiversity/StyleDiversity_dome.xml", "<rule model=\"DC-Z3\">", "<rule model=\"DC-Z9\">",
     "no module of moduleConfig.xml meets this rule", false, true},
    {"styleDiversity/StyleDiversity.xml", "<rule lens=\"fisheye,wide\">",
     "<rule lense=\"fisheye,wide\">", "no module of moduleConfig.xml has the detail field 'lense'",
     false, true},
};

void PrintTo(const Fault& f, std::ostream* out) {
    *out << f.file << ": " << f.message;
}

class DeviceCheckFaultTest : public DeviceToolsTest, public ::testing::WithParamInterface<Fault> {};

TEST_P(DeviceCheckFaultTest, ReportsFileLineAndFault) {
    const Fault& f = GetParam();
    const int line = copyWithFault(f);
    ToolRun r = run("check --device " + data());
    EXPECT_EQ(f.error ? 1 : 0, r.status) << r.out << r.err;
    EXPECT_TRUE(reported(r.out, data() + "/" + f.file, f.atChange ? line : 0,
                         f.error ? "error" : "warning", f.message))
        << "expected at line " << line << ": " << f.message << "\n"
        << r.out;
    if (f.error) {
        EXPECT_NE(std::string::npos, r.err.find("in the device data")) << r.err;
    }
}

INSTANTIATE_TEST_SUITE_P(OneFaultEach, DeviceCheckFaultTest, ::testing::ValuesIn(kFaults));

TEST_F(DeviceToolsTest, ExplainListsEachRuleOfTheDomeWithItsOutcome) {
    ToolRun r = run("--device-type 20 --code DOME-02 explain");
    EXPECT_EQ(0, r.status) << r.err;
    const char* diversity = "/hd1/moduleConfig/sensorConfig/styleDiversity/StyleDiversity_dome.xml";
    for (const std::string& expected : {
             std::string("rule 1 at ") + diversity + ":3:1 <rule isInfrared=\"0\">: matched by",
             std::string("    - 160 ir_switch\n"),
             std::string("rule 2 at ") + diversity +
                 ":6:1 <rule isInfrared=\"17\">: not matched: isInfrared is \"0\", wanted \"17\"",
             std::string("rule 3 at ") + diversity + ":33:1 <rule lens=\"zoom4x,fixed\">: matched",
             std::string("    - 1568 zoom_position\n"),
             std::string("<rule model=\"PTZ-P2\">: not matched: model is \"DC-Z3\""),
             std::string("  Delete tab 'stabilization' at ") + diversity + ":115:5: 2 controls",
             std::string("3 of 5 rules matched\n"),
         }) {
        EXPECT_NE(std::string::npos, r.out.find(expected)) << expected << "\n" << r.out;
    }
}

TEST_F(DeviceToolsTest, ExplainNamesAMissingTargetAndABoardWithoutModule) {
    std::filesystem::create_directories(box.root() + "/cam/hd1/moduleConfig/sensorConfig");
    std::filesystem::copy(std::string(TARNIS_DEVICE_DIR) + "/styleDiversity",
                          box.root() + "/cam/hd1/moduleConfig/sensorConfig/styleDiversity");
    const std::string div =
        box.root() + "/cam/hd1/moduleConfig/sensorConfig/styleDiversity/StyleDiversity.xml";
    std::string text = readHostFile(div);
    text.replace(text.find("tab_key=\"nr\""), 12, "tab_key=\"nrr\"");
    std::ofstream(div, std::ios::trunc) << text;

    ToolRun r = run("--code IPC-01 explain");
    EXPECT_NE(std::string::npos, r.out.find("<rule lens=\"motor\">: matched, target missing"))
        << r.out;
    EXPECT_NE(std::string::npos, r.out.find("AddAfter tab 'nrr' at ")) << r.out;

    ToolRun none = run("--code NO-SUCH explain");
    EXPECT_NE(std::string::npos, none.out.find("none of moduleConfig.xml matches this board"))
        << none.out;
    EXPECT_NE(std::string::npos, none.out.find("0 of 8 rules matched")) << none.out;
}

// The value the page shows for key 34 (brightness).
std::string pageBrightness(const std::string& page) {
    const size_t at = page.find("\"key\":\"KEY_BRIGHTNESS\"");
    const size_t value = page.find("\"value\":", at);
    return at == std::string::npos ? "" : page.substr(value + 8, page.find('}', value) - value - 8);
}

TEST_F(DeviceToolsTest, PageIsOneSelfContainedFileWithTheChosenSchemesValues) {
    const std::string dir = box.root();
    std::ofstream(dir + "/page.txt")
        << "scheme 1\nset (34,33)\nflush\nscheme 0\npage --out " << dir << "/p0.html\npage --out "
        << dir << "/p1.html --scheme 1\nscheme\n";
    ToolRun r = run(dir + "/page.txt");
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_NE(std::string::npos, r.out.find("page " + dir + "/p1.html: 9 tabs, scheme 1\n"));
    EXPECT_NE(std::string::npos, r.out.find("true 0\n")) << "the current scheme stays 0";
    const std::string p0 = readHostFile(dir + "/p0.html");
    const std::string p1 = readHostFile(dir + "/p1.html");
    EXPECT_EQ("50", pageBrightness(p0));
    EXPECT_EQ("33", pageBrightness(p1));
    for (const char* outside : {"http:", "https:", " src=", "<link rel=\"stylesheet"}) {
        EXPECT_EQ(std::string::npos, p1.find(outside)) << outside;
    }
    EXPECT_EQ(1, run("page --scheme 9 --out " + dir + "/p9.html").status);
}

}  // namespace
