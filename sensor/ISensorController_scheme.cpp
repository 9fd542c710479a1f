// Schemes and the sensor thread: switching the current scheme by hand (setParamScheme) and
// automatically (sensorThread) by the processor's day/night state or by time windows.
//
// Locking. Host threads and the sensor thread share the scheme arrays and the members that
// say which scheme is current (m_nCurScheme, m_nLastScheme, m_nLastSchedule) and how the
// channel switches (m_nParamMode, m_bAutoScheme, m_bScheduleScheme). Every read and write of
// them happens under m_objMutex, or during init/uinit, which have the controller to themselves
// (the thread is stopped and host calls are not yet, or no longer, allowed; a factory reset
// holds the mutex across both). The sensor thread therefore:
//   1. does its one-second wait without any lock;
//   2. enters the pass gate (m_objPassMutex, a plain std::mutex) and gives the pass up when
//      a hold is announced (m_nPassHolds): a reset, uinit or the destructor is about to stop
//      the thread;
//   3. inside the gate takes m_objMutex, decides and switches, and leaves the gate.
// A reset announces its hold and then passes through the gate once, before it takes
// m_objMutex: from then on no pass waits for m_objMutex, so stopping the thread while the
// reset holds it cannot deadlock. A stop without m_objMutex held (uinit, the destructor)
// joins a pass that at worst waits for a host operation to finish.
// Busy bits (resetting, restoring, switching) are only set by code that holds the mutex, or
// by init's own first scheme, so a host operation that holds the mutex finds them clear and
// its 500 ms busy-bit wait never spins while another holder is locked out.
#define SENSOR_SOURCE_NAME "ISensorController.cpp"
#include "SensorTrace.h"

#include <cstring>
#include <exception>
#include <mutex>
#include <thread>

#include "FlagScope.h"
#include "GThread.h"
#include "ISensorController.h"
#include "SensorKeys.h"
#include "OVMutexManager.h"
#include "OrvaneTime.h"
#include "ia_ioctrl.h"
#include "SensorPaths.h"

namespace {

using namespace SensorKeys;

// Records 1 to 4 of every scheme hold its time window; record 0 the scheme mode.
const u32 kWindowRecords = 5;
// hour * 100 + minute of a window's start (records 1, 2) or end (records 3, 4).
u32 windowTime(const KeyVal* p_pScheme, u32 p_nFirst) {
    return 100u * static_cast<u32>(p_pScheme[p_nFirst].value) +
           static_cast<u32>(p_pScheme[p_nFirst + 1].value);
}

// The steps of a pass of the thread body report as the body, also the pass init runs.
constexpr SensorOp kSensorThreadOp = {"sensorThread", "int ISensorController::sensorThread()"};

}  // namespace

// ---- switching ----

void ISensorController::setCurScheme(int32_t p_nScheme) {
    m_nCurScheme = p_nScheme;
    m_bCurSchemeHasFile.store(static_cast<u32>(p_nScheme) < m_stSysConf.nSchemeSum);
}

bool ISensorController::isSchemeUsable(int p_nScheme) const {
    return m_ppUserKeyVal != nullptr && p_nScheme >= 0 &&
           static_cast<u32>(p_nScheme) <= m_stSysConf.nSchemeSum;
}

int ISensorController::switch_to(int p_nScheme, bool p_bForce) {
    SENSOR_DBG("switch_to(): %d -> %d\n", m_nCurScheme, p_nScheme);
    if (!isSchemeUsable(p_nScheme)) {
        SENSOR_ASSERT(false, "isSchemeUsable(p_nScheme)", "p_nScheme(%d)\n", p_nScheme);
        return OVS_SUCCESS;
    }
    FlagScope objSwitching(m_nFlags, switching_flag);
    m_nLastScheme = m_nCurScheme;
    setCurScheme(p_nScheme);
    if (p_bForce) {
        // Every record goes to its handler; the cache stays as it is.
        setParameters(m_ppUserKeyVal[p_nScheme], m_nKeyValSum, false);
    } else {
        // The engine compares with the previous scheme while switching_flag is set, so only
        // the values that differ reach the processor.
        int nRet = setParameters(m_ppUserKeyVal[m_nCurScheme], m_nKeyValSum, true);
        SENSOR_ASSERT(OVS_SUCCESS == nRet,
                      "OVS_SUCCESS == setParameters(m_ppUserKeyVal[m_nCurScheme], m_nKeyValSum, "
                      "true)",
                      "m_nCurScheme(%d) m_nKeyValSum(%d)\n", m_nCurScheme, m_nKeyValSum);
    }
    return OVS_SUCCESS;
}

