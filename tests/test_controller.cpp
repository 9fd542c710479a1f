// The controller object after construction, the channel id rule and the key-command table.
#include <chrono>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "ControllerSeam.h"
#include "GThread.h"
#include "IaSim.h"
#include "ISensorController.h"
#include "Sandbox.h"

namespace {

// The key-command table as the system defines it, row by row: key, command ("=" when it is the
// key), handler ("-" for none), key name.
const char* const kExpectedRows[] = {
    "8240 = doIaCmd KEY__DDE_MANUAL_STRG",
    "34 = doIaCmd KEY_BRIGHTNESS",
    "2337 = doIaCmd KEY_SATURATION",
    "2353 = doIaCmd KEY_CONTRAST",
    "2321 = doIaCmd KEY_SHARPNESS",
    "96 = doIaCmd KEY_METER_AREA",
    "16 = doIaCmd KEY_EXPOSE_MODE",
    "49 = doIaCmd KEY_MAX_SHUTTER",
    "50 = doIaCmd KEY_FIX_SHUTTER",
    "65 = doIaCmd KEY_MAX_GAIN",
    "66 = doIaCmd KEY_FIX_GAIN",
    "80 = doIaCmd KEY_IRIS_SWITCH",
    "81 = doIaCmd KEY_IRIS_SPEED",
    "82 = doIaCmd KEY_IRIS_POSITION",
    "83 85 doIaCmd KEY_IRIS_SIZE",
    "17 83 doIaCmd_User KEY_IRIS_UP",
    "18 84 doIaCmd_User KEY_IRIS_DOWN",
    "768 = doIaCmd KEY_WB_MODE",
    "770 = doIaCmd KEY_R_GAIN",
    "771 = doIaCmd KEY_B_GAIN",
    "144 = doIaCmd KEY_DN_MODE",
    "147 = doIaCmd KEY_DELAY",
    "160 = doIaCmd KEY_IR_SWITCH",
    "161 = doIaCmd KEY_IR_MODE",
    "162 = doIaCmd KEY_IR_AUTO_STRG_NEAR",
    "163 = doIaCmd KEY_IR_MANUAL_STRG_NEAR",
    "164 = doIaCmd KEY_IR_AUTO_STRG_MEDIUM",
    "165 = doIaCmd KEY_IR_MANUAL_STRG_MEDIUM",
    "166 = doIaCmd KEY_IR_AUTO_STRG_FAR",
    "167 = doIaCmd KEY_IR_MANUAL_STRG_FAR",
    "155 = doIaCmd KEY_IR_ANTI_OVEREXP",
    "170 168 doIaCmd KEY_WHITE_SWITCH",
    "171 169 doIaCmd KEY_WHITE_MODE",
    "172 170 doIaCmd KEY_WHITE_MANUAL_STRG",
    "173 171 doIaCmd KEY_WHITE_MANUAL_STRG_MEDIUM",
    "174 172 doIaCmd KEY_WHITE_MANUAL_STRG_FAR",
    "2304 = doIaCmd KEY_2D_NR_SWITCH",
    "2305 = doIaCmd KEY_2D_NR_MODE",
    "2306 = doIaCmd KEY_2D_NR_STRG_A",
    "2307 = doIaCmd KEY_2D_NR_STRG_M",
    "2308 = doIaCmd KEY_3D_NR_SWITCH",
    "2309 = doIaCmd KEY_3D_NR_MODE",
    "2312 = doIaCmd KEY_3D_NR_STRG_A",
    "2313 = doIaCmd KEY_3D_NR_STRG_M",
    "2368 = doHwdr KEY_WDR_MODE",
    "2369 = doIaCmd KEY_WDR_STRG",
    "112 = doIaCmd KEY_HLC_SWITCH",
    "113 = doIaCmd KEY_HLC_STRG",
    "128 = doIaCmd KEY_BLC_SWITCH",
    "129 = doIaCmd KEY_BLC_MODE",
    "130 = doIaCmd KEY_BLC_STRG",
    "2416 = doDIS KEY_ANTI_SHAKE_SWITCH",
    "2417 = doIaCmd KEY_ANTI_SHAKE_STRG",
    "2400 = doIaCmd KEY_DEFLG_SWITCH",
    "2401 = doIaCmd KEY_DEFLG_STRG",
    "176 = doIaCmd KEY_IN_OUT_SIDE",
    "190 = test_debugParam KEY_TEST_PARAM1",
    "191 = test_debugParam KEY_TEST_PARAM2",
    "192 = test_debugParam KEY_TEST_PARAM3",
    "193 = test_debugParam KEY_TEST_PARAM4",
    "2384 = doMirror KEY_MIRROR",
    "2385 = doBeaway KEY_BEAWAY",
    "145 = doDNThr KEY_DTN_THR",
    "146 = doDNThr KEY_NTD_THR",
    "154 = doDNThr KEY_DN_SENSITIVITY",
    "149 = doDNTime KEY_DTN_H",
    "150 = doDNTime KEY_DTN_M",
    "151 = doDNTime KEY_NTD_H",
    "152 = doDNTime KEY_NTD_M",
    "1536 = doIaCmd KEY_AUTO_FOCUS_MODE",
    "1537 = doIaCmd KEY_AUTO_FOCUS_NEAR_LIMIT",
    "1538 = doIaCmd KEY_AUTO_FOCUS_SENSITIVITY",
    "1539 = doIaCmd_User KEY_AUTO_FOCUS_ONCE",
    "1616 = doIaCmd_User KEY_LENS_RESET",
    "1570 = doIaCmd_User KEY_ZOOM_OUT",
    "1569 = doIaCmd_User KEY_ZOOM_IN",
    "1553 = doIaCmd_User KEY_FOCUS_NEAR",
    "1554 = doIaCmd_User KEY_FOCUS_FAR",
    "1584 = doIaCmd KEY_DIGITAL_ZOOM",
    "1571 = doIaCmd KEY_MZOOM_SPEED",
    "8100 = doIaCmd_PanoTuning KEY_MIXSTREAM_DISTANCE",
    "8101 = doIaCmd_PanoTuning KEY_MIXSTREAM_DISTANCE_Y_OFFSET",
    "8102 = doIaCmd_PanoTuning KEY_MIXSTREAM_DISTANCE_WIDTH_OFFSET",
    "8103 = doIaCmd_PanoTuning KEY_MIXSTREAM_DISTANCE_HEIGHT_OFFSET",
    "8000 0 - KEY_SCHEME_MODE",
    "8001 0 - KEY_SCHEME_START_HOUR",
    "8002 0 - KEY_SCHEME_START_MIN",
    "8003 0 - KEY_SCHEME_END_HOUR",
    "8004 0 - KEY_SCHEME_END_MIN",
    "10 0 - KEY_EMPTY1",
    "11 0 - KEY_EMPTY2",
    "1552 = doIaCmd KEY_MF_POSITION",
    "1568 = doIaCmd KEY_MZ_POSITION",
    "2432 = doImageAdjust KEY_CAP_OFF_ADJ_DIRECTION",
    "2433 = doIaCmd KEY_CAP_OFF_ADJ_STEP",
    "2434 = doIaCmd KEY_CAP_OFF_ADJ_H_MIN",
    "2435 = doIaCmd KEY_CAP_OFF_ADJ_H_MAX",
    "2436 = doImageAdjust KEY_CAP_OFF_ADJ_H_CUR",
    "2437 = doIaCmd KEY_CAP_OFF_ADJ_V_MIN",
    "2438 = doIaCmd KEY_CAP_OFF_ADJ_V_MAX",
    "2439 = doImageAdjust KEY_CAP_OFF_ADJ_V_CUR",
    "2497 2464 doIaCmd_User KEY_SENSOR_FPS",
    "2512 = doIaCmd KEY_FREEZE",
    "2528 = doIaCmd KEY_GAMMA",
    "2560 = doIaCmd KEY_DN_AF_MODE",
    "8201 = doIaCmd KEY_NONE_COLOR_MODE",
    "8202 = doIaCmd KEY_DVE_MODE",
    "8203 = doIaCmd KEY_AUTO_TIME",
    "8209 = doIaCmd KEY_AUTO_TEMPR",
    "8204 = doIaCmd KEY_CONTROL_FFC_MODE",
    "8205 = doIaCmd KEY_IMAGES_ADJUST",
    "8206 = doIaCmd KEY_IMAGES_REGULATE",
    "8207 = doIaCmd KEY_FOCUS_SPEED_LEVEL",
    "8208 = doIaCmd KEY_DVE_TYPE",
    "8211 = doIaCmd KEY_SHUTTER_ADJUST",
    "8212 = doIaCmd_User KEY_BACKGROUND_ADJUST",
    "8217 = doIaCmd KEY_TEMPERATURE_STRIP_SWITCH",
    "8231 = doIaCmd_User IA_CMD_UI_SHUTTER_RESET",
    "9000 = doIaCmd_PanoTuning KEY_PANO_STITCH_DIST",
    "9001 = doIaCmd_PanoTuning KEY_PANO_SAVE",
    "9002 = doIaCmd_PanoTuning KEY_PANO_RESET",
    "9003 = doIaCmd_PanoTuning KEY_PANO_PREVIEW",
    "9004 = doIaCmd_PanoTuning KEY_PANO_ADJUST_EN",
    "9005 = doIaCmd_PanoTuning KEY_PANO_ID",
    "9101 = doIaCmd_PanoTuning KEY_PANO_ADJUST_EN_1",
    "9102 = doIaCmd_PanoTuning KEY_PANO_YAW_1",
    "9103 = doIaCmd_PanoTuning KEY_PANO_PITCH_1",
    "9104 = doIaCmd_PanoTuning KEY_PANO_ROLL_1",
    "9105 = doIaCmd_PanoTuning KEY_PANO_OFFSETX_1",
    "9106 = doIaCmd_PanoTuning KEY_PANO_OFFSETY_1",
    "9201 = doIaCmd_PanoTuning KEY_PANO_ADJUST_EN_2",
    "9202 = doIaCmd_PanoTuning KEY_PANO_YAW_2",
    "9203 = doIaCmd_PanoTuning KEY_PANO_PITCH_2",
    "9204 = doIaCmd_PanoTuning KEY_PANO_ROLL_2",
    "9205 = doIaCmd_PanoTuning KEY_PANO_OFFSETX_2",
    "9206 = doIaCmd_PanoTuning KEY_PANO_OFFSETY_2",
    "9301 = doIaCmd_PanoTuning KEY_PANO_ADJUST_EN_3",
    "9302 = doIaCmd_PanoTuning KEY_PANO_YAW_3",
    "9303 = doIaCmd_PanoTuning KEY_PANO_PITCH_3",
    "9304 = doIaCmd_PanoTuning KEY_PANO_ROLL_3",
    "9305 = doIaCmd_PanoTuning KEY_PANO_OFFSETX_3",
    "9306 = doIaCmd_PanoTuning KEY_PANO_OFFSETY_3",
    "9401 = doIaCmd_PanoTuning KEY_PANO_ADJUST_EN_4",
    "9402 = doIaCmd_PanoTuning KEY_PANO_YAW_4",
    "9403 = doIaCmd_PanoTuning KEY_PANO_PITCH_4",
    "9404 = doIaCmd_PanoTuning KEY_PANO_ROLL_4",
    "9405 = doIaCmd_PanoTuning KEY_PANO_OFFSETX_4",
    "9406 = doIaCmd_PanoTuning KEY_PANO_OFFSETY_4",
    "168 0 - KEY_IR_MODE_INTELL",
    "175 0 - KEY_WHITE_MODE_INTELL",
    "200 0 - KEY_IR_MANUAL_STRG_NEAR_INTELL",
    "203 0 - KEY_WHITE_MANUAL_STRG_INTELL",
    "224 = doIaCmd KEY_LIGHT_TYPE",
    "2570 2048 doIaCmd KEY_LDC_SWITCH",
    "2571 2064 doIaCmd KEY_LDC_STRG"};
static_assert(sizeof(kExpectedRows) / sizeof(kExpectedRows[0]) == 155, "155 rows");

template <size_t N>
std::string fieldText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

// Scheme arrays of two user schemes in day/night mode, and the key table.
void prepare(SensorControllerTestSeam& seam) {
    seam.prepare({{8000, 2}, {8001, 0}, {8002, 0}, {8003, 0}, {8004, 0}, {34, 50}}, 2);
}

class ControllerTest : public SandboxTest {};

}  // namespace

