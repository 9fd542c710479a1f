// Initialisation and teardown of a channel: configuration and style, factory records, the
// scheme arrays and their parameter files, the key table, the first scheme and the sensor
// thread; and the release of all of it.
//
// init and uinit take no lock: they run before the host uses the controller and after it has
// stopped, or inside resetParameters, which holds m_objMutex across both. The sensor thread
// is stopped before anything is released and started only once init has written everything
// the thread reads.
#define SENSOR_SOURCE_NAME "ISensorController.cpp"
#include "SensorTrace.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FlagScope.h"
#include "GThread.h"
#include "ISensorController.h"
#include "SensorKeys.h"
#include "MachineInfo.h"
#include "OVPath.h"
#include "SensorDeviceData.h"
#include "SensorDurableWrite.h"
#include "SensorFile.h"
#include "SensorRecordLoad.h"
#include "SyCommand.h"
#include "sensor.h"
#include "SensorPaths.h"

namespace {

using namespace SensorKeys;

const int kShellTimeout = 30;

// Scheme 1 of an LPR device: the factory records with these keys changed.
struct KeyOverride {
    u32 key;
    int32_t value;
};
const KeyOverride kLprScheme1[] = {
    {KEY_DN_MODE, 0}, {KEY_MAX_SHUTTER, 18},         {KEY_METER_AREA, 1},
    {KEY_IR_MODE, 2}, {KEY_IR_MANUAL_STRG_NEAR, 40},
};

// Zeroed heap records; running out of memory here leaves no usable controller.
KeyVal* allocRecords(size_t p_nCount) {
    KeyVal* pRecords = static_cast<KeyVal*>(std::calloc(p_nCount, sizeof(KeyVal)));
    if (pRecords == nullptr) {
        std::fprintf(stderr, "libtarnis: out of memory for %zu records\n", p_nCount);
        std::abort();
    }
    return pRecords;
}

// The module detail text, bounded by its field.
std::string detailText(const ModuleConfig& p_stModule) {
    return std::string(p_stModule.szDetail,
                       strnlen(p_stModule.szDetail, sizeof(p_stModule.szDetail)));
}

// The stamp exists but is no regular, readable file (a directory in its place, say).
bool stampUnusable() {
    const std::string strPath = OVPath::resolve(SensorPaths::kStampPath);
    struct stat st;
    if (::stat(strPath.c_str(), &st) != 0) {
        return false;
    }
    return !S_ISREG(st.st_mode) || ::access(strPath.c_str(), R_OK) != 0;
}

// The steps of init report as init.
constexpr SensorOp kInitOp = {"init", "bool ISensorController::init(const ModuleConfigure&)"};

}  // namespace

bool ISensorController::init(const ModuleConfigure& p_objModuleConfigure) {
    SENSOR_OP_IS(kInitOp);
    if (m_ppUserKeyVal != nullptr) {
        // Initialised before and never released: release first, so nothing leaks and the
        // thread is not started twice.
        uinit();
    }
    FlagScope objIniting(m_nFlags, initing_flag);
    clearFlag(inited_flag);
    try {
        initSteps(p_objModuleConfigure);
    } catch (...) {
        // A host exception (from the video module) ends init: nothing of it stays behind, so
        // a later init or reset starts from a clean controller.
        holdPasses(false);
        m_pSensorThread->stop();
        releasePasses();
        releaseAll();
        throw;
    }
    setFlag(inited_flag);
    SENSOR_DBG("ISensorController::initSensor  success\n");
    return true;
}

void ISensorController::initSteps(const ModuleConfigure& p_objModuleConfigure) {
    std::string strBroken;
    int nRet = initSysConfChecked(m_nCameraID, p_objModuleConfigure, &m_stSysConf, strBroken);
    SENSOR_ASSERT(OVS_SUCCESS == nRet,
                  "OVS_SUCCESS == initSysConf(m_nCameraID,p_objModuleConfigure, &m_stSysConf)",
                  "%s", "");
    initAllocSchemes();
    initJudgeDeviceData(strBroken);
    // Temporary files of writers that died (a power cut mid-write) are removed; those of a
    // writer still at work are held by its lock and stay.
    removeStaleTemporaries(SensorPaths::kParamFileDir);
    const bool bStampCurrent = initCheckVersion();
    MachineInfo objMachine;
    initDeviceMarkers(objMachine);
    initLoadSchemes();
    // An ordinary start writes nothing: the stamp only when it is not current.
    if (!bStampCurrent && !m_bDeviceDataBroken) {
        initWriteStamp();
    }

    buildKeyCmdMap();

    if (!m_bScheduleScheme && !m_bAutoScheme) {
        switch_to(0, false);
    }
    // The first pass runs here, with init's exclusive access (no lock).
    sensorPass(true);

    // The WDR and Beaway decisions are made before the thread starts, so that the thread
    // never reads the flags while they are written.
    m_bShowWDRFalg = true;
    setshowBeawayFalg(true);
    initVideoDecisions(objMachine);

    bool bStarted = m_pSensorThread->start();
    SENSOR_ASSERT(bStarted, "m_pSensorThread->start()", "%s", "");
}

