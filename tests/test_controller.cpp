// The controller object after construction, the channel id rule and the key-command table.
#include <chrono>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ControllerSeam.h"
#include "GThread.h"
#include "IaSim.h"
#include "ISensorController.h"
#include "Sandbox.h"

namespace {

struct ExpectedRow {
    unsigned key;
    unsigned cmd;
    const char* handler;  // bare handler name, or nullptr for none
    const char* name;
};

// The key-command table as the system defines it, row by row.
const ExpectedRow kExpected[] = {
    {8240, 8240, "doIaCmd", "KEY__DDE_MANUAL_STRG"},
    {34, 34, "doIaCmd", "KEY_BRIGHTNESS"},
    {2337, 2337, "doIaCmd", "KEY_SATURATION"},
    {2353, 2353, "doIaCmd", "KEY_CONTRAST"},
    {2321, 2321, "doIaCmd", "KEY_SHARPNESS"},
    {96, 96, "doIaCmd", "KEY_METER_AREA"},
    {16, 16, "doIaCmd", "KEY_EXPOSE_MODE"},
    {49, 49, "doIaCmd", "KEY_MAX_SHUTTER"},
    {50, 50, "doIaCmd", "KEY_FIX_SHUTTER"},
    {65, 65, "doIaCmd", "KEY_MAX_GAIN"},
    {66, 66, "doIaCmd", "KEY_FIX_GAIN"},
    {80, 80, "doIaCmd", "KEY_IRIS_SWITCH"},
    {81, 81, "doIaCmd", "KEY_IRIS_SPEED"},
    {82, 82, "doIaCmd", "KEY_IRIS_POSITION"},
    {83, 85, "doIaCmd", "KEY_IRIS_SIZE"},
    {17, 83, "doIaCmd_User", "KEY_IRIS_UP"},
    {18, 84, "doIaCmd_User", "KEY_IRIS_DOWN"},
    {768, 768, "doIaCmd", "KEY_WB_MODE"},
    {770, 770, "doIaCmd", "KEY_R_GAIN"},
    {771, 771, "doIaCmd", "KEY_B_GAIN"},
    {144, 144, "doIaCmd", "KEY_DN_MODE"},
    {147, 147, "doIaCmd", "KEY_DELAY"},
    {160, 160, "doIaCmd", "KEY_IR_SWITCH"},
    {161, 161, "doIaCmd", "KEY_IR_MODE"},
    {162, 162, "doIaCmd", "KEY_IR_AUTO_STRG_NEAR"},
    {163, 163, "doIaCmd", "KEY_IR_MANUAL_STRG_NEAR"},
    {164, 164, "doIaCmd", "KEY_IR_AUTO_STRG_MEDIUM"},
    {165, 165, "doIaCmd", "KEY_IR_MANUAL_STRG_MEDIUM"},
    {166, 166, "doIaCmd", "KEY_IR_AUTO_STRG_FAR"},
    {167, 167, "doIaCmd", "KEY_IR_MANUAL_STRG_FAR"},
    {155, 155, "doIaCmd", "KEY_IR_ANTI_OVEREXP"},
    {170, 168, "doIaCmd", "KEY_WHITE_SWITCH"},
    {171, 169, "doIaCmd", "KEY_WHITE_MODE"},
    {172, 170, "doIaCmd", "KEY_WHITE_MANUAL_STRG"},
    {173, 171, "doIaCmd", "KEY_WHITE_MANUAL_STRG_MEDIUM"},
    {174, 172, "doIaCmd", "KEY_WHITE_MANUAL_STRG_FAR"},
    {2304, 2304, "doIaCmd", "KEY_2D_NR_SWITCH"},
    {2305, 2305, "doIaCmd", "KEY_2D_NR_MODE"},
    {2306, 2306, "doIaCmd", "KEY_2D_NR_STRG_A"},
    {2307, 2307, "doIaCmd", "KEY_2D_NR_STRG_M"},
    {2308, 2308, "doIaCmd", "KEY_3D_NR_SWITCH"},
    {2309, 2309, "doIaCmd", "KEY_3D_NR_MODE"},
    {2312, 2312, "doIaCmd", "KEY_3D_NR_STRG_A"},
    {2313, 2313, "doIaCmd", "KEY_3D_NR_STRG_M"},
    {2368, 2368, "doHwdr", "KEY_WDR_MODE"},
    {2369, 2369, "doIaCmd", "KEY_WDR_STRG"},
    {112, 112, "doIaCmd", "KEY_HLC_SWITCH"},
    {113, 113, "doIaCmd", "KEY_HLC_STRG"},
    {128, 128, "doIaCmd", "KEY_BLC_SWITCH"},
    {129, 129, "doIaCmd", "KEY_BLC_MODE"},
    {130, 130, "doIaCmd", "KEY_BLC_STRG"},
    {2416, 2416, "doDIS", "KEY_ANTI_SHAKE_SWITCH"},
    {2417, 2417, "doIaCmd", "KEY_ANTI_SHAKE_STRG"},
    {2400, 2400, "doIaCmd", "KEY_DEFLG_SWITCH"},
    {2401, 2401, "doIaCmd", "KEY_DEFLG_STRG"},
    {176, 176, "doIaCmd", "KEY_IN_OUT_SIDE"},
    {190, 190, "test_debugParam", "KEY_TEST_PARAM1"},
    {191, 191, "test_debugParam", "KEY_TEST_PARAM2"},
    {192, 192, "test_debugParam", "KEY_TEST_PARAM3"},
    {193, 193, "test_debugParam", "KEY_TEST_PARAM4"},
    {2384, 2384, "doMirror", "KEY_MIRROR"},
    {2385, 2385, "doBeaway", "KEY_BEAWAY"},
    {145, 145, "doDNThr", "KEY_DTN_THR"},
    {146, 146, "doDNThr", "KEY_NTD_THR"},
    {154, 154, "doDNThr", "KEY_DN_SENSITIVITY"},
    {149, 149, "doDNTime", "KEY_DTN_H"},
    {150, 150, "doDNTime", "KEY_DTN_M"},
    {151, 151, "doDNTime", "KEY_NTD_H"},
    {152, 152, "doDNTime", "KEY_NTD_M"},
    {1536, 1536, "doIaCmd", "KEY_AUTO_FOCUS_MODE"},
    {1537, 1537, "doIaCmd", "KEY_AUTO_FOCUS_NEAR_LIMIT"},
    {1538, 1538, "doIaCmd", "KEY_AUTO_FOCUS_SENSITIVITY"},
    {1539, 1539, "doIaCmd_User", "KEY_AUTO_FOCUS_ONCE"},
    {1616, 1616, "doIaCmd_User", "KEY_LENS_RESET"},
    {1570, 1570, "doIaCmd_User", "KEY_ZOOM_OUT"},
    {1569, 1569, "doIaCmd_User", "KEY_ZOOM_IN"},
    {1553, 1553, "doIaCmd_User", "KEY_FOCUS_NEAR"},
    {1554, 1554, "doIaCmd_User", "KEY_FOCUS_FAR"},
    {1584, 1584, "doIaCmd", "KEY_DIGITAL_ZOOM"},
    {1571, 1571, "doIaCmd", "KEY_MZOOM_SPEED"},
    {8100, 8100, "doIaCmd_PanoTuning", "KEY_MIXSTREAM_DISTANCE"},
    {8101, 8101, "doIaCmd_PanoTuning", "KEY_MIXSTREAM_DISTANCE_Y_OFFSET"},
    {8102, 8102, "doIaCmd_PanoTuning", "KEY_MIXSTREAM_DISTANCE_WIDTH_OFFSET"},
    {8103, 8103, "doIaCmd_PanoTuning", "KEY_MIXSTREAM_DISTANCE_HEIGHT_OFFSET"},
    {8000, 0, nullptr, "KEY_SCHEME_MODE"},
    {8001, 0, nullptr, "KEY_SCHEME_START_HOUR"},
    {8002, 0, nullptr, "KEY_SCHEME_START_MIN"},
    {8003, 0, nullptr, "KEY_SCHEME_END_HOUR"},
    {8004, 0, nullptr, "KEY_SCHEME_END_MIN"},
    {10, 0, nullptr, "KEY_EMPTY1"},
    {11, 0, nullptr, "KEY_EMPTY2"},
    {1552, 1552, "doIaCmd", "KEY_MF_POSITION"},
    {1568, 1568, "doIaCmd", "KEY_MZ_POSITION"},
    {2432, 2432, "doImageAdjust", "KEY_CAP_OFF_ADJ_DIRECTION"},
    {2433, 2433, "doIaCmd", "KEY_CAP_OFF_ADJ_STEP"},
    {2434, 2434, "doIaCmd", "KEY_CAP_OFF_ADJ_H_MIN"},
    {2435, 2435, "doIaCmd", "KEY_CAP_OFF_ADJ_H_MAX"},
    {2436, 2436, "doImageAdjust", "KEY_CAP_OFF_ADJ_H_CUR"},
    {2437, 2437, "doIaCmd", "KEY_CAP_OFF_ADJ_V_MIN"},
    {2438, 2438, "doIaCmd", "KEY_CAP_OFF_ADJ_V_MAX"},
    {2439, 2439, "doImageAdjust", "KEY_CAP_OFF_ADJ_V_CUR"},
    {2497, 2464, "doIaCmd_User", "KEY_SENSOR_FPS"},
    {2512, 2512, "doIaCmd", "KEY_FREEZE"},
    {2528, 2528, "doIaCmd", "KEY_GAMMA"},
    {2560, 2560, "doIaCmd", "KEY_DN_AF_MODE"},
    {8201, 8201, "doIaCmd", "KEY_NONE_COLOR_MODE"},
    {8202, 8202, "doIaCmd", "KEY_DVE_MODE"},
    {8203, 8203, "doIaCmd", "KEY_AUTO_TIME"},
    {8209, 8209, "doIaCmd", "KEY_AUTO_TEMPR"},
    {8204, 8204, "doIaCmd", "KEY_CONTROL_FFC_MODE"},
    {8205, 8205, "doIaCmd", "KEY_IMAGES_ADJUST"},
    {8206, 8206, "doIaCmd", "KEY_IMAGES_REGULATE"},
    {8207, 8207, "doIaCmd", "KEY_FOCUS_SPEED_LEVEL"},
    {8208, 8208, "doIaCmd", "KEY_DVE_TYPE"},
    {8211, 8211, "doIaCmd", "KEY_SHUTTER_ADJUST"},
    {8212, 8212, "doIaCmd_User", "KEY_BACKGROUND_ADJUST"},
    {8217, 8217, "doIaCmd", "KEY_TEMPERATURE_STRIP_SWITCH"},
    {8231, 8231, "doIaCmd_User", "IA_CMD_UI_SHUTTER_RESET"},
    {9000, 9000, "doIaCmd_PanoTuning", "KEY_PANO_STITCH_DIST"},
    {9001, 9001, "doIaCmd_PanoTuning", "KEY_PANO_SAVE"},
    {9002, 9002, "doIaCmd_PanoTuning", "KEY_PANO_RESET"},
    {9003, 9003, "doIaCmd_PanoTuning", "KEY_PANO_PREVIEW"},
    {9004, 9004, "doIaCmd_PanoTuning", "KEY_PANO_ADJUST_EN"},
    {9005, 9005, "doIaCmd_PanoTuning", "KEY_PANO_ID"},
    {9101, 9101, "doIaCmd_PanoTuning", "KEY_PANO_ADJUST_EN_1"},
    {9102, 9102, "doIaCmd_PanoTuning", "KEY_PANO_YAW_1"},
    {9103, 9103, "doIaCmd_PanoTuning", "KEY_PANO_PITCH_1"},
    {9104, 9104, "doIaCmd_PanoTuning", "KEY_PANO_ROLL_1"},
    {9105, 9105, "doIaCmd_PanoTuning", "KEY_PANO_OFFSETX_1"},
    {9106, 9106, "doIaCmd_PanoTuning", "KEY_PANO_OFFSETY_1"},
    {9201, 9201, "doIaCmd_PanoTuning", "KEY_PANO_ADJUST_EN_2"},
    {9202, 9202, "doIaCmd_PanoTuning", "KEY_PANO_YAW_2"},
    {9203, 9203, "doIaCmd_PanoTuning", "KEY_PANO_PITCH_2"},
    {9204, 9204, "doIaCmd_PanoTuning", "KEY_PANO_ROLL_2"},
    {9205, 9205, "doIaCmd_PanoTuning", "KEY_PANO_OFFSETX_2"},
    {9206, 9206, "doIaCmd_PanoTuning", "KEY_PANO_OFFSETY_2"},
    {9301, 9301, "doIaCmd_PanoTuning", "KEY_PANO_ADJUST_EN_3"},
    {9302, 9302, "doIaCmd_PanoTuning", "KEY_PANO_YAW_3"},
    {9303, 9303, "doIaCmd_PanoTuning", "KEY_PANO_PITCH_3"},
    {9304, 9304, "doIaCmd_PanoTuning", "KEY_PANO_ROLL_3"},
    {9305, 9305, "doIaCmd_PanoTuning", "KEY_PANO_OFFSETX_3"},
    {9306, 9306, "doIaCmd_PanoTuning", "KEY_PANO_OFFSETY_3"},
    {9401, 9401, "doIaCmd_PanoTuning", "KEY_PANO_ADJUST_EN_4"},
    {9402, 9402, "doIaCmd_PanoTuning", "KEY_PANO_YAW_4"},
    {9403, 9403, "doIaCmd_PanoTuning", "KEY_PANO_PITCH_4"},
    {9404, 9404, "doIaCmd_PanoTuning", "KEY_PANO_ROLL_4"},
    {9405, 9405, "doIaCmd_PanoTuning", "KEY_PANO_OFFSETX_4"},
    {9406, 9406, "doIaCmd_PanoTuning", "KEY_PANO_OFFSETY_4"},
    {168, 0, nullptr, "KEY_IR_MODE_INTELL"},
    {175, 0, nullptr, "KEY_WHITE_MODE_INTELL"},
    {200, 0, nullptr, "KEY_IR_MANUAL_STRG_NEAR_INTELL"},
    {203, 0, nullptr, "KEY_WHITE_MANUAL_STRG_INTELL"},
    {224, 224, "doIaCmd", "KEY_LIGHT_TYPE"},
    {2570, 2048, "doIaCmd", "KEY_LDC_SWITCH"},
    {2571, 2064, "doIaCmd", "KEY_LDC_STRG"},
};
static_assert(sizeof(kExpected) / sizeof(kExpected[0]) == 155, "155 rows");

// A field's text, read within the field.
template <size_t N>
std::string fieldText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

std::string expectedFuncName(const ExpectedRow& row) {
    return row.handler ? std::string("&ISensorController::") + row.handler : "NULL";
}

class ControllerTest : public SandboxTest {};

// A controller with its key-command table built; released on destruction.
struct TableFixture {
    ISensorController controller;
    SensorControllerTestSeam seam{controller};
    TableFixture() { seam.prepare({{8000, 0}, {8001, 0}, {8002, 0}, {8003, 0}, {8004, 0}}, 2); }
    ~TableFixture() { seam.release(); }
};

}  // namespace