TEST_F(ControllerTest, ConstructionLeavesNoTableAndAnIdleThread) {
    ISensorController controller;
    SensorControllerTestSeam seam(controller);
    EXPECT_EQ(0, controller.getSensorStatus());
    EXPECT_EQ(160u, seam.keyCmdNum());
    EXPECT_EQ(nullptr, seam.keyCmdMap());
    EXPECT_EQ(-1, seam.curScheme());
    EXPECT_EQ(-1, seam.lastScheme());
    EXPECT_EQ(255, seam.lastSchedule());
    EXPECT_TRUE(seam.showWDR());
    ASSERT_NE(nullptr, seam.thread());
    EXPECT_FALSE(seam.thread()->isRunning());
    EXPECT_EQ("SensorThread", seam.thread()->getName());
    EXPECT_TRUE(iasim::callLog().empty());
}

TEST_F(ControllerTest, ChannelIdFollowsTheDeviceType) {
    const struct {
        int deviceType;  // 0: no machine information file
        int given, stored;
    } cases[] = {{13, 1, 2}, {13, 5, 2}, {1, 3, 3}, {14, 1, 1}, {0, 2, 2}};
    for (const auto& c : cases) {
        sandbox->remove("/mnt/mtd/code/factory_setting/machineinfo.ini");
        if (c.deviceType != 0) {
            sandbox->writeMachineInfo(c.deviceType);
        }
        ISensorController controller;
        SensorControllerTestSeam seam(controller);
        controller.setChannelID(c.given);
        EXPECT_EQ(c.stored, seam.cameraId()) << "device type " << c.deviceType;
    }
}