void ISensorController::initAllocSchemes() {
    KeyVal* pFactory = allocRecords(SensorPaths::kKeyCapacity);
    m_nKeyValSum = 0;
    if (m_stSysConf.szUIStyle != nullptr) {
        // The key list depends on the device data only (not on the streams of this start).
        int nRet =
            stableFactoryRecords(m_nCameraID, m_stSysConf.szUIStyle, pFactory, &m_nKeyValSum);
        SENSOR_ASSERT_OP(kInitOp, OVS_SUCCESS == nRet,
                         "OVS_SUCCESS == getFctData(m_nCameraID,m_stSysConf.szUIStyle, "
                         "m_pFctKeyVal, &m_nKeyValSum,m_bShowWDRFalg)",
                         "m_nKeyValSum(%d)\n", m_nKeyValSum);
    }
    SENSOR_ASSERT_OP(kInitOp, m_nKeyValSum <= SensorPaths::kKeyCapacity,
                     "m_nKeyValSum <= m_nKeyCmdNum", "m_nKeyValSum(%d)\n", m_nKeyValSum);
    if (m_nKeyValSum > SensorPaths::kKeyCapacity) {
        m_nKeyValSum = SensorPaths::kKeyCapacity;
    }
    allocSchemes(pFactory, m_nKeyValSum);
    std::free(pFactory);
}

void ISensorController::allocSchemes(const KeyVal* p_pFactory, u32 p_nCount) {
    m_nKeyValSum = p_nCount;
    m_pstKeyValWork = allocRecords(SensorPaths::kKeyCapacity);
    SENSOR_ASSERT_OP(kInitOp, m_stSysConf.nSchemeSum <= SensorPaths::kMaxSchemes,
                     "m_stSysConf.nSchemeSum <= 64", "m_stSysConf.nSchemeSum(%u)\n",
                     m_stSysConf.nSchemeSum);
    if (m_stSysConf.nSchemeSum > SensorPaths::kMaxSchemes) {
        m_stSysConf.nSchemeSum = SensorPaths::kMaxSchemes;
    }

    // One block for every scheme and the factory copy; entry s of the index points at
    // record s * m_nKeyValSum, so entry 0 is the block to free.
    const u32 nArrays = m_stSysConf.nSchemeSum + 1;
    KeyVal* pBlock = allocRecords(static_cast<size_t>(nArrays) * m_nKeyValSum + 1);
    m_ppUserKeyVal = static_cast<KeyVal**>(std::calloc(nArrays, sizeof(KeyVal*)));
    if (m_ppUserKeyVal == nullptr) {
        std::abort();
    }
    for (u32 s = 0; s < nArrays; ++s) {
        m_ppUserKeyVal[s] = pBlock + static_cast<size_t>(s) * m_nKeyValSum;
    }
    SENSOR_DBG_OP(kInitOp, "m_nKeyCmdNum(%d), m_nKeyValNum(%d)\n", m_nKeyCmdNum, m_nKeyValSum);

    m_pFctKeyVal = m_ppUserKeyVal[m_stSysConf.nSchemeSum];
    if (m_nKeyValSum > 0) {
        std::memcpy(m_pFctKeyVal, p_pFactory, m_nKeyValSum * sizeof(KeyVal));
    }
    m_pstKeyValTmp = allocRecords(m_nKeyValSum + 1);
}

void ISensorController::removeParamFiles() {
    sy_system(SensorPaths::removeParamFilesCommand(m_nCameraID), kShellTimeout);
}

void ISensorController::initJudgeDeviceData(const std::string& p_strBroken) {
    std::string strReason = p_strBroken;
    if (strReason.empty() && 0 == m_nKeyValSum) {
        strReason = "the style yields no parameter";
    }
    m_bDeviceDataBroken = !strReason.empty();
    if (m_bDeviceDataBroken) {
        SENSOR_ALARM_OP(kInitOp,
                        "channel %d: device data broken (%s): parameter files are neither written "
                        "nor removed until it is whole\n",
                        m_nCameraID, strReason.c_str());
    }
}

