// The sensor controller: construction, key table, thread body, and the parameter engine with its
// handlers: what reaches processor and video module in which order, caches, files, text forms.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ControllerSeam.h"
#include "GThread.h"
#include "IaSim.h"
#include "ISensorController.h"
#include "Sandbox.h"
#include "SimVideoModule.h"

namespace {

// The key-command table row by row: key, command ("=": the key), handler ("-": none), key name.
const char* const kRows[] = {"8240 = doIaCmd KEY__DDE_MANUAL_STRG",
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

// Four user schemes and the factory copy hold these: the five scheme keys first (window 00:00 -
// 24:00), then the keys the cases use.
const std::vector<KeyVal> kFactory = {
    {8000, 0}, {8001, 0}, {8002, 0}, {8003, 24}, {8004, 0}, {34, 50}, {2337, 50}, {2353, 50},
    {144, 0},  {145, 30}, {154, 3},  {149, 18},  {150, 5},  {151, 6}, {152, 45},  {161, 0},
    {163, 10}, {165, 10}, {167, 60}, {168, 0},   {201, 0},  {224, 0}, {2368, 2},  {2416, 0},
    {2384, 0}, {2385, 2}, {2432, 0}, {9102, 0},  {190, 0},  {10, 0},  {11, 0}};

// A video module double putting the processor calls and the notifications on one line in order:
// "34=50" a set ("[a,b]" a record, "!" a failure), "167?90" a get and what it read, "v1:2370=0" a
// notification on channel 1. Notified under the controller's lock; read while no list runs.
struct LineVideo : SimVideoModule {
    int notifySensorParam(int channel, int key, int value) const override {
        all();
        line += " v" + std::to_string(channel) + ":" + std::to_string(key) + "=" +
                std::to_string(value);
        return SimVideoModule::notifySensorParam(channel, key, value);
    }
    std::string all() const {  // the line, with the processor calls not yet on it
        const auto calls = iasim::callLog();
        for (; seen < calls.size(); ++seen) {
            const iasim::Call& call = calls[seen];
            std::string value = call.record.empty() ? std::to_string(call.value) : "";
            for (int32_t field : call.record) {
                value += (value.empty() ? "[" : ",") + std::to_string(field);
            }
            line += " " + std::to_string(call.cmd) + (call.opt == 0 ? "=" : "?") + value +
                    (call.record.empty() ? "" : "]") + (call.result ? "!" : "");
        }
        return line.substr(line.empty() ? 0 : 1);
    }
    mutable std::string line;
    mutable size_t seen = 0;
};

// clang-format off
// The state a list is sent in: automatic day/night mode, limited infrared power, WDR and Beaway
// hidden, reloading, switching, device type 13, zoom/focus lock, not saving.
enum Knob : unsigned { kAutoDayNight = 1, kIrLimit = 2, kHidden = 4, kRestoring = restoring_flag,
                       kSwitching = switching_flag, kThermalDevice = 64, kLensLock = 128, kNoSave = 256 };

const char kOneShots[] = "(1539,1)(1569,1)(17,1)(2497,1)(8231,1)";
// A list sent in a scheme and state, sets of command `fail` failing: its result, what processor
// and video module heard in order, and what the caches held. `says` is the behaviour stated.
struct ListCase { const char *name, *says; int scheme; unsigned knobs; int fail; const char *list; int ret; const char *heard, *held; };
const ListCase kLists[] = {
    {"StopsAtTheFailingHandler", "sent in order until a handler fails (result: its key negated); keys without a row go as they are",
     0, 0, 2337, "(34,60)(4,9)(2337,70)(2353,80)", -2337, "34=60 4=9 2337=70!", "0:34=60 0:2337=50 0:2353=50"},
    {"SkipsCachedValuesWhenSaving", "a value equal to the cache is skipped when saving",
     0, 0,       0, "(34,50)(2337,51)", 0, "2337=51", "0:34=50 0:2337=51 1:2337=50"},
    {"SendsCachedValuesWithoutStoringWhenNotSaving", "a value equal to the cache is sent, not stored, when not saving",
     0, kNoSave, 0, "(34,50)(2337,51)", 0, "34=50 2337=51", "0:34=50 0:2337=50"},
    {"SchemeZeroSharesDayNightKeysWithSchemeOne", "in automatic day/night mode scheme 0 shares its day/night keys with scheme 1",
     0, kAutoDayNight, 0, "(144,1)", 0, "144=1", "0:144=1 1:144=1 2:144=0"},
    {"OtherSchemesOnlyStoreDayNightKeys", "in automatic day/night mode other schemes only store the shared day/night keys",
     1, kAutoDayNight, 0, "(144,2)(145,40)(154,5)", 0, "154=[40,0,5]", "1:144=2 1:145=40 1:154=5 0:144=0 0:145=30"},
    {"StoresSchemeModeWindowAndEmptyKeysOnly", "outside scheme 0 the scheme mode is only stored, like the window and the empty keys",
     2, 0, 0, "(8000,2)(8001,8)(8004,15)(10,1)(11,2)", 0, "", "2:8000=2 2:8001=8 2:8004=15 2:10=1 2:11=2 1:8000=0"},
    {"MirrorsPlainLightKeysToShadowKeys", "plain light keys are mirrored to their shadow keys; shadow keys are skipped",
     0, 0, 0, "(161,2)(168,5)", 0, "161=2", "0:161=2 0:168=2"},
    {"SendsShadowKeysAsPlainKeysUnderLightType2", "light type 2 sends shadow keys as their plain keys and skips plain keys",
     0, 0, 0, "(224,2)(161,1)(168,3)(201,9)", 0, "224=2 161=3 165=9", "0:161=3 0:168=3 0:165=9 0:201=9"},
    {"EndsTheListByItsFirstKeyAboveThePowerLimit", "limited infrared power: near plus far (60) above 100 ends the list by its first key",
     0, kIrLimit, 0, "(34,70)(163,41)(2337,40)", -34, "34=70", "0:34=70 0:163=10 0:2337=50"},
    {"ChecksFarAgainstTheNewNearStrength", "limited infrared power: far checked against the near strength just stored",
     0, kIrLimit, 0, "(163,40)(167,61)", -163, "163=40", "0:163=40 0:167=60"},
    {"OrdersWdrStabilisationAndMirror", "WDR, stabilisation and mirror tell the video module before the processor",
     0, 0, 0, "(2368,1)(2416,1)(2384,1)", 0, "v1:2370=0 v1:2368=1 2368=1 v1:2370=1 v1:2416=1 2416=1 v1:2384=1 2384=1", "0:2368=1"},
    {"OrdersBeawayImageAdjustPanoramaAndTestKeys", "Beaway first to the video module, image adjust after the processor, panorama and test keys to the video module alone",
     0, 0, 0, "(2385,1)(2432,1)(9102,1)(8100,1)(190,1)", 0, "v1:2385=1 2385=1 2432=1 v1:2432=1 v1:9102=1 v1:8100=1 v1:190=1", "0:9102=1"},
    {"NotifiesChannel1OnDeviceType13", "on device type 13 every notification names channel 1",
     0, kThermalDevice, 0, "(2368,1)(2432,1)(9102,1)", 0, "v1:2370=0 v1:2368=1 2368=1 v1:2370=1 2432=1 v1:2432=1 v1:9102=1", ""},
    {"ThermalChannelRoutesMirrorAndColourMode", "the thermal channel routes the mirror through its handler and the colour mode to the video module alone",
     0, kThermalDevice, 0, "(2384,1)(8201,3)", 0, "v1:2384=1 2384=1 v1:8201=3", "0:2384=1"},
    {"HiddenWdrAndBeawayBecomeZero", "hidden WDR and Beaway turn the value into 0 and send nothing",
     0, kHidden, 0, "(2368,1)(2385,1)", 0, "", "0:2368=0 0:2385=0"},
    {"DayNightRecordsTakeOtherFieldsFromTheScheme", "day/night records take their other fields from the current scheme (0 when not held)",
     0, 0, 0, "(145,40)(152,30)", 0, "145=[40,0,3] 152=[18,5,6,30]", ""},
    {"DayNightRecordsFollowTheCurrentScheme", "day/night records of scheme 1 take the fields scheme 1 holds",
     1, 0, 0, "(145,55)(154,7)", 0, "145=[55,0,3] 154=[55,0,7]", "0:145=30"},
    {"RefusedThresholdStopsTheList", "a refused threshold stops the list",
     0, 0,          145, "(145,40)", -145, "145=[40,0,3]!", "0:145=30"},
    {"RefusedThresholdCountsAsDoneWhileReloading", "a refused threshold counts as done while the last parameters are reloaded",
     0, kRestoring, 145, "(145,40)", 0,    "145=[40,0,3]!", "0:145=40"},
    {"SendsOneShotKeys", "one-shot keys reach the processor with their commands",
     0, kNoSave,              0, kOneShots, 0, "1539=1 1569=1 83=1 2464=1 8231=1", ""},
    {"IgnoresOneShotKeysWhileSwitching", "one-shot keys are ignored while a scheme is switched",
     0, kNoSave | kSwitching, 0, kOneShots, 0, "", ""},
    {"LensLockHoldsBackLensCommands", "the zoom/focus lock holds back the lens commands 1536 to 1616",
     0, kLensLock, 0, "(1535,1)(1536,1)(1600,1)(1616,1)(1617,1)", 0, "1535=1 1617=1", ""},
};
// clang-format on

class ControllerTest : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        build(0);
    }
    void TearDown() override {
        seam->release();
        setshowBeawayFalg(true);
        SandboxTest::TearDown();
    }
    void build(unsigned knobs) {
        if (seam) {
            seam->release();
        }
        controller.reset(new ISensorController());
        seam.reset(new SensorControllerTestSeam(*controller));
        seam->prepare(kFactory, 4);
        seam->machineInfo().setDeviceType(knobs & kThermalDevice ? 13 : 1);
        controller->setVideoStreamModule(&video);
        controller->setChannelID(1);  // 2 on device type 13
        seam->curScheme() = 0;
        seam->autoScheme() = knobs & kAutoDayNight;
        seam->limitedIrPower() = knobs & kIrLimit;
        seam->showWDR() = !(knobs & kHidden);
        setshowBeawayFalg(!(knobs & kHidden));
        seam->zoomFocus().setLockZoomFocusEnable(knobs & kLensLock);
        seam->setFlag(knobs & (kRestoring | kSwitching));
        iasim::reset();
        video.line.clear();
        video.seen = 0;
    }
    // The cached values of the "scheme:key=value" entries of `expected`, in the same form.
    std::string held(const std::string& expected) {
        std::istringstream in(expected);
        std::string entry, out;
        for (u32 value = 0; in >> entry; value = 0) {
            const bool found =
                seam->getKeyValFromCache(std::stoul(entry),
                                         std::stoul(entry.substr(entry.find(':') + 1)), value) >= 0;
            out += (out.empty() ? "" : " ") + entry.substr(0, entry.find('=') + 1) +
                   (found ? std::to_string(int32_t(value)) : "?");
        }
        return out;
    }