int ISensorController::LPR_switch_to(int p_nScheme) {
    if (!isSchemeUsable(p_nScheme) || m_pstKeyValWork == nullptr) {
        return OVS_SUCCESS;
    }
    FlagScope objSwitching(m_nFlags, switching_flag);
    m_nLastScheme = m_nCurScheme;
    setCurScheme(p_nScheme);
    // The work array holds the key table's capacity; the scheme never has more records.
    u32 nCount =
        m_nKeyValSum < SensorPaths::kKeyCapacity ? m_nKeyValSum : SensorPaths::kKeyCapacity;
    std::memcpy(m_pstKeyValWork, m_ppUserKeyVal[p_nScheme], nCount * sizeof(KeyVal));
    // The processor keeps its own day/night control here; the stored scheme is unchanged.
    for (u32 i = 0; i < nCount; ++i) {
        if (m_pstKeyValWork[i].key == KEY_DN_MODE) {
            m_pstKeyValWork[i].value = 0;
            break;
        }
    }
    setParameters(m_pstKeyValWork, nCount, false);
    return OVS_SUCCESS;
}

int ISensorController::judgeCurScheme(int& nScheme, int& nSchedule) {
    OVDeviceTime objNow = OVDeviceTime::getCurrentTime();
    u32 nNow = 100u * static_cast<u32>(objNow.getHour()) + static_cast<u32>(objNow.getMinute());
    nSchedule = 0;
    if (m_ppUserKeyVal != nullptr && m_nKeyValSum >= kWindowRecords) {
        for (u32 s = 0; s < m_stSysConf.nSchemeSum; ++s) {
            const KeyVal* pScheme = m_ppUserKeyVal[s];
            if (windowTime(pScheme, 1) <= nNow && nNow < windowTime(pScheme, 3)) {
                nScheme = static_cast<int>(s);
                nSchedule = 1;
                return OVS_SUCCESS;
            }
        }
    }
    nScheme = 0;
    return OVS_SUCCESS;
}

bool ISensorController::getDNState(int& p_nVal) {
    return OVS_SUCCESS == doIaCmd(IA_CMD_DN_STATE, IA_CMD_OPT_GET, &p_nVal);
}

// ---- host operations ----

void ISensorController::waitWhileBusy() {
    while (testFlag(busy_flags_mask)) {
        OrvaneTime::wait(OrvaneTime(0, 500000));
    }
}

bool ISensorController::setParamScheme(int p_nScheme) {
    OV_LOCK_SCOPE(m_objMutex);
    bool bInRange = p_nScheme >= 0 && static_cast<u32>(p_nScheme) <= m_stSysConf.nSchemeSum;
    SENSOR_ASSERT(bInRange, "p_nScheme >= 0 && (u32)p_nScheme <= m_stSysConf.nSchemeSum",
                  "p_nScheme(%d)\n", p_nScheme);
    // Refused: outside the arrays, or nothing to switch before init.
    if (!bInRange || !isSchemeUsable(p_nScheme)) {
        return false;
    }
    waitWhileBusy();
    return OVS_SUCCESS == switch_to(p_nScheme, false);
}

bool ISensorController::getParamScheme(int& p_nScheme) {
    OV_LOCK_SCOPE(m_objMutex);
    p_nScheme = m_nCurScheme;
    return true;
}

bool ISensorController::setParamMode(int p_nMode) {
    OV_LOCK_SCOPE(m_objMutex);
    SENSOR_ASSERT(static_cast<u32>(p_nMode) <= 1, "0 == p_nMode || 1 == p_nMode", "p_nMode(%d)\n",
                  p_nMode);
    waitWhileBusy();
    // Stored whatever its value: any non-zero mode is automatic.
    m_nParamMode = p_nMode;
    return true;
}

bool ISensorController::getParamMode(int& p_nMode) {
    OV_LOCK_SCOPE(m_objMutex);
    p_nMode = m_nParamMode;
    return true;
}

// ---- the sensor thread ----

int ISensorController::sensorThread() {
    SENSOR_OP_IS(kSensorThreadOp);
    // A host exception (from the video module during a switch) ends this pass only: the
    // thread framework would otherwise end the thread, and automatic switching with it.
    // Flags and the mutex are released by their scopes on the way out.
    try {
        return sensorPass(false);
    } catch (const std::exception& e) {
        SENSOR_ASSERT(false, "no exception in sensorPass(false)",
                      "sensor thread pass ended by an exception: %s\n", e.what());
    } catch (...) {
        SENSOR_ASSERT(false, "no exception in sensorPass(false)",
                      "sensor thread pass ended by an exception: %s\n", "unknown");
    }
    return OVS_SUCCESS;
}

