// The key handlers: what one key does on the image processor and in the video pipeline.
// Handlers never write the cache; the engine stores what they leave in the caller's value.
#define SENSOR_SOURCE_NAME "ISensorController.cpp"
#include "SensorTrace.h"

#include <cstring>
#include <iterator>

#include "ISensorController.h"
#include "SensorKeys.h"
#include "MachineInfo.h"
#include "ia_ioctrl.h"

namespace {

using namespace SensorKeys;

// Told to the video module just before (0) and just after (1) a wide-dynamic-range change.
const int kWdrChangeKey = 2370;
// Commands of the lens that the zoom/focus lock holds back.
const u32 kLensCmdFirst = IA_CMD_AUTO_FOCUS_MODE;
const u32 kLensCmdLast = IA_CMD_LENS_RESET;
// States in which one-shot lens and exposure actions are ignored: init, reset, reload of the
// last parameters and scheme switches.
const u32 kOneShotQuietFlags = initing_flag | resetting_flag | restoring_flag | switching_flag;
// On a thermal device every notification names channel 1.
const int kThermalDeviceChannel = 1;

// Records of the day/night commands, sent whole.
struct dn_thr_st {
    u32 d2n_thr;
    u32 n2d_thr;
    u32 dn_sensitivity;
};
struct dn_time_st {
    u32 d2n_hour;
    u32 d2n_min;
    u32 n2d_hour;
    u32 n2d_min;
};

// The keys of the record fields, in field order.
static_assert(sizeof(dn_thr_st) == 3 * sizeof(u32) && sizeof(dn_time_st) == 4 * sizeof(u32),
              "one field per key");
const u32 kDnThrKeys[] = {KEY_DTN_THR, KEY_NTD_THR, KEY_DN_SENSITIVITY};
const u32 kDnTimeKeys[] = {KEY_DTN_H, KEY_DTN_M, KEY_NTD_H, KEY_NTD_M};

// The field the command's own value goes to: the field of that key, else the last one.
template <size_t N>
u32 ownFieldKey(u32 p_nKey, const u32 (&keys)[N]) {
    for (u32 key : keys) {
        if (key == p_nKey) {
            return key;
        }
    }
    return keys[N - 1];
}

int32_t valueAt(const void* p_pVal) {
    int32_t nVal = 0;
    if (p_pVal != nullptr) {
        std::memcpy(&nVal, p_pVal, sizeof(nVal));
    }
    return nVal;
}

}  // namespace

u32 ISensorController::cachedOrZero(u32 p_nKey) {
    u32 nVal = 0;
    if (getKeyValFromCache(static_cast<u32>(m_nCurScheme), p_nKey, nVal) < 0) {
        nVal = 0;
    }
    return nVal;
}

bool ISensorController::zoomFocusLocked() const {
    std::lock_guard<std::mutex> objLock(m_objZoomFocusMutex);
    return m_stSensorZoomFocusParam.getLockZoomFocusEnable();
}

int ISensorController::doIaCmd(u32 p_nKey, u32 p_nDir, void* p_pVal) {
    SENSOR_DBG(
        "====================== cmd:%d dir:%d val:%d "
        "======m_nCameraID=(%d)===============begin\n",
        p_nKey, p_nDir, valueAt(p_pVal), m_nCameraID);
    if (p_nKey >= kLensCmdFirst && p_nKey <= kLensCmdLast && zoomFocusLocked()) {
        return 0;
    }
    const int nRet = ia_ioctrl_v2(m_nCameraID - 1, static_cast<ia_cmd_e>(p_nKey),
                                  static_cast<ia_cmd_opt_e>(p_nDir), p_pVal);
    SENSOR_DBG("====================== cmd:%d dir:%d val:%d =====================end\n", p_nKey,
               p_nDir, valueAt(p_pVal));
    if (nRet != 0 && p_nDir == IA_CMD_OPT_SET) {
        m_nRefusedSets.fetch_add(1, std::memory_order_relaxed);
    }
    return nRet;
}

u32 ISensorController::refusedSets() const {
    return m_nRefusedSets.load(std::memory_order_relaxed);
}

int ISensorController::notifyToVideo(int p_nKey, int p_nVal) {
    if (m_pVideoStreamModule == nullptr) {
        return 0;
    }
    const int nChannel = (m_objMachineInfo.getDeviceType() == DeviceType::THERMAL_DEVICE)
                             ? kThermalDeviceChannel
                             : m_nCameraID;
    return m_pVideoStreamModule->notifySensorParam(nChannel, p_nKey, p_nVal);
}

int ISensorController::doIaCmd_User(u32 p_nKey, u32 p_nDir, void* p_pVal) {
    if ((m_nFlags.load() & kOneShotQuietFlags) != 0) {
        SENSOR_DBG("ignored auto focus once !!!\n");
        return 0;
    }
    return doIaCmd(p_nKey, p_nDir, p_pVal);
}

int ISensorController::doHwdr(u32 p_nKey, u32 p_nDir, void* p_pVal) {
    int32_t* pVal = static_cast<int32_t*>(p_pVal);
    if (!m_bShowWDRFalg) {
        *pVal = 0;
        return 0;
    }
    notifyToVideo(kWdrChangeKey, 0);
    const int nRet = notifyToVideo(static_cast<int>(p_nKey), *pVal);
    const int nIaRet = doIaCmd(p_nKey, p_nDir, p_pVal);
    SENSOR_ASSERT(OVS_SUCCESS == nIaRet, "OVS_SUCCESS == doIaCmd(p_nKey, p_nDir, p_pVal)", "%s",
                  "");
    notifyToVideo(kWdrChangeKey, 1);
    return nRet;
}