TEST_F(ControllerTest, ConstructionSetsDefaultsAndLeavesTheThreadIdle) {
    ISensorController controller;
    SensorControllerTestSeam seam(controller);

    EXPECT_EQ(0, controller.getSensorStatus());
    EXPECT_EQ(160u, seam.keyCmdNum());
    EXPECT_EQ(nullptr, seam.keyCmdMap());
    EXPECT_EQ(1, seam.cameraId());
    EXPECT_EQ(-1, seam.curScheme());
    EXPECT_EQ(-1, seam.lastScheme());
    EXPECT_EQ(1, seam.paramMode());
    EXPECT_EQ(8u, seam.version());
    EXPECT_EQ(255, seam.lastSchedule());
    EXPECT_EQ(0u, seam.flags());
    EXPECT_EQ(0u, seam.keyValSum());
    EXPECT_EQ(nullptr, seam.userKeyVal());
    EXPECT_EQ(nullptr, seam.keyValTmp());
    EXPECT_EQ(nullptr, seam.fctKeyVal());
    EXPECT_EQ(nullptr, seam.videoModule());
    EXPECT_TRUE(seam.showWDR());
    EXPECT_FALSE(seam.lprMode());
    EXPECT_FALSE(seam.scheduleScheme());
    EXPECT_FALSE(seam.autoScheme());
    EXPECT_FALSE(seam.limitedIrPower());
    ASSERT_NE(nullptr, seam.thread());
    EXPECT_FALSE(seam.thread()->isRunning());
    EXPECT_EQ("SensorThread", seam.thread()->getName());
    EXPECT_TRUE(iasim::callLog().empty());
}