    LineVideo video;
    std::unique_ptr<ISensorController> controller;
    std::unique_ptr<SensorControllerTestSeam> seam;
};

}  // namespace

TEST_F(ControllerTest, ConstructionGivesStatus0And160RowsAndDeviceType13StoresChannel2) {
    sandbox->writeMachineInfo(13);
    ISensorController fresh;
    SensorControllerTestSeam freshSeam(fresh);
    EXPECT_EQ(0, fresh.getSensorStatus());
    EXPECT_EQ(160u, freshSeam.keyCmdNum());  // the capacity until the table is built
    fresh.setChannelID(5);
    EXPECT_EQ(2, freshSeam.cameraId());
}

TEST_F(ControllerTest, EveryRowOfTheKeyTableAndAKeyWithoutARow) {
    ASSERT_EQ(std::size(kRows), seam->keyCmdNum());
    std::map<std::string, KeyHandler> byName;  // the handler of each handler name
    auto field = [](const char* text, size_t size) {
        return std::string(text, strnlen(text, size));
    };
    for (size_t i = 0; i < std::size(kRows); ++i) {
        const keycmd& row = seam->keyCmdMap()[i];
        std::istringstream in(kRows[i]);
        std::string key, cmd, handler, name;
        in >> key >> cmd >> handler >> name;
        // A name of 32 characters or more fills its field without a terminator.
        EXPECT_EQ(key + " " + (cmd == "=" ? key : cmd) + " " + name.substr(0, 32) + " " +
                      (handler == "-" ? "NULL" : "&ISensorController::" + handler),
                  std::to_string(row.key) + " " + std::to_string(row.ia_cmd) + " " +
                      field(row.szKeyName, 32) + " " + field(row.szFuncName, 64));
        EXPECT_TRUE(byName.emplace(handler, row.handler).first->second == row.handler) << kRows[i];
    }
    EXPECT_TRUE(byName["-"] == nullptr);
    for (const auto& a : byName) {
        for (const auto& b : byName) {
            EXPECT_EQ(a.first == b.first, a.second == b.second) << a.first << " / " << b.first;
        }
    }
    keycmd row = {};
    EXPECT_EQ(-1, seam->findFromKeyCmdMap(4, row));  // a key without a row
}

