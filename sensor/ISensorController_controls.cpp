// Named lens, exposure and light controls.
//
// Two kinds: parameter accessors go through the engine by key (setParameter / getParameter,
// which take the lock, cache the value and persist it with the next flush); direct controls
// call doIaCmd with a processor command at once, bypass cache and files, and take no lock.
#define SENSOR_SOURCE_NAME "ISensorController.cpp"
#include "SensorTrace.h"

#include <cstring>
#include <string>

#include "ISensorController.h"
#include "IaRecordCmds.h"
#include "SensorKeys.h"
#include "StringHandler.h"
#include "ia_ioctrl.h"

namespace {

using namespace SensorKeys;

// The exposure mode the iris controls need (manual iris).
const int kExposeModeIris = 3;
// Highest light type.
const u32 kMaxLightType = 3;

// Iris bounds: values below are sent as the minimum, values above as the "fully open" code.
const int kIrisMin = 256;
const int kIrisMax = 25600;
const int kIrisOpen = 1 << 20;

// Zoom motor position of each whole zoom ratio, 1x to 16x.
const u32 kZoomPositions[] = {16384, 24576, 27264, 28672, 29056, 29440, 29728, 30016,
                              30208, 30400, 30560, 30720, 30912, 31104, 31232, 31424};
const u32 kZoomSteps = sizeof(kZoomPositions) / sizeof(kZoomPositions[0]);
static_assert(kZoomSteps == 16, "one position per whole zoom ratio 1x to 16x");

// Shutter step list capacity and the camera version buffer.
const u32 kMaxShutterSteps = 30;
const size_t kVersionBufSize = kIaCameraVersionBytes;

// Zoom ratio in thousandths of a motor position, interpolated inside its segment. False
// (ratio untouched) for a position beyond the table.
bool zoomRatioOf(u32 p_nPosition, int& p_nRatio) {
    if (p_nPosition <= kZoomPositions[0]) {
        p_nRatio = 1000;
        return true;
    }
    for (u32 k = 0; k + 1 < kZoomSteps; ++k) {
        const u32 nLow = kZoomPositions[k];
        const u32 nHigh = kZoomPositions[k + 1];
        if (nLow < p_nPosition && p_nPosition <= nHigh) {
            p_nRatio =
                static_cast<int>(1000 * (k + 2) - ((nHigh - p_nPosition) * 1000) / (nHigh - nLow));
            return true;
        }
    }
    return false;
}

int boundedIris(int p_nVal) {
    if (p_nVal < kIrisMin) {
        return kIrisMin;
    }
    return p_nVal > kIrisMax ? kIrisOpen : p_nVal;
}

// Appends the value of one piece of the shutter range text; pieces that hold no number
// (empty or not numeric) are passed over.
void addShutterStep(const std::string& p_strPiece, int* p_pSteps, u32& p_nCount) {
    int nVal = 0;
    if (StringHandler::str2type(p_strPiece, nVal)) {
        p_pSteps[p_nCount++] = nVal;
    }
}

// Cuts the range text at single blanks from the left into at most kMaxShutterSteps values.
u32 parseShutterSteps(const std::string& p_strRange, int* p_pSteps) {
    u32 nCount = 0;
    size_t nPos = 0;
    size_t nBlank;
    while (nCount < kMaxShutterSteps &&
           (nBlank = p_strRange.find(' ', nPos)) != std::string::npos) {
        addShutterStep(p_strRange.substr(nPos, nBlank - nPos), p_pSteps, nCount);
        nPos = nBlank + 1;
    }
    if (nCount < kMaxShutterSteps && nPos < p_strRange.size()) {
        addShutterStep(p_strRange.substr(nPos), p_pSteps, nCount);
    }
    return nCount;
}

}  // namespace

// ---- engine accessors ----

bool ISensorController::getByKey(int p_nKey, int& p_nVal) {
    return getParameter(p_nKey, p_nVal);
}

bool ISensorController::setByKey(int p_nKey, int p_nVal) {
    // The value travels as a copy: a handler may rewrite it (hidden WDR or Beaway become 0),
    // and the caller's variable is not written back.
    return OVS_SUCCESS == setParameter(p_nKey, p_nVal, true);
}

