// The bundled device data: every style document, and every merge its diversity rules can
// produce, must parse and give factory records of the key table that begin with the scheme
// keys and fit the controller's 160; the sample board builds its style.
#include <stdlib.h>
#include <string.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <tinyxml.h>

#include "ISensorController.h"
#include "MachineInfo.h"
#include "ModuleConfigure.h"
#include "Sandbox.h"
#include "SensorFile.h"
#include "StringHandler.h"
#include "sensor.h"

namespace {

const u32 kCapacity = 160;

std::string deviceFile(const std::string& name) {
    return readHostFile(std::string(TARNIS_DEVICE_DIR) + "/" + name);
}

// Detail texts that reach every combination of the rules of a diversity document: each
// field a rule names takes each accepted value, a value no rule accepts, or is absent.
std::vector<std::string> detailCombinations(const std::string& diversity) {
    TiXmlDocument doc;
    doc.Parse(diversity.c_str(), nullptr, TIXML_ENCODING_UTF8);
    EXPECT_FALSE(doc.Error()) << doc.ErrorDesc();
    std::map<std::string, std::set<std::string>> values;
    for (TiXmlElement* rule = doc.RootElement(); rule; rule = rule->NextSiblingElement()) {
        for (TiXmlAttribute* a = rule->FirstAttribute(); a; a = a->Next()) {
            std::vector<std::string> alternatives;
            StringHandler::split(a->Value(), alternatives, ",");
            values[a->Name()].insert(alternatives.begin(), alternatives.end());
            values[a->Name()].insert({"none", ""});  // "": field absent
        }
    }
    std::vector<std::string> details = {""};
    for (const auto& field : values) {
        std::vector<std::string> next;
        for (const std::string& detail : details) {
            for (const std::string& value : field.second) {
                next.push_back(value.empty() ? detail
                                             : detail + "(" + field.first + "=" + value + ")");
            }
        }
        details.swap(next);
    }
    return details;
}

class DeviceDataTest : public SandboxTest {
protected:
    void TearDown() override {
        setshowBeawayFalg(true);
        SandboxTest::TearDown();
    }
};

TEST_F(DeviceDataTest, EveryReachableMergeIsAUsableStyle) {
    const std::set<u32> known = {
#define KEY_ROW(key, cmd, handler, name, ...) key,
#include "SensorKeyList.def"
#undef KEY_ROW
        201, 202, 204, 205};   // cached values without a row of their own
    setshowBeawayFalg(false);  // placeholders kept: the most records a merge can give
    for (const std::string family : {"", "_dome", "_Thermal"}) {
        const std::string base = deviceFile("style/Style" + family + ".xml");
        const std::string diversity = deviceFile("styleDiversity/StyleDiversity" + family + ".xml");
        const std::vector<std::string> details = detailCombinations(diversity);
        ASSERT_GE(details.size(), 8u) << family;
        std::set<std::string> distinct;
        for (const std::string& detail : details) {
            SCOPED_TRACE("Style" + family + " " + detail);
            ModuleConfig config{};
            snprintf(config.szDetail, sizeof(config.szDetail), "%s", detail.c_str());
            char* text = strdup(base.c_str());
            std::string div = diversity;
            ASSERT_EQ(0, mergeStyle(1, &config, &text, &div[0]));
            TiXmlDocument doc;
            doc.Parse(text, nullptr, TIXML_ENCODING_UTF8);
            ASSERT_FALSE(doc.Error()) << doc.ErrorDesc();
            distinct.insert(text);
            KeyVal records[kCapacity + 10];
            u32 count = 0;
            ASSERT_EQ(0, getFctData(1, text, records, &count, false));
            free(text);
            ASSERT_LE(count, kCapacity);
            ASSERT_GE(count, 5u);
            std::set<u32> keys;
            for (u32 i = 0; i < count; ++i) {
                EXPECT_TRUE(i >= 5 || records[i].key == 8000 + i) << "record " << i;
                EXPECT_TRUE(keys.insert(records[i].key).second) << "key " << records[i].key;
                EXPECT_EQ(1u, known.count(records[i].key)) << "key " << records[i].key;
            }
            EXPECT_TRUE(keys.count(10) && keys.count(11)) << "placeholders";
        }
        EXPECT_GE(distinct.size(), 3u) << "the rules change the style";
    }
}

TEST_F(DeviceDataTest, SampleBoardBuildsItsStyleWithoutComplaint) {
    sandbox->installDeviceData();
    MachineInfo info;
    ASSERT_TRUE(
        SystemInfoParser::parseMachineInfo("/mnt/mtd/code/factory_setting/machineinfo.ini", info));
    std::vector<ModuleConfigure> modules;
    ASSERT_TRUE(ModuleConfigureParser::parse("/hd1/moduleConfig/moduleConfig.xml",
                                             info.getHardwareModel(), info.getHardwareCode(),
                                             modules));
    ASSERT_FALSE(modules.empty());
    SysConfig conf{};
    StdoutCapture capture;
    EXPECT_EQ(0, initSysConf(1, modules[0], &conf));
    EXPECT_EQ(std::string::npos, capture.stop().find("Assertion failed"));
    EXPECT_EQ(1, conf.nDeviceType);
    EXPECT_EQ(4u, conf.nSchemeSum);
    ASSERT_NE(nullptr, conf.szUIStyle);
    EXPECT_NE(std::string::npos, std::string(conf.szUIStyle).find("id=\"8000\""));
    uinitSysConf(&conf);
}

}  // namespace