TEST_F(ControllerTest, ThermalDeviceAlwaysStoresChannelTwo) {
    sandbox->writeMachineInfo(13);
    ISensorController controller;
    SensorControllerTestSeam seam(controller);
    EXPECT_EQ(13, seam.machineInfo().getDeviceType());
    controller.setChannelID(1);
    EXPECT_EQ(2, seam.cameraId());
    controller.setChannelID(5);
    EXPECT_EQ(2, seam.cameraId());
}

TEST_F(ControllerTest, OtherDevicesStoreTheChannelAsGiven) {
    sandbox->writeMachineInfo(1, "Hi3516AV200", "IPC-07");
    ISensorController controller;
    SensorControllerTestSeam seam(controller);
    EXPECT_EQ("Hi3516AV200", seam.machineInfo().getHardwareModel());
    EXPECT_EQ("IPC-07", seam.machineInfo().getHardwareCode());
    controller.setChannelID(3);
    EXPECT_EQ(3, seam.cameraId());
}

TEST_F(ControllerTest, MissingMachineInfoLeavesDeviceTypeZero) {
    ISensorController controller;
    SensorControllerTestSeam seam(controller);
    EXPECT_EQ(0, seam.machineInfo().getDeviceType());
    controller.setChannelID(2);
    EXPECT_EQ(2, seam.cameraId());
}