// The getter/setter pairs through the engine, one per line: getter, setter, the setter's
// argument type, key.
#define SENSOR_ENGINE_ACCESSORS(PAIR)                                            \
    PAIR(getDNMode, setDNMode, int, KEY_DN_MODE)                                 \
    PAIR(getWDRSwitch, setWDRSwitch, int&, KEY_WDR_MODE)                         \
    PAIR(getWDRStrength, setWDRStrength, int&, KEY_WDR_STRG)                     \
    PAIR(getHLCSwitch, setHLCSwitch, int&, KEY_HLC_SWITCH)                       \
    PAIR(getHLCStrength, setHLCStrength, int&, KEY_HLC_STRG)                     \
    PAIR(getBLCSwitch, setBLCSwitch, int&, KEY_BLC_SWITCH)                       \
    PAIR(getBLCStrength, setBLCStrength, int&, KEY_BLC_STRG)                     \
    PAIR(getDefogSwitch, setDefogSwitch, int&, KEY_DEFLG_SWITCH)                 \
    PAIR(getDefogStrength, setDefogStrength, int&, KEY_DEFLG_STRG)               \
    PAIR(get2DSwitch, set2DSwitch, int&, KEY_2D_NR_SWITCH)                       \
    PAIR(get2DMode, set2DMode, int&, KEY_2D_NR_MODE)                             \
    PAIR(get2DAutoMaxStrength, set2DAutoMaxStrength, int&, KEY_2D_NR_STRG_A)     \
    PAIR(get2DManualMaxStrength, set2DManualMaxStrength, int&, KEY_2D_NR_STRG_M) \
    PAIR(get3DSwitch, set3DSwitch, int&, KEY_3D_NR_SWITCH)                       \
    PAIR(get3DMode, set3DMode, int&, KEY_3D_NR_MODE)                             \
    PAIR(get3DAutoMaxStrength, set3DAutoMaxStrength, int&, KEY_3D_NR_STRG_A)     \
    PAIR(get3DManualMaxStrength, set3DManualMaxStrength, int&, KEY_3D_NR_STRG_M) \
    PAIR(getBeaway, setBeaway, int&, KEY_BEAWAY)

#define SENSOR_DEFINE_ACCESSOR_PAIR(getter, setter, argType, key) \
    bool ISensorController::getter(int& p_nVal) {                 \
        return getByKey(key, p_nVal);                             \
    }                                                             \
    bool ISensorController::setter(argType p_nVal) {              \
        return setByKey(key, p_nVal);                             \
    }

SENSOR_ENGINE_ACCESSORS(SENSOR_DEFINE_ACCESSOR_PAIR)

#undef SENSOR_DEFINE_ACCESSOR_PAIR
#undef SENSOR_ENGINE_ACCESSORS

bool ISensorController::getMirrorValue(int& p_nVal) {
    return getByKey(KEY_MIRROR, p_nVal);
}

bool ISensorController::setMirrorMode(int p_nVal) {
    if (!setByKey(KEY_MIRROR, p_nVal)) {
        return false;
    }
    // The mirror reaches the current scheme's file at once; the write does not change the
    // result.
    flush();
    return true;
}

bool ISensorController::setWhiteMode(int p_nVal) {
    return setByKey(KEY_WHITE_MODE, p_nVal);
}

bool ISensorController::setLightType(int p_nVal) {
    if (static_cast<u32>(p_nVal) > kMaxLightType) {
        return false;
    }
    return setByKey(KEY_LIGHT_TYPE, p_nVal);
}

// Infrared and white light exclude each other: switching one on switches the other off
// first. Switching off never touches the other one, so the mutual calls end after one step.
bool ISensorController::setIlluminator(int p_nKey, int p_nVal, u32 p_nOtherCmd,
                                       bool (ISensorController::*p_pOtherSwitch)(int)) {
    if (p_nVal == 1) {
        int nOther = 0;
        if (!readCmd(p_nOtherCmd, nOther)) {
            return false;
        }
        if (nOther == 1 && !(this->*p_pOtherSwitch)(0)) {
            return false;
        }
    }
    return setByKey(p_nKey, p_nVal);
}

bool ISensorController::setIRSwitch(int p_nVal) {
    return setIlluminator(KEY_IR_SWITCH, p_nVal, IA_CMD_WHITE_SWITCH,
                          &ISensorController::setWhiteSwitch);
}

bool ISensorController::setWhiteSwitch(int p_nVal) {
    return setIlluminator(KEY_WHITE_SWITCH, p_nVal, IA_CMD_IR_SWITCH,
                          &ISensorController::setIRSwitch);
}

// ---- shutter stepping over the maximum-shutter range ----

