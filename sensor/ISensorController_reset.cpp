// Going back: one key from the cache (restore), the current scheme from its file
// (resetToLastParameters), and the factory reset of the channel (resetParameters).
#define SENSOR_SOURCE_NAME "ISensorController.cpp"
#include "SensorTrace.h"

#include <cstring>
#include <string>
#include <vector>

#include "FlagScope.h"
#include "ISensorController.h"
#include "SensorKeys.h"
#include "MachineInfo.h"
#include "ModuleConfigure.h"
#include "OVMutexManager.h"
#include "SensorFile.h"
#include "SensorPaths.h"
#include "SensorRecordLoad.h"

namespace {

using namespace SensorKeys;

// A text field of the module record, bounded by the field.
template <size_t N>
std::string fieldText(const char (&p_szField)[N]) {
    return std::string(p_szField, strnlen(p_szField, N));
}

// The steps of the factory reset report as resetParameters.
constexpr SensorOp kResetParametersOp = {"resetParameters",
                                         "bool ISensorController::resetParameters()"};

}  // namespace

int ISensorController::restore(int p_nKey) {
    OV_LOCK_SCOPE(m_objMutex);
    SENSOR_DBG("p_nKey(%d)\n", p_nKey);
    int nPos = -1;
    if (isSchemeUsable(m_nCurScheme)) {
        const KeyVal* pScheme = m_ppUserKeyVal[m_nCurScheme];
        for (u32 i = 0; i < m_nKeyValSum; ++i) {
            if (pScheme[i].key == static_cast<u32>(p_nKey)) {
                nPos = static_cast<int>(i);
                break;
            }
        }
    }
    SENSOR_ASSERT(-1 != nPos, "-1 != nPos",
                  "restore key(%d) failed! make sure it is sensor ui key \n", p_nKey);
    if (-1 == nPos) {
        return -1;
    }
    // Sent even when the processor already has it; a copy, so that a handler that rewrites
    // the value does not touch the cache.
    KeyVal stRecord = m_ppUserKeyVal[m_nCurScheme][nPos];
    return setParameters(&stRecord, 1, false);
}

bool ISensorController::restoreAeMode() {
    if (0 != restore(KEY_AUTO_FOCUS_MODE)) {
        return false;
    }
    return 0 == restore(KEY_EXPOSE_MODE);
}

bool ISensorController::resetToLastParameters() {
    SENSOR_DBG("\n");
    // Nothing to reload for the factory scheme or before the first switch; decided from the
    // atomic mirror of the index, before and without the lock.
    if (!m_bCurSchemeHasFile.load()) {
        return true;
    }
    OV_LOCK_SCOPE(m_objMutex);
    // A reset may have changed the index since: checked again under the lock.
    if (static_cast<u32>(m_nCurScheme) >= m_stSysConf.nSchemeSum || m_pstKeyValTmp == nullptr) {
        return true;
    }
    char szTmp[128];
    paramFileName(m_nCurScheme, szTmp, sizeof(szTmp));
    FlagScope objRestoring(m_nFlags, restoring_flag);
    // The file is read by key, so no record of another key list reaches the processor.
    // Records it does not cover (missing, short, unreadable or damaged file, each reported)
    // keep the cached values, which the engine then finds unchanged and does not send.
    const RecordLoadResult stLoad =
        loadRecordsByKey(szTmp, m_ppUserKeyVal[m_nCurScheme], m_nKeyValSum, m_pstKeyValTmp);
    const bool bLoaded =
        RecordLoadState::kSameLayout == stLoad.state || RecordLoadState::kByKey == stLoad.state;
    int nRet = bLoaded ? OVS_SUCCESS : -1;
    SENSOR_ASSERT(OVS_SUCCESS == nRet,
                  "OVS_SUCCESS == keyValFromFile(szTmp, m_pstKeyValTmp, m_nKeyValSum)",
                  "szTmp(%s), m_nKeyValSum(%d)\n", szTmp, m_nKeyValSum);
    nRet = setParameters(m_pstKeyValTmp, m_nKeyValSum, true);
    return OVS_SUCCESS == nRet;
}

bool ISensorController::readModuleDocuments(ModuleConfigure& p_objModule) {
    MachineInfo objMachine;
    bool bParsed = SystemInfoParser::parseMachineInfo(SensorPaths::kMachineInfoPath, objMachine);
    SENSOR_ASSERT_OP(kResetParametersOp, bParsed, SensorPaths::kParseMachineInfoText, "%s", "");
    std::vector<ModuleConfigure> vecModules;
    ModuleConfigureParser::parse(SensorPaths::kModuleConfigPath, objMachine.getHardwareModel(),
                                 objMachine.getHardwareCode(), vecModules);
    SENSOR_ASSERT_OP(kResetParametersOp, !vecModules.empty(), "!vecModuleConfigure.empty()",
                     "file(%s)\n", SensorPaths::kModuleConfigPath);
    if (vecModules.empty()) {
        return false;
    }
    p_objModule.setModuleId(vecModules[0].getModuleId());
    p_objModule.setDetail(vecModules[0].getDetail());
    p_objModule.setParameters(vecModules[0].getParameters());
    return true;
}

void ISensorController::buildResetModule(ModuleConfigure& p_objModule) {
    // With debugging on, the configuration comes again from the device's documents; when
    // they yield none, from the record kept since the last init.
    updateDebugLevel();
    if (__atomic_load_n(&g_nDebugLevel, __ATOMIC_RELAXED) > 5 && readModuleDocuments(p_objModule)) {
        return;
    }
    const ModuleConfig& stModule = m_stSysConf.moduleConfig;
    p_objModule.setDetail(fieldText(stModule.szDetail));
    p_objModule.setModuleId(stModule.nModuleId);
    p_objModule.setParameters(fieldText(stModule.szParameters));
}

bool ISensorController::resetParameters() {
    SENSOR_OP_IS(kResetParametersOp);
    // The thread is stopped and started again below with m_objMutex held: first make sure
    // that no pass waits for the mutex meanwhile (the hold lasts until the reset returns).
    struct PassHold {
        explicit PassHold(ISensorController& c) : rController(c) { rController.holdPasses(true); }
        ~PassHold() { rController.releasePasses(); }
        ISensorController& rController;
    } objHold(*this);
    OV_LOCK_SCOPE(m_objMutex);
    SENSOR_DBG("resetting\n");
    // Keeps the sensor thread and the waiting host operations away until the end.
    FlagScope objResetting(m_nFlags, resetting_flag);
    if (m_ppUserKeyVal != nullptr) {
        int nRet = switch_to(static_cast<int>(m_stSysConf.nSchemeSum), false);
        SENSOR_ASSERT(OVS_SUCCESS == nRet, "OVS_SUCCESS == switch_to(m_stSysConf.nSchemeSum)",
                      "m_stSysConf.nSchemeSum(%d)\n", m_stSysConf.nSchemeSum);
    }
    // Broken device data could not re-create them: the saved files stay.
    if (!m_bDeviceDataBroken) {
        removeParamFiles();
    }
    uinit();

    ModuleConfigure objModuleConfigure;
    buildResetModule(objModuleConfigure);
    bool bInited = init(objModuleConfigure);
    SENSOR_ASSERT(bInited, "init(objModuleConfigure)", "%s", "");

    setCurScheme(0);
    return true;
}