int ISensorController::doImageAdjust(u32 p_nKey, u32 p_nDir, void* p_pVal) {
    const int nIaRet = doIaCmd(p_nKey, p_nDir, p_pVal);
    SENSOR_ASSERT(OVS_SUCCESS == nIaRet, "OVS_SUCCESS == doIaCmd(p_nKey, p_nDir, p_pVal)", "%s",
                  "");
    return notifyToVideo(static_cast<int>(p_nKey), valueAt(p_pVal));
}

int ISensorController::doDIS(u32 p_nKey, u32 p_nDir, void* p_pVal) {
    const int nNotified = notifyToVideo(static_cast<int>(p_nKey), valueAt(p_pVal));
    SENSOR_ASSERT(OVS_SUCCESS == nNotified, "OVS_SUCCESS == notifyToVideo(p_nKey, *(u32*)p_pVal)",
                  "%s", "");
    return doIaCmd(p_nKey, p_nDir, p_pVal);
}

int ISensorController::doIaCmd_PanoTuning(u32 p_nKey, u32 /*p_nDir*/, void* p_pVal) {
    const int nKey = static_cast<int>(p_nKey);
    const int nVal = valueAt(p_pVal);
    const int nNotified = notifyToVideo(nKey, nVal);
    SENSOR_ASSERT(OVS_SUCCESS == nNotified, "OVS_SUCCESS == notifyToVideo(nKey, nVal)", "%s", "");
    return 0;
}

int ISensorController::test_debugParam(u32 p_nKey, u32 /*p_nDir*/, void* p_pVal) {
    notifyToVideo(static_cast<int>(p_nKey), valueAt(p_pVal));
    return 0;
}

int ISensorController::doDNThr(u32 p_nKey, u32 p_nDir, void* p_pVal) {
    const u32 nOwnKey = ownFieldKey(p_nKey, kDnThrKeys);
    const u32 nOwnVal = static_cast<u32>(valueAt(p_pVal));
    u32 aFields[std::size(kDnThrKeys)];
    for (size_t i = 0; i < std::size(kDnThrKeys); ++i) {
        aFields[i] = kDnThrKeys[i] == nOwnKey ? nOwnVal : cachedOrZero(kDnThrKeys[i]);
    }

    dn_thr_st stThr;
    stThr.d2n_thr = aFields[0];
    stThr.n2d_thr = aFields[1];
    stThr.dn_sensitivity = aFields[2];
    SENSOR_DBG(
        "m_nCurScheme(%u) dn_thr_st.d2n_thr(%u) dn_thr_st.n2d_thr(%u)  "
        "dn_thr_st.dn_sensitivity(%u)\n",
        static_cast<u32>(m_nCurScheme), stThr.d2n_thr, stThr.n2d_thr, stThr.dn_sensitivity);

    const int nRet = doIaCmd(p_nKey, p_nDir, &stThr);
    // While the last saved parameters are reloaded a rejected threshold does not stop the list.
    return testFlag(restoring_flag) ? 0 : nRet;
}

int ISensorController::doDNTime(u32 p_nKey, u32 p_nDir, void* p_pVal) {
    const u32 nOwnKey = ownFieldKey(p_nKey, kDnTimeKeys);
    const u32 nOwnVal = static_cast<u32>(valueAt(p_pVal));
    u32 aFields[std::size(kDnTimeKeys)];
    for (size_t i = 0; i < std::size(kDnTimeKeys); ++i) {
        aFields[i] = kDnTimeKeys[i] == nOwnKey ? nOwnVal : cachedOrZero(kDnTimeKeys[i]);
    }

    dn_time_st stTime;
    stTime.d2n_hour = aFields[0];
    stTime.d2n_min = aFields[1];
    stTime.n2d_hour = aFields[2];
    stTime.n2d_min = aFields[3];
    SENSOR_DBG(
        "m_nCurScheme(%u) dn_time_st.d2n_hour(%u) dn_time_st.d2n_min(%u) "
        "dn_time_st.n2d_hour(%u) dn_time_st.n2d_min(%u) \n",
        static_cast<u32>(m_nCurScheme), stTime.d2n_hour, stTime.d2n_min, stTime.n2d_hour,
        stTime.n2d_min);

    return doIaCmd(p_nKey, p_nDir, &stTime);
}

int ISensorController::doMirror(u32 p_nKey, u32 p_nDir, void* p_pVal) {
    int32_t nMirror = valueAt(p_pVal);
    const u32 nBeaway = cachedOrZero(KEY_BEAWAY);
    SENSOR_DBG("nMirror(%u --> %u), nBeaway:%u\n", static_cast<u32>(valueAt(p_pVal)),
               static_cast<u32>(nMirror), nBeaway);
    const int nNotified = notifyToVideo(static_cast<int>(p_nKey), nMirror);
    SENSOR_ASSERT(OVS_SUCCESS == nNotified, "OVS_SUCCESS == notifyToVideo(p_nKey, nMirror)", "%s",
                  "");
    return doIaCmd(p_nKey, p_nDir, &nMirror);
}

int ISensorController::doBeaway(u32 p_nKey, u32 p_nDir, void* p_pVal) {
    if (!getshowBeawayFalg()) {
        *static_cast<int32_t*>(p_pVal) = 0;
        return 0;
    }
    int32_t nBeaway = valueAt(p_pVal);
    const int nNotified = notifyToVideo(static_cast<int>(p_nKey), nBeaway);
    SENSOR_ASSERT(OVS_SUCCESS == nNotified, "OVS_SUCCESS == notifyToVideo(p_nKey, nBeaway)", "%s",
                  "");
    return doIaCmd(p_nKey, p_nDir, &nBeaway);
}