u32 ISensorController::getShutterSteps(int* p_pSteps) {
    int nDefault = 0;
    std::string strRange;
    getSensorParamRange(KEY_MAX_SHUTTER, nDefault, strRange);  // no range: an empty list
    return parseShutterSteps(strRange, p_pSteps);
}

bool ISensorController::findCurrentShutter(int* p_pSteps, u32& p_nCount, u32& p_nIndex,
                                           int& p_nCur) {
    p_nCount = getShutterSteps(p_pSteps);
    if (!readCmd(IA_CMD_MAX_SHUTTER, p_nCur)) {
        return false;
    }
    for (u32 i = 0; i < p_nCount; ++i) {
        if (p_pSteps[i] == p_nCur) {
            p_nIndex = i;
            return true;
        }
    }
    return false;
}

bool ISensorController::getShutterValue(int& p_nIndex) {
    int aSteps[kMaxShutterSteps];
    u32 nCount = 0;
    u32 nIndex = 0;
    int nCur = 0;
    if (!findCurrentShutter(aSteps, nCount, nIndex, nCur)) {
        return false;
    }
    p_nIndex = static_cast<int>(nIndex);
    return true;
}

bool ISensorController::setShutterValue(int p_nIndex) {
    int aSteps[kMaxShutterSteps];
    const u32 nCount = getShutterSteps(aSteps);
    if (p_nIndex < 0 || static_cast<u32>(p_nIndex) >= nCount) {
        return false;
    }
    return setByKey(KEY_MAX_SHUTTER, aSteps[p_nIndex]);
}

// Moves the shutter one step along the list (+1 up, -1 down); at either end the current value
// is applied again.
bool ISensorController::stepShutter(int p_nStep) {
    int aSteps[kMaxShutterSteps];
    u32 nCount = 0;
    u32 nIndex = 0;
    int nCur = 0;
    if (!findCurrentShutter(aSteps, nCount, nIndex, nCur)) {
        return false;
    }
    const long nNext = static_cast<long>(nIndex) + p_nStep;
    const int nNew = (nNext >= 0 && nNext < static_cast<long>(nCount)) ? aSteps[nNext] : nCur;
    return setByKey(KEY_MAX_SHUTTER, nNew);
}

bool ISensorController::shutterUp() {
    return stepShutter(1);
}

bool ISensorController::shutterDown() {
    return stepShutter(-1);
}

// ---- direct controls ----

bool ISensorController::readCmd(u32 p_nCmd, int& p_nVal) {
    return OVS_SUCCESS == doIaCmd(p_nCmd, IA_CMD_OPT_GET, &p_nVal);
}

bool ISensorController::sendCmd(u32 p_nCmd, int p_nVal) {
    return OVS_SUCCESS == doIaCmd(p_nCmd, IA_CMD_OPT_SET, &p_nVal);
}

// Direct controls of one processor command and one value, one per line: method, command.
#define SENSOR_DIRECT_SETTERS(SET)            \
    SET(setZoomValue, IA_CMD_MZ_POSITION)     \
    SET(setPTZRunState, IA_CMD_PTZ_RUN_STATE) \
    SET(setFocusValue, IA_CMD_MF_POSITION)    \
    SET(setFocusMode, IA_CMD_AUTO_FOCUS_MODE) \
    SET(setDNState, IA_CMD_DN_STATE)

#define SENSOR_DIRECT_GETTERS(GET)            \
    GET(getFocusValue, IA_CMD_MF_POSITION)    \
    GET(getFocusMode, IA_CMD_AUTO_FOCUS_MODE) \
    GET(getWDR, IA_CMD_WDR_MODE)              \
    GET(getIRSwitch, IA_CMD_IR_SWITCH)        \
    GET(getWhiteSwitch, IA_CMD_WHITE_SWITCH)  \
    GET(getWhiteMode, IA_CMD_WHITE_MODE)      \
    GET(getLightType, IA_CMD_LIGHT_TYPE)      \
    GET(getIrisValue, IA_CMD_IRIS_POSITION)

#define SENSOR_DEFINE_DIRECT_SETTER(method, cmd) \
    bool ISensorController::method(int p_nVal) { \
        return sendCmd(cmd, p_nVal);             \
    }
#define SENSOR_DEFINE_DIRECT_GETTER(method, cmd)  \
    bool ISensorController::method(int& p_nVal) { \
        return readCmd(cmd, p_nVal);              \
    }

SENSOR_DIRECT_SETTERS(SENSOR_DEFINE_DIRECT_SETTER)
SENSOR_DIRECT_GETTERS(SENSOR_DEFINE_DIRECT_GETTER)