TEST_F(ControllerTest, EveryRowMatchesTheDefinedTable) {
    ISensorController controller;
    SensorControllerTestSeam seam(controller);
    prepare(seam);
    ASSERT_EQ(155u, seam.keyCmdNum());
    const keycmd* map = seam.keyCmdMap();

    std::map<std::string, KeyHandler> handlerOf;  // one pointer per handler name
    std::map<std::string, int> uses;
    for (size_t i = 0; i < 155; ++i) {
        std::istringstream in(kExpectedRows[i]);
        std::string key, cmd, handler, name;
        in >> key >> cmd >> handler >> name;
        SCOPED_TRACE(kExpectedRows[i]);
        EXPECT_EQ(key, std::to_string(map[i].key));
        EXPECT_EQ(cmd == "=" ? key : cmd, std::to_string(map[i].ia_cmd));
        // A name of 32 characters or more fills its field without a terminator.
        EXPECT_EQ(name.substr(0, 32), fieldText(map[i].szKeyName));
        const std::string funcName = handler == "-" ? "NULL" : "&ISensorController::" + handler;
        EXPECT_EQ(funcName, fieldText(map[i].szFuncName));
        EXPECT_EQ(handler == "-", map[i].handler == nullptr);
        if (handler != "-") {
            EXPECT_TRUE(handlerOf.emplace(handler, map[i].handler).first->second == map[i].handler);
        }
        uses[funcName]++;
    }
    // Distinct handler names are distinct handlers.
    for (auto a = handlerOf.begin(); a != handlerOf.end(); ++a) {
        for (auto b = std::next(a); b != handlerOf.end(); ++b) {
            EXPECT_FALSE(a->second == b->second) << a->first << " / " << b->first;
        }
    }
    const std::map<std::string, int> expectedUses = {
        {"&ISensorController::doIaCmd", 81},      {"&ISensorController::doIaCmd_PanoTuning", 34},
        {"&ISensorController::doIaCmd_User", 11}, {"&ISensorController::test_debugParam", 4},
        {"&ISensorController::doDNTime", 4},      {"&ISensorController::doDNThr", 3},
        {"&ISensorController::doImageAdjust", 3}, {"&ISensorController::doHwdr", 1},
        {"&ISensorController::doDIS", 1},         {"&ISensorController::doMirror", 1},
        {"&ISensorController::doBeaway", 1},      {"NULL", 11}};
    EXPECT_EQ(expectedUses, uses);
    static const keycmd kZero = {};
    for (size_t i = 155; i < 160; ++i) {
        EXPECT_EQ(0, std::memcmp(&kZero, &map[i], sizeof(keycmd))) << "row " << i;
    }
    seam.release();
}

TEST_F(ControllerTest, LookupFindsTheFirstRowOrNothing) {
    ISensorController controller;
    SensorControllerTestSeam seam(controller);
    keycmd row = {};
    EXPECT_EQ(-1, seam.findFromKeyCmdMap(34, row));  // no table yet
    prepare(seam);
    EXPECT_EQ(84, seam.findFromKeyCmdMap(8000, row));
    EXPECT_EQ(nullptr, row.handler);
    EXPECT_EQ(14, seam.findFromKeyCmdMap(83, row));
    EXPECT_EQ(85u, row.ia_cmd);
    row.key = 77;
    EXPECT_EQ(-1, seam.findFromKeyCmdMap(4, row));
    EXPECT_EQ(-1, seam.findFromKeyCmdMap(0, row));  // the zero rows are beyond the search
    EXPECT_EQ(77u, row.key);
    seam.release();
}

TEST_F(ControllerTest, ThreadBodyRunsThisControllersPass) {
    ISensorController controller;
    SensorControllerTestSeam seam(controller);
    prepare(seam);
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