bool ISensorController::initCheckVersion() {
    u32 nStored = 0;
    int nRet = getVersion(&nStored);
    if (OVS_SUCCESS == nRet && nStored == m_nVersion) {
        return true;
    }
    if (stampUnusable()) {
        // It exists but is no readable file: nothing tells the files' version, so they stay.
        SENSOR_ALARM_OP(kInitOp, "stamp(%s) cannot be read: parameter files kept\n",
                        SensorPaths::kStampPath);
        return false;
    }
    SENSOR_WARN_OP(
        kInitOp,
        "check the sensor version,   local(%u) --> libtarnis.so(%u), source the cmd: rm -rf "
        "/mnt/mtd/code/config*/sensor*\n",
        nStored, m_nVersion);
    if (m_bDeviceDataBroken) {
        return false;
    }
    if (anyParamFileExists()) {
        SENSOR_ALARM_OP(
            kInitOp, "stamp(%u) differs from version %u: parameter files of channel %d removed\n",
            nStored, m_nVersion, m_nCameraID);
    }
    removeParamFiles();
    return false;
}

void ISensorController::initWriteStamp() {
    int nRet = setVersion(m_nVersion);
    SENSOR_ASSERT_OP(kInitOp, OVS_SUCCESS == nRet, "OVS_SUCCESS == setVersion(m_nVersion)",
                     "m_nVersion(%d)\n", m_nVersion);
    u32 nBack = 0;
    nRet = getVersion(&nBack);
    if (OVS_SUCCESS != nRet || nBack != m_nVersion) {
        SENSOR_ALARM_OP(
            kInitOp,
            "stamp(%s) does not read back as %u after writing: the next start keeps the "
            "parameter files while it cannot be read\n",
            SensorPaths::kStampPath, m_nVersion);
    }
}

bool ISensorController::anyParamFileExists() const {
    char szName[128];
    for (u32 s = 0; s < m_stSysConf.nSchemeSum; ++s) {
        paramFileName(static_cast<int>(s), szName, sizeof(szName));
        if (OVPath::exists(szName)) {
            return true;
        }
    }
    return false;
}

void ISensorController::initDeviceMarkers(MachineInfo& p_objMachine) {
    SystemInfoParser::parseMachineInfo(SensorPaths::kMachineInfoPath, p_objMachine);
    DeviceType objDeviceType;
    objDeviceType.setDeviceTypeId(p_objMachine.getDeviceType());

    const std::string strDetail = detailText(m_stSysConf.moduleConfig);
    m_bisLimitedIrPower = false;
    m_bLprMode = false;
    if (strDetail.find("(isInfrared=17)") != std::string::npos) {
        std::printf("#### m_bisLimitedIrPower is true!\n");
        std::fflush(stdout);
        m_bisLimitedIrPower = true;
    }
    // An LPR device without an infrared marker runs the LPR variant of the schedule.
    if (DeviceType::LPR == objDeviceType.getDeviceTypeId() &&
        strDetail.find("(isInfrared=0)") == std::string::npos &&
        strDetail.find("(isInfrared=1)") == std::string::npos) {
        m_bLprMode = true;
    }
}

const KeyVal* ISensorController::initSchemeDefaults(u32 p_nScheme) {
    if (!m_bLprMode || 1 != p_nScheme) {
        return m_pFctKeyVal;
    }
    std::memcpy(m_pstKeyValWork, m_pFctKeyVal, m_nKeyValSum * sizeof(KeyVal));
    for (const KeyOverride& stOverride : kLprScheme1) {
        for (u32 i = 0; i < m_nKeyValSum; ++i) {
            if (m_pstKeyValWork[i].key == stOverride.key) {
                m_pstKeyValWork[i].value = stOverride.value;
                break;
            }
        }
    }
    return m_pstKeyValWork;
}

void ISensorController::initLoadSchemes() {
    m_bScheduleScheme = false;
    m_bAutoScheme = false;
    for (u32 s = 0; s < m_stSysConf.nSchemeSum; ++s) {
        initLoadScheme(s);
        if (0 == s) {
            u32 nMode = 0;
            if (getKeyValFromCache(0, KEY_SCHEME_MODE, nMode) >= 0) {
                m_bScheduleScheme = (1 == nMode);
                m_bAutoScheme = (2 == nMode);
            }
        }
    }
}