TEST_F(ControllerTest, AccessorsReportModuleIdAndStatus) {
    ISensorController controller;
    SensorControllerTestSeam seam(controller);
    seam.sysConf().moduleConfig.nModuleId = 4711;
    EXPECT_EQ(4711, controller.getSensorType());
    seam.setFlag(inited_flag);
    EXPECT_EQ(1, controller.getSensorStatus());
    seam.setFlag(initing_flag | switching_flag);
    EXPECT_EQ(1, controller.getSensorStatus());
    seam.clearFlag(inited_flag);
    EXPECT_EQ(0, controller.getSensorStatus());
}

TEST_F(ControllerTest, EveryRowMatchesTheDefinedTable) {
    TableFixture f;
    ASSERT_EQ(155u, f.seam.keyCmdNum());
    const keycmd* map = f.seam.keyCmdMap();
    ASSERT_NE(nullptr, map);

    // One handler pointer per handler name, and distinct names use distinct handlers.
    std::map<std::string, KeyHandler> handlerOf;
    for (size_t i = 0; i < 155; ++i) {
        const ExpectedRow& want = kExpected[i];
        const keycmd& row = map[i];
        SCOPED_TRACE("row " + std::to_string(i) + " " + want.name);
        EXPECT_EQ(want.key, row.key);
        EXPECT_EQ(want.cmd, row.ia_cmd);
        EXPECT_EQ(std::string(want.name).substr(0, 32), fieldText(row.szKeyName));
        EXPECT_EQ(expectedFuncName(want), fieldText(row.szFuncName));
        EXPECT_EQ(want.handler == nullptr, row.handler == nullptr);
        if (want.handler != nullptr) {
            auto it = handlerOf.emplace(want.handler, row.handler).first;
            EXPECT_TRUE(it->second == row.handler);
        }
    }
    EXPECT_EQ(11u, handlerOf.size());
    for (auto a = handlerOf.begin(); a != handlerOf.end(); ++a) {
        for (auto b = std::next(a); b != handlerOf.end(); ++b) {
            EXPECT_FALSE(a->second == b->second) << a->first << " and " << b->first;
        }
    }
}