TEST_F(ControllerTest, ThreadBodyRunsThisControllersPass) {
    // In day/night mode every pass reads the processor's day/night state on the channel.
    seam->cameraId() = 3;
    seam->autoScheme() = true;
    auto seen = [] {
        const auto log = iasim::callLog();
        return std::any_of(log.begin(), log.end(), [](const iasim::Call& call) {
            return call.cmd == 153 && call.channel == 2 && call.opt == 1;
        });
    };
    ASSERT_TRUE(seam->thread()->start());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!seen() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_TRUE(seam->thread()->stop());
    EXPECT_TRUE(seen());
}

// Each list case is a test of its own, named for the behaviour it states.
class ListTest : public ControllerTest, public ::testing::WithParamInterface<ListCase> {};

TEST_P(ListTest, ReachesProcessorVideoModuleAndCachesAsTheStateDecides) {
    const ListCase& c = GetParam();
    build(c.knobs);
    seam->curScheme() = c.scheme;
    iasim::injectFailure(c.fail, 0, -1);  // command 0 is never sent
    EXPECT_EQ(c.ret, controller->setParameters(c.list, !(c.knobs & kNoSave)))
        << "result of " << c.list << ": " << c.says;
    EXPECT_EQ(c.heard, video.all()) << "what processor and video module hear: " << c.says;
    EXPECT_EQ(c.held, held(c.held)) << "what the caches hold: " << c.says;
}