void ISensorController::initLoadScheme(u32 p_nScheme) {
    char szName[128];
    paramFileName(static_cast<int>(p_nScheme), szName, sizeof(szName));
    const bool bMayWrite = !m_bDeviceDataBroken;
    if (bMayWrite && !OVPath::exists(szName)) {
        if (!m_bLprMode && 0 == p_nScheme) {
            setKeyValToCache(m_stSysConf.nSchemeSum, KEY_SCHEME_MODE, 0, true);
        }
        keyValToFile(szName, const_cast<KeyVal*>(initSchemeDefaults(p_nScheme)), m_nKeyValSum);
    }
    // Records the file lacks keep the scheme's defaults; records of other keys are dropped.
    const RecordLoadResult stLoad = loadRecordsByKey(szName, initSchemeDefaults(p_nScheme),
                                                     m_nKeyValSum, m_ppUserKeyVal[p_nScheme]);
    if (!bMayWrite) {
        return;
    }
    if (RecordLoadState::kDamaged == stLoad.state) {
        keepDamagedCopy(szName);
    }
    // A file of another key list, or a damaged one, is written anew in this list's layout.
    if (RecordLoadState::kDamaged == stLoad.state || RecordLoadState::kByKey == stLoad.state) {
        keyValToFile(szName, m_ppUserKeyVal[p_nScheme], m_nKeyValSum);
    }
}

void ISensorController::initVideoDecisions(const MachineInfo& p_objMachine) {
    if (m_pVideoStreamModule == nullptr) {
        return;
    }
    const std::string& strModel = p_objMachine.getHardwareModel();
    const bool bBeawayLimited = strModel == "Hi3516AV200" || strModel == "Hi3516AV200Thermal";
    std::vector<AVStreamParam> vecStreams;
    m_pVideoStreamModule->getStreamParams(vecStreams);
    for (const AVStreamParam& objStream : vecStreams) {
        if (50 == objStream.getFrameRate() || 60 == objStream.getFrameRate()) {
            m_bShowWDRFalg = false;
        }
        if (bBeawayLimited && 1 == objStream.getVideoEncoderType() &&
            objStream.getVideoHeight() <= 255) {
            setshowBeawayFalg(false);
        }
    }
    LimitedFramesWDRModeParam objLimited;
    m_pVideoStreamModule->getLimitedFramesWDRModeParam(m_nCameraID, objLimited);
    if (0 == objLimited.getLimitFramesModeId() && 1 == objLimited.getLimitWdr()) {
        m_bShowWDRFalg = false;
    }
}

void ISensorController::uinit() {
    // Nothing before init; nothing again after a uinit (the arrays are gone).
    if (!testFlag(inited_flag) || m_ppUserKeyVal == nullptr) {
        return;
    }
    FlagScope objUniniting(m_nFlags, uniniting_flag);
    // A pass that starts while the thread is being stopped gives up at once. No drain: a
    // reset calls this with m_objMutex held, after draining the gate itself.
    holdPasses(false);
    bool bStopped = m_pSensorThread->stop();
    releasePasses();
    SENSOR_ASSERT(bStopped, "m_pSensorThread->stop()", "%s", "");
    releaseAll();
}

void ISensorController::releaseAll() {
    releaseArrays();
    uinitSysConf(&m_stSysConf);
    m_stSysConf.szUIStyle = nullptr;
    for (u32 i = 0; m_stSysConf.pstUILanguage != nullptr && i < m_stSysConf.nLanguageSum; ++i) {
        m_stSysConf.pstUILanguage[i].szUICommon = nullptr;
        m_stSysConf.pstUILanguage[i].szUILanguage = nullptr;
    }
    m_nParamMode = 1;
    m_nLastScheme = -1;
    setCurScheme(-1);
    m_nKeyValSum = 0;
    // The key table is gone: back to its capacity; the LPR schedule acts on its next pass.
    m_nKeyCmdNum = SensorPaths::kKeyCapacity;
    m_nLastSchedule = 255;
    // What the processor holds is unknown now; the first switch after init sends everything.
    m_vecUnappliedKeys.clear();
}

void ISensorController::releaseArrays() {
    std::free(m_pstKeyValTmp);
    std::free(m_pKeyCmdMap);
    if (m_ppUserKeyVal != nullptr) {
        std::free(m_ppUserKeyVal[0]);
    }
    std::free(m_ppUserKeyVal);
    std::free(m_pstKeyValWork);
    m_pstKeyValTmp = nullptr;
    m_pKeyCmdMap = nullptr;
    m_ppUserKeyVal = nullptr;
    m_pstKeyValWork = nullptr;
    m_pFctKeyVal = nullptr;
}