int ISensorController::sensorPass(bool p_bLocked) {
    // During a reset the pass runs at once (and then finds the busy bit set).
    if (!testFlag(resetting_flag)) {
        OrvaneTime::wait(OrvaneTime(1, 0));
    }
    if (p_bLocked) {
        return schemePass();
    }
    std::unique_lock<std::mutex> objGate(m_objPassMutex);
    if (m_nPassHolds.load() > 0) {
        // The thread is about to be stopped: no pass until it is started again.
        objGate.unlock();
        std::this_thread::yield();
        return OVS_SUCCESS;
    }
    OV_LOCK_SCOPE(m_objMutex);
    return schemePass();
}

void ISensorController::holdPasses(bool p_bDrain) {
    m_nPassHolds.fetch_add(1);
    if (p_bDrain) {
        // Waits for a pass that entered the gate before the hold to leave it.
        std::lock_guard<std::mutex> objGate(m_objPassMutex);
    }
}

void ISensorController::releasePasses() {
    m_nPassHolds.fetch_sub(1);
}

int ISensorController::schemePass() {
    if (m_ppUserKeyVal == nullptr || m_nParamMode == 0) {
        return OVS_SUCCESS;
    }
    if (m_bAutoScheme) {
        return dayNightPass();
    }
    if (!m_bScheduleScheme) {
        return OVS_SUCCESS;
    }
    int nScheme = 0;
    int nSchedule = 0;
    int nRet = judgeCurScheme(nScheme, nSchedule);
    SENSOR_ASSERT_OP(kSensorThreadOp, OVS_SUCCESS == nRet,
                     "OVS_SUCCESS == judgeCurScheme(nScheme, nSchedule)", "nScheme(%d)\n", nScheme);
    if (!m_bLprMode) {
        return schedulePass(nScheme);
    }
    if (1 == nSchedule) {
        return lprWindowPass(nScheme, nSchedule);
    }
    return lprOutsidePass();
}

int ISensorController::dayNightPass() {
    int nState = 0;
    getDNState(nState);
    int nScheme = (0 != nState) ? 1 : 0;
    if (m_nCurScheme == nScheme || testFlag(busy_flags_mask)) {
        return OVS_SUCCESS;
    }
    SENSOR_DBG_OP(kSensorThreadOp, "SCHEME: auto switch_to(%d)\n", nScheme);
    int nRet = switch_to(nScheme, false);
    SENSOR_ASSERT_OP(kSensorThreadOp, OVS_SUCCESS == nRet, "OVS_SUCCESS == switch_to(nScheme)",
                     "nScheme(%d)\n", nScheme);
    return OVS_SUCCESS;
}

int ISensorController::schedulePass(int p_nScheme) {
    // Outside every window p_nScheme is 0: the default scheme.
    if (m_nCurScheme == p_nScheme || testFlag(busy_flags_mask)) {
        return OVS_SUCCESS;
    }
    SENSOR_DBG_OP(kSensorThreadOp, "SCHEME: auto switch_to(%d)\n", p_nScheme);
    int nRet = switch_to(p_nScheme, false);
    SENSOR_ASSERT_OP(kSensorThreadOp, OVS_SUCCESS == nRet, "OVS_SUCCESS == switch_to(nScheme)",
                     "nScheme(%d)\n", p_nScheme);
    return OVS_SUCCESS;
}

int ISensorController::lprWindowPass(int p_nScheme, int p_nSchedule) {
    if (m_nLastSchedule == p_nSchedule && m_nCurScheme == p_nScheme) {
        return OVS_SUCCESS;
    }
    if (testFlag(busy_flags_mask)) {
        return OVS_SUCCESS;
    }
    SENSOR_DBG_OP(kSensorThreadOp, "SCHEME: auto switch_to(%d)\n", p_nScheme);
    if (m_nLastSchedule == p_nSchedule) {
        int nRet = switch_to(p_nScheme, false);
        SENSOR_ASSERT_OP(kSensorThreadOp, OVS_SUCCESS == nRet, "OVS_SUCCESS == switch_to(nScheme)",
                         "nScheme(%d)\n", p_nScheme);
    } else {
        // Entering a window from outside: every record of the window's scheme is sent again,
        // since the records sent outside the windows were the LPR copies.
        int nRet = switch_to(p_nScheme, true);
        SENSOR_ASSERT_OP(kSensorThreadOp, OVS_SUCCESS == nRet,
                         "OVS_SUCCESS == switch_to(nScheme, true)", "nScheme(%d)\n", p_nScheme);
    }
    m_nLastSchedule = p_nSchedule;
    return OVS_SUCCESS;
}

int ISensorController::lprOutsidePass() {
    int nState = 0;
    getDNState(nState);
    int nScheme = (0 != nState) ? 1 : 0;
    if (0 == m_nLastSchedule && m_nCurScheme == nScheme) {
        return OVS_SUCCESS;
    }
    if (testFlag(busy_flags_mask)) {
        return OVS_SUCCESS;
    }
    LPR_switch_to(nScheme);
    m_nLastSchedule = 0;
    return OVS_SUCCESS;
}