INSTANTIATE_TEST_SUITE_P(Lists, ListTest, ::testing::ValuesIn(kLists),
                         [](const ::testing::TestParamInfo<ListCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(ControllerTest, SchemeModeOfSchemeZeroSetsTheModeAndSpreadsToTheUserSchemes) {
    for (int mode : {1, 2, 7}) {  // scheduled, automatic day/night, any other
        EXPECT_EQ(0, controller->setParameter(8000, mode, true));
        EXPECT_EQ(mode == 1, seam->scheduleScheme()) << mode;
        EXPECT_EQ(mode == 2, seam->autoScheme()) << mode;
        const std::string spread = std::to_string(mode == 7 ? 0 : mode),
                          schemes = "0:8000=" + std::to_string(mode) + " 1:8000=" + spread +
                                    " 3:8000=" + spread + " 4:8000=0";
        EXPECT_EQ(schemes, held(schemes));
    }
}

TEST_F(ControllerTest, PairsBeyondTheScratchArrayAreIgnored) {
    std::string text;
    for (u32 i = 0; i < seam->keyValSum(); ++i) {
        text += "(2337," + std::to_string(100 + i) + ")";
    }
    EXPECT_EQ(0, controller->setParameters(text + "(34,77)", true));
    const std::string last = "0:2337=" + std::to_string(99 + seam->keyValSum()) + " 0:34=50";
    EXPECT_EQ(last, held(last));
}

TEST_F(ControllerTest, TextFormsReadFromCacheOrProcessorAndRefuseMalformedIds) {
    // 34 is cached, infrared 160 is not (-1 without asking), 2369 fails, 2321 is asked.
    iasim::injectFailure(2369, 1, -1);
    std::string out = "stale";
    EXPECT_TRUE(controller->getParameters("(34,160,2369,2321)", out));
    EXPECT_EQ("(34,50)(160,-1)(2321,50)", out);
    for (const char* bad : {"34,2337", "()", "(34,2337", "", "(34))", "x(34)"}) {
        EXPECT_FALSE(controller->getParameters(bad, out)) << bad;
    }
    // The sensor check sends or queries its record and needs three ids.
    std::string query = "(1,2,3)", command = "(4,0,6)", refused = "(1,2)";
    EXPECT_EQ(0, controller->SensorCheck(query) + controller->SensorCheck(command) +
                     controller->SensorCheck(refused));
    EXPECT_EQ("2369?0! 2321?50 2816?[1,2,3,6] 2816=[4,0,6,0]", video.all());
    EXPECT_EQ("6 (4,0,6) (1,2)", query + " " + command + " " + refused);  // the query's result
}

TEST_F(ControllerTest, FlushChecksTheTimeWindowAndWritesTheCurrentScheme) {
    seam->curScheme() = -1;  // no current scheme: nothing to check or write
    EXPECT_EQ(0, controller->flush());
    EXPECT_EQ(std::vector<std::string>{}, sandbox->listFiles());
    seam->curScheme() = 3;
    EXPECT_EQ(0, controller->setParameter(34, -2, true));
    const int cases[][5] = {{20, 0, 8, 0, 507},   {25, 0, 26, 0, 505}, {24, 1, 24, 0, 505},
                            {24, 0, 24, 30, 506}, {24, 0, 24, 0, 507}, {-1, 0, 8, 0, 505},
                            {8, 0, 20, 0, 0},     {0, 0, 24, 0, 0}};  // start, end, code
    for (const auto& c : cases) {
        for (int i = 0; i < 4; ++i) {
            seam->userKeyVal()[3][1 + i].value = c[i];
        }
        EXPECT_EQ(c[4], controller->flush()) << c[0] << ":" << c[1] << "-" << c[2] << ":" << c[3];
    }
    const std::string bytes = sandbox->readFile("/mnt/mtd/code/config_file/sensor3.cfg");
    ASSERT_EQ(8u * kFactory.size(), bytes.size());
    EXPECT_EQ(std::string("\x40\x1f\0\0\0\0\0\0", 8), bytes.substr(0, 8));
    EXPECT_EQ(std::string("\x22\0\0\0\xfe\xff\xff\xff", 8), bytes.substr(5 * 8, 8));
}

TEST_F(ControllerTest, ConcurrentHostCallsStayConsistent) {
    // Each thread owns one key, so it must always read back what it last wrote.
    std::vector<int> mismatches(4, 0);
    std::vector<std::thread> threads;
    for (int key : {34, 2337, 2353, 154}) {
        threads.emplace_back([&, key, t = threads.size()] {
            const std::string id = std::to_string(key);
            for (int value = 1000; value < 1150; ++value) {
                const std::string pair = "(" + id + "," + std::to_string(value) + ")";
                value % 2 ? controller->setParameter(key, value, true)
                          : controller->setParameters(pair, true);
                int got = -1;
                std::string text;
                mismatches[t] += !controller->getParameter(key, got) || got != value ||
                                 !controller->getParameters("(" + id + ")", text) || text != pair;
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ((std::vector<int>{0, 0, 0, 0}), mismatches);
    EXPECT_EQ(1149, iasim::getValue(0, 34));
}