TEST_F(ControllerTest, UnusedRowsStayZero) {
    TableFixture f;
    static const keycmd kZero = {};
    for (size_t i = 155; i < 160; ++i) {
        EXPECT_EQ(0, std::memcmp(&kZero, &f.seam.keyCmdMap()[i], sizeof(keycmd))) << "row " << i;
    }
}

TEST_F(ControllerTest, LongNamesFillTheirFieldWithoutTerminator) {
    TableFixture f;
    const keycmd& row = f.seam.keyCmdMap()[83];  // KEY_MIXSTREAM_DISTANCE_HEIGHT_OFFSET
    EXPECT_EQ(0, std::memcmp(row.szKeyName, "KEY_MIXSTREAM_DISTANCE_HEIGHT_OF", 32));
    // The handler field that follows is not overwritten by the long name.
    EXPECT_EQ("&ISensorController::doIaCmd_PanoTuning", fieldText(row.szFuncName));
    const keycmd& shortRow = f.seam.keyCmdMap()[1];
    EXPECT_EQ('\0', shortRow.szKeyName[std::strlen("KEY_BRIGHTNESS")]);
}

TEST_F(ControllerTest, HandlerUseCounts) {
    TableFixture f;
    std::map<std::string, int> counts;
    for (u32 i = 0; i < f.seam.keyCmdNum(); ++i) {
        counts[fieldText(f.seam.keyCmdMap()[i].szFuncName)]++;
    }
    const std::map<std::string, int> expected = {
        {"&ISensorController::doIaCmd", 81},      {"&ISensorController::doIaCmd_PanoTuning", 34},
        {"&ISensorController::doIaCmd_User", 11}, {"&ISensorController::test_debugParam", 4},
        {"&ISensorController::doDNTime", 4},      {"&ISensorController::doDNThr", 3},
        {"&ISensorController::doImageAdjust", 3}, {"&ISensorController::doHwdr", 1},
        {"&ISensorController::doDIS", 1},         {"&ISensorController::doMirror", 1},
        {"&ISensorController::doBeaway", 1},      {"NULL", 11},
    };
    EXPECT_EQ(expected, counts);
}