#undef SENSOR_DEFINE_DIRECT_SETTER
#undef SENSOR_DEFINE_DIRECT_GETTER
#undef SENSOR_DIRECT_SETTERS
#undef SENSOR_DIRECT_GETTERS

bool ISensorController::focusFar() {
    sendCmd(IA_CMD_AUTO_FOCUS_MODE, 1);  // manual focus first; its result does not matter
    return sendCmd(IA_CMD_FOCUS_FAR, 1);
}

bool ISensorController::focusNear() {
    sendCmd(IA_CMD_AUTO_FOCUS_MODE, 1);
    return sendCmd(IA_CMD_FOCUS_NEAR, 1);
}

bool ISensorController::irisUp() {
    if (!sendCmd(IA_CMD_EXPOSE_MODE, kExposeModeIris)) {
        return false;
    }
    return sendCmd(IA_CMD_IRIS_UP, 1);
}

bool ISensorController::irisDown() {
    if (!sendCmd(IA_CMD_EXPOSE_MODE, kExposeModeIris)) {
        return false;
    }
    return sendCmd(IA_CMD_IRIS_DOWN, 1);
}

bool ISensorController::setIrisValue(int p_nVal) {
    if (!sendCmd(IA_CMD_EXPOSE_MODE, kExposeModeIris)) {
        return false;
    }
    return sendCmd(IA_CMD_IRIS_POSITION, boundedIris(p_nVal));
}

bool ISensorController::zoomIn() {
    return sendCmd(IA_CMD_ZOOM_IN, 1);
}

bool ISensorController::zoomOut() {
    return sendCmd(IA_CMD_ZOOM_OUT, 1);
}

bool ISensorController::getZoomValue(int& p_nPosition, int& p_nRatio) {
    if (!readCmd(IA_CMD_MZ_POSITION, p_nPosition)) {
        return false;
    }
    // A position beyond the table leaves the ratio as it was and still succeeds.
    zoomRatioOf(static_cast<u32>(p_nPosition), p_nRatio);
    return true;
}

bool ISensorController::getAFStatistic(unsigned int& p_nVal) {
    return OVS_SUCCESS == doIaCmd(IA_CMD_AF_STATISTIC, IA_CMD_OPT_GET, &p_nVal);
}

bool ISensorController::setExposureStrategy(int& p_nVal) {
    return sendCmd(IA_CMD_EXPOSURE_STRATEGY, p_nVal);
}

bool ISensorController::getHeatStatus(bool& p_bVal) {
    int32_t nStatus = 0;
    if (!readCmd(IA_CMD_HEAT_STATUS, nStatus)) {
        return false;
    }
    p_bVal = nStatus != 0;
    return true;
}

bool ISensorController::getCameraVerInf(std::string& p_strVersion) {
    alignas(int32_t) char szVersion[kVersionBufSize];
    memset(szVersion, 0, sizeof(szVersion));
    if (OVS_SUCCESS != doIaCmd(IA_CMD_CAMERA_VERSION, IA_CMD_OPT_GET, szVersion)) {
        return false;
    }
    // The text keeps room for its terminator within the buffer: at most 49 characters, also
    // when the processor filled all 50 bytes.
    p_strVersion.assign(szVersion, strnlen(szVersion, kVersionBufSize - 1));
    return true;
}

// ---- flags and parameter objects ----

void ISensorController::setShowWDRFalg(bool p_bVal) {
    m_bShowWDRFalg = p_bVal;
}

bool ISensorController::getShowWDRFalg(bool& p_bVal) {
    p_bVal = m_bShowWDRFalg;
    return true;
}

void ISensorController::setShowBeawayFalg(bool p_bVal) {
    setshowBeawayFalg(p_bVal);
}

bool ISensorController::getShowBeawayFalg(bool& p_bVal) {
    p_bVal = getshowBeawayFalg();
    return true;
}

int ISensorController::getSensorZoomFocusParam(SensorZoomFocusParam& p_objParam) {
    std::lock_guard<std::mutex> objLock(m_objZoomFocusMutex);
    p_objParam = m_stSensorZoomFocusParam;
    return OVS_SUCCESS;
}

int ISensorController::setSensorZoomFocusParam(SensorZoomFocusParam& p_objParam) {
    std::lock_guard<std::mutex> objLock(m_objZoomFocusMutex);
    m_stSensorZoomFocusParam = p_objParam;
    return OVS_SUCCESS;
}
