// The bundled device data: every style document, and every merge its diversity rules can
// produce, must parse, begin with the scheme keys, stay within the controller's 160 records,
// use only known keys, and agree with the processor's default sensor profile.
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <tinyxml.h>

#include "IaSim.h"
#include "ISensorController.h"
#include "MachineInfo.h"
#include "ModuleConfigure.h"
#include "Sandbox.h"
#include "SensorFile.h"
#include "StringHandler.h"
#include "sensor.h"

namespace {

const u32 kCapacity = 160;

// Keys of the key-command table, and the shadow keys that only exist as cached values.
const std::set<u32>& knownKeys() {
    static const std::set<u32> keys = {
        8240, 34,   2337, 2353, 2321, 96,   16,   49,   50,   65,   66,   80,   81,   82,   83,
        17,   18,   768,  770,  771,  144,  147,  160,  161,  162,  163,  164,  165,  166,  167,
        155,  170,  171,  172,  173,  174,  2304, 2305, 2306, 2307, 2308, 2309, 2312, 2313, 2368,
        2369, 112,  113,  128,  129,  130,  2416, 2417, 2400, 2401, 176,  190,  191,  192,  193,
        2384, 2385, 145,  146,  154,  149,  150,  151,  152,  1536, 1537, 1538, 1539, 1616, 1570,
        1569, 1553, 1554, 1584, 1571, 8100, 8101, 8102, 8103, 8000, 8001, 8002, 8003, 8004, 10,
        11,   1552, 1568, 2432, 2433, 2434, 2435, 2436, 2437, 2438, 2439, 2497, 2512, 2528, 2560,
        8201, 8202, 8203, 8209, 8204, 8205, 8206, 8207, 8208, 8211, 8212, 8217, 8231, 9000, 9001,
        9002, 9003, 9004, 9005, 9101, 9102, 9103, 9104, 9105, 9106, 9201, 9202, 9203, 9204, 9205,
        9206, 9301, 9302, 9303, 9304, 9305, 9306, 9401, 9402, 9403, 9404, 9405, 9406, 168,  175,
        200,  203,  224,  2570, 2571, 201,  202,  204,  205};
    return keys;
}

std::string deviceFile(const std::string& name) {
    return readHostFile(std::string(TARNIS_DEVICE_DIR) + "/" + name);
}

std::vector<int> fromTo(int first, int last) {
    std::vector<int> v;
    for (int i = first; i <= last; ++i) {
        v.push_back(i);
    }
    return v;
}

struct StylePair {
    const char* style;
    const char* diversity;
    const char* sampleDetail;  // a product of the family
};

const StylePair kPairs[] = {
    {"style/Style.xml", "styleDiversity/StyleDiversity.xml",
     "(isInfrared=1)(lens=motor)(model=IPC-B5)(max_scheme=4)"},
    {"style/Style_dome.xml", "styleDiversity/StyleDiversity_dome.xml",
     "(isInfrared=1)(lens=zoom30x)(model=PTZ-S4)(max_scheme=4)"},
    {"style/Style_Thermal.xml", "styleDiversity/StyleDiversity_Thermal.xml",
     "(isInfrared=0)(lens=fixed)(model=TH-B3)(max_scheme=4)"},
};

// Detail texts that reach every combination of the rules of a diversity document: each
// field a rule names takes each accepted value, a value no rule accepts, or is absent.
std::vector<std::string> detailCombinations(const std::string& diversity) {
    TiXmlDocument doc;
    doc.Parse(diversity.c_str(), nullptr, TIXML_ENCODING_UTF8);
    std::map<std::string, std::set<std::string>> values;
    for (TiXmlElement* rule = doc.RootElement(); rule; rule = rule->NextSiblingElement()) {
        for (TiXmlAttribute* a = rule->FirstAttribute(); a; a = a->Next()) {
            std::vector<std::string> alternatives;
            StringHandler::split(a->Value(), alternatives, ",");
            values[a->Name()].insert(alternatives.begin(), alternatives.end());
            values[a->Name()].insert("none");
            values[a->Name()].insert("");  // field absent
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

void forEachElement(TiXmlElement* e, const std::function<void(TiXmlElement*)>& visit) {
    if (e == nullptr) {
        return;
    }
    visit(e);
    for (TiXmlElement* c = e->FirstChildElement(); c; c = c->NextSiblingElement()) {
        forEachElement(c, visit);
    }
}

std::vector<int> itemsOf(TiXmlElement* e) {
    std::vector<int> items;
    for (TiXmlElement* c = e->FirstChildElement(); c; c = c->NextSiblingElement()) {
        const char* index = c->Attribute("index");
        items.push_back(index ? atoi(index) : -1);
    }
    return items;
}

bool includes(std::vector<int> all, std::vector<int> part) {
    std::sort(all.begin(), all.end());
    std::sort(part.begin(), part.end());
    return std::includes(all.begin(), all.end(), part.begin(), part.end());
}

class DeviceDataTest : public SandboxTest {
protected:
    void TearDown() override {
        setshowBeawayFalg(true);
        SandboxTest::TearDown();
    }
    std::string merge(const StylePair& pair, const std::string& detail) {
        ModuleConfig config;
        memset(&config, 0, sizeof(config));
        snprintf(config.szDetail, sizeof(config.szDetail), "%s", detail.c_str());
        const std::string base = deviceFile(pair.style);
        std::string div = deviceFile(pair.diversity);
        char* text = strdup(base.c_str());
        EXPECT_EQ(0, mergeStyle(1, &config, &text, &div[0]));
        std::string merged = text;
        free(text);
        return merged;
    }
    std::vector<KeyVal> factory(const std::string& style, bool showWdr = true) {
        std::vector<KeyVal> records(kCapacity + 1, KeyVal{0, 0});
        std::vector<char> text(style.begin(), style.end());
        text.push_back('\0');
        u32 count = 0;
        getFctData(1, text.data(), records.data(), &count, showWdr);
        records.resize(std::min(count, kCapacity + 1));
        return records;
    }
    static bool has(const std::vector<KeyVal>& records, u32 key) {
        return std::any_of(records.begin(), records.end(),
                           [key](const KeyVal& kv) { return kv.key == key; });
    }
    static int valueOf(const std::vector<KeyVal>& records, u32 key) {
        for (const KeyVal& kv : records) {
            if (kv.key == key) {
                return kv.value;
            }
        }
        return -12345;
    }
    // Structure of one merged document; the context names the document in failures.
    void checkDocument(const std::string& merged, const std::string& context);
    void checkRecords(const std::vector<KeyVal>& records, const std::string& context);
};

void DeviceDataTest::checkDocument(const std::string& merged, const std::string& context) {
    TiXmlDocument doc;
    doc.Parse(merged.c_str(), nullptr, TIXML_ENCODING_UTF8);
    ASSERT_FALSE(doc.Error()) << context << ": " << doc.ErrorDesc();
    ASSERT_NE(nullptr, doc.RootElement()) << context;
    for (TiXmlElement* tab = doc.RootElement()->FirstChildElement(); tab;
         tab = tab->NextSiblingElement()) {
        EXPECT_NE(nullptr, tab->Attribute("key")) << context;
    }
    int placeholders = 0;
    forEachElement(doc.RootElement(), [&](TiXmlElement* e) {
        const char* id = e->Attribute("id");
        if (id == nullptr) {
            return;
        }
        const int key = atoi(id);
        placeholders += key == 10 || key == 11 ? 1 : 0;
        EXPECT_NE(nullptr, e->Attribute("value")) << context << " id " << id;
        EXPECT_NE(nullptr, e->Attribute("enable_list")) << context << " id " << id;
        EXPECT_EQ(1u, knownKeys().count(static_cast<u32>(key))) << context << " id " << id;
        const std::vector<int> items = itemsOf(e);
        EXPECT_EQ(items.end(), std::find(items.begin(), items.end(), -1))
            << context << ": every child of parameter " << id << " is an item with an index";
        const int value = atoi(e->Attribute("value") ? e->Attribute("value") : "0");
        if (!items.empty() && key != 49) {
            EXPECT_NE(items.end(), std::find(items.begin(), items.end(), value))
                << context << ": the default of " << id << " is one of its items";
        }
        switch (key) {
            case 34:
            case 2337:
            case 2353:
            case 2321:
                EXPECT_EQ(50, value) << context << " id " << id;
                break;
            case 49:  // the processor's default, or the style's own items
                EXPECT_TRUE(includes(items, fromTo(1, 18))) << context;
                EXPECT_TRUE(value == 100 || (value >= 200 && std::find(items.begin(), items.end(),
                                                                       value - 200) != items.end()))
                    << context << " value " << value;
                break;
            case 50:
                EXPECT_TRUE(includes(items, fromTo(1, 18))) << context;
                EXPECT_TRUE(value >= 1 && value <= 18) << context << " value " << value;
                break;
            case 82:
                EXPECT_TRUE(includes(items, fromTo(0, 10))) << context;
                break;
            case 1537:
                EXPECT_TRUE(includes(items, {10, 30, 50, 100, 150, 300, 600})) << context;
                EXPECT_EQ(100, value) << context;
                break;
            default:
                break;
        }
    });
    EXPECT_EQ(2, placeholders) << context << ": the placeholders 10 and 11";
}

void DeviceDataTest::checkRecords(const std::vector<KeyVal>& records, const std::string& context) {
    ASSERT_LE(records.size(), kCapacity) << context;
    ASSERT_GE(records.size(), 5u) << context;
    for (u32 i = 0; i < 5; ++i) {
        EXPECT_EQ(8000 + i, records[i].key) << context;
    }
    const int start = records[1].value * 100 + records[2].value;
    const int end = records[3].value * 100 + records[4].value;
    EXPECT_EQ(0, records[0].value) << context;
    EXPECT_LT(start, end) << context << ": the default time window must be valid";
    EXPECT_LE(end, 2400) << context;
    std::set<u32> seen;
    for (const KeyVal& kv : records) {
        EXPECT_TRUE(seen.insert(kv.key).second) << context << ": key " << kv.key << " twice";
    }
}

TEST_F(DeviceDataTest, EveryReachableMergeIsAUsableStyle) {
    for (const StylePair& pair : kPairs) {
        const std::vector<std::string> details = detailCombinations(deviceFile(pair.diversity));
        ASSERT_GE(details.size(), 8u) << pair.diversity;
        std::set<std::string> distinct;
        for (const std::string& detail : details) {
            const std::string context = std::string(pair.style) + " " + detail;
            const std::string merged = merge(pair, detail);
            distinct.insert(merged);
            checkDocument(merged, context);
            checkRecords(factory(merged, true), context);
            setshowBeawayFalg(false);
            const std::vector<KeyVal> most = factory(merged, false);
            setshowBeawayFalg(true);
            checkRecords(most, context + " (placeholders kept)");
            EXPECT_TRUE(has(most, 10) && has(most, 11)) << context;
        }
        // Each rule makes a difference somewhere.
        TiXmlDocument div;
        const std::string divText = deviceFile(pair.diversity);
        div.Parse(divText.c_str(), nullptr, TIXML_ENCODING_UTF8);
        int rules = 0;
        for (TiXmlElement* r = div.RootElement(); r; r = r->NextSiblingElement()) {
            ++rules;
        }
        EXPECT_GT(distinct.size(), static_cast<size_t>(rules)) << pair.diversity;
    }
}

TEST_F(DeviceDataTest, DiversityRulesUseEveryEditOnRealDetailFields) {
    for (const StylePair& pair : kPairs) {
        TiXmlDocument div;
        const std::string text = deviceFile(pair.diversity);
        div.Parse(text.c_str(), nullptr, TIXML_ENCODING_UTF8);
        ASSERT_FALSE(div.Error()) << pair.diversity;
        std::set<std::string> edits;
        std::set<std::string> fields;
        for (TiXmlElement* rule = div.RootElement(); rule; rule = rule->NextSiblingElement()) {
            for (TiXmlAttribute* a = rule->FirstAttribute(); a; a = a->Next()) {
                fields.insert(a->Name());
            }
            for (TiXmlElement* edit = rule->FirstChildElement(); edit;
                 edit = edit->NextSiblingElement()) {
                edits.insert(edit->Value());
                EXPECT_NE(nullptr, edit->Attribute("tab_key")) << pair.diversity;
            }
        }
        EXPECT_EQ((std::set<std::string>{"AddAfter", "Delete", "Modify"}), edits) << pair.diversity;
        for (const std::string& field : fields) {
            EXPECT_TRUE(field == "isInfrared" || field == "lens" || field == "model")
                << pair.diversity << ": " << field;
        }
        EXPECT_TRUE(fields.count("lens") && fields.count("model")) << pair.diversity;
    }
}

TEST_F(DeviceDataTest, ProductsCarryTheKeysTheEngineUses) {
    const std::vector<u32> cameraKeys = {224, 161, 171, 163,  165,  167,  172,  173,  174, 168, 175,
                                         200, 201, 202, 203,  204,  205,  144,  145,  146, 154, 149,
                                         150, 151, 152, 2368, 2385, 2384, 1536, 1537, 49,  50};
    for (const StylePair& pair : {kPairs[0], kPairs[1]}) {
        const std::vector<KeyVal> records = factory(merge(pair, pair.sampleDetail));
        for (u32 key : cameraKeys) {
            EXPECT_TRUE(has(records, key)) << pair.style << " lacks " << key;
        }
        EXPECT_GE(records.size(), 80u) << pair.style;
        EXPECT_LE(records.size(), 130u) << pair.style;
    }
    const std::vector<KeyVal> thermal = factory(merge(kPairs[2], kPairs[2].sampleDetail));
    for (u32 key : {8201u, 8202u, 8204u, 8231u, 2384u, 2416u, 8240u}) {
        EXPECT_TRUE(has(thermal, key)) << "thermal lacks " << key;
    }
}

struct ProductCase {
    int pair;
    const char* detail;
    std::vector<u32> present;
    std::vector<u32> absent;
};

void PrintTo(const ProductCase& c, std::ostream* os) {
    *os << c.detail;
}

class ProductDifferences : public DeviceDataTest,
                           public ::testing::WithParamInterface<ProductCase> {};

TEST_P(ProductDifferences, ShowInTheFactoryKeys) {
    const ProductCase& c = GetParam();
    const std::vector<KeyVal> records = factory(merge(kPairs[c.pair], c.detail));
    for (u32 key : c.present) {
        EXPECT_TRUE(has(records, key)) << c.detail << " lacks " << key;
    }
    for (u32 key : c.absent) {
        EXPECT_FALSE(has(records, key)) << c.detail << " has " << key;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Models, ProductDifferences,
    ::testing::Values(
        // Bullet without infrared and with a fixed lens: no illumination, iris or lens tab.
        ProductCase{
            0, "(isInfrared=0)(lens=fixed)(model=IPC-C2)", {34, 49, 144}, {224, 160, 80, 1536}},
        // Motorised lens: the zoom/focus tab, without the long-zoom extras.
        ProductCase{
            0, "(isInfrared=1)(lens=motor)(model=IPC-B5)", {1536, 1569, 80, 224}, {1571, 2570}},
        // Limited infrared and a long zoom: infrared only, zoom speed and digital zoom.
        ProductCase{0,
                    "(isInfrared=17)(lens=motor)(model=IPC-Z4)",
                    {160, 163, 1571, 1584},
                    {224, 170, 168}},
        // Wide lens on a vehicle model: distortion correction and stabilisation, no iris.
        ProductCase{0, "(isInfrared=1)(lens=wide)(model=IPC-V1)", {2570, 2571, 2416}, {80, 1536}},
        // Dome core without infrared and with a short zoom: no illumination, zoom or DIS.
        ProductCase{
            1, "(isInfrared=0)(lens=zoom4x)(model=DC-Z3)", {1536, 1553}, {160, 1569, 1571, 2416}},
        // Panoramic dome: the stitching tab.
        ProductCase{
            1, "(isInfrared=1)(lens=zoom30x)(model=PTZ-P2)", {9000, 9101, 9206, 1571}, {9301}},
        // Measuring thermal camera with a fixed lens: temperature strip, no focus tab.
        ProductCase{2, "(lens=fixed)(model=TH-M3)", {8217, 8204}, {1536}},
        // Shutterless thermal core with a motorised lens: focus tab, no correction tab.
        ProductCase{2, "(lens=motor)(model=TH-S1)", {1536, 8207}, {8204, 8231, 8217}}));

TEST_F(DeviceDataTest, FactoryValuesFollowTheProcessorAndTheStyle) {
    const std::vector<KeyVal> records = factory(merge(kPairs[0], kPairs[0].sampleDetail));
    EXPECT_EQ(6, valueOf(records, 49));  // processor default kept
    EXPECT_EQ(8, valueOf(records, 50));  // listed style value
    EXPECT_EQ(5, valueOf(records, 82));  // processor default
    EXPECT_EQ(100, valueOf(records, 1537));
    // A traffic model takes the maximum shutter from its own list.
    EXPECT_EQ(5, valueOf(factory(merge(kPairs[0], "(lens=motor)(model=LPR-T2)")), 49));
}

TEST_F(DeviceDataTest, SampleBoardFindsItsModuleAndBuildsItsStyle) {
    sandbox->installDeviceData();
    MachineInfo info;
    ASSERT_TRUE(
        SystemInfoParser::parseMachineInfo("/mnt/mtd/code/factory_setting/machineinfo.ini", info));
    EXPECT_EQ(1, info.getDeviceType());
    std::vector<ModuleConfigure> modules;
    ASSERT_TRUE(ModuleConfigureParser::parse("/hd1/moduleConfig/moduleConfig.xml",
                                             info.getHardwareModel(), info.getHardwareCode(),
                                             modules));
    ASSERT_FALSE(modules.empty());
    const std::string detail = modules[0].getDetail();
    EXPECT_NE(std::string::npos, detail.find("(isInfrared=1)"));
    EXPECT_NE(std::string::npos, detail.find("(lens="));
    EXPECT_NE(std::string::npos, detail.find("(model="));

    SysConfig conf;
    memset(&conf, 0, sizeof(conf));
    StdoutCapture capture;
    ASSERT_EQ(0, initSysConf(1, modules[0], &conf));
    EXPECT_EQ(std::string::npos, capture.stop().find("Assertion failed"));
    EXPECT_EQ(4u, conf.nSchemeSum);
    const std::vector<KeyVal> records = factory(conf.szUIStyle);
    checkRecords(records, "sample board");
    EXPECT_TRUE(has(records, 1537));
    uinitSysConf(&conf);
}

}  // namespace