TEST_F(ControllerTest, LookupFindsTheFirstRowOrNothing) {
    TableFixture f;
    keycmd row = {};
    EXPECT_EQ(84, f.seam.findFromKeyCmdMap(8000, row));
    EXPECT_EQ(8000u, row.key);
    EXPECT_EQ(nullptr, row.handler);
    EXPECT_EQ(14, f.seam.findFromKeyCmdMap(83, row));
    EXPECT_EQ(85u, row.ia_cmd);
    EXPECT_EQ(154, f.seam.findFromKeyCmdMap(2571, row));

    keycmd untouched = {};
    untouched.key = 77;
    EXPECT_EQ(-1, f.seam.findFromKeyCmdMap(4, untouched));
    EXPECT_EQ(77u, untouched.key);
    // A key of an unused row (0) is not found either: the search stops at the filled rows.
    EXPECT_EQ(-1, f.seam.findFromKeyCmdMap(0, untouched));
}

TEST_F(ControllerTest, LookupWithoutTableFindsNothing) {
    ISensorController controller;
    SensorControllerTestSeam seam(controller);
    keycmd row = {};
    EXPECT_EQ(-1, seam.findFromKeyCmdMap(34, row));
}

TEST_F(ControllerTest, RebuildingTheTableKeepsOneTable) {
    TableFixture f;
    f.seam.buildKeyCmdMap();
    EXPECT_EQ(155u, f.seam.keyCmdNum());
    EXPECT_EQ(34u, f.seam.keyCmdMap()[1].key);
}

TEST_F(ControllerTest, ParameterFileNamesFollowTheChannelKind) {
    // The thermal channel's files carry their own name; flush shows which file a scheme uses.
    TableFixture f;
    f.seam.curScheme() = 1;
    f.seam.userKeyVal()[1][3].value = 24;  // window 00:00 - 24:00
    EXPECT_EQ(0, f.controller.flush());
    EXPECT_TRUE(sandbox->exists("/mnt/mtd/code/config_file/sensor1.cfg"));
    f.seam.cameraId() = 2;
    EXPECT_EQ(0, f.controller.flush());
    EXPECT_TRUE(sandbox->exists("/mnt/mtd/code/config_file/sensor-thermal1.cfg"));
}

TEST_F(ControllerTest, ThreadBodyRunsThisControllersPass) {
    ISensorController controller;
    SensorControllerTestSeam seam(controller);
    seam.prepare({{8000, 2}, {8001, 0}, {8002, 0}, {8003, 0}, {8004, 0}, {34, 50}}, 2);
    // In day/night mode every pass reads the processor's day/night state on the channel.
    seam.cameraId() = 3;
    seam.autoScheme() = true;
    ASSERT_TRUE(seam.thread()->start());

    bool seen = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!seen && std::chrono::steady_clock::now() < deadline) {
        for (const iasim::Call& call : iasim::callLog()) {
            seen = seen || (call.cmd == 153 && call.channel == 2 && call.opt == 1);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_TRUE(seam.thread()->stop());
    EXPECT_TRUE(seen);
    seam.release();
}
