// The parameter engine: applies lists of key/value records through the key-command table and
// keeps the per-scheme caches in step; the text forms of setting and getting parameters;
// saving the current scheme.
#define SENSOR_SOURCE_NAME "ISensorController.cpp"
#include "SensorTrace.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ISensorController.h"
#include "IaRecordCmds.h"
#include "OVMutexManager.h"
#include "SensorKeyRows.h"
#include "SensorPaths.h"
#include "SensorKeys.h"
#include "SensorFile.h"
#include "StringHandler.h"
#include "ia_ioctrl.h"

namespace {

using namespace SensorKeys;
using SensorKeyRows::KeyRow;

// Scheme modes carried by KEY_SCHEME_MODE.
const u32 kSchemeModeFixed = 0;
const u32 kSchemeModeSchedule = 1;
const u32 kSchemeModeDayNight = 2;

// The light type that selects the intelligent light's shadow keys.
const u32 kLightTypeIntelligent = 2;
// Largest sum of the near and far infrared strengths while the power is limited.
const u32 kIrPowerLimit = 100;
// The second id 2 of a sensor check asks for a result.
const int kSensorCheckQuery = 2;
// Latest scheme time (24:00 as hour * 100 + minute).
const u32 kLatestSchemeTime = 2400;
// flush results beyond the time-window codes (documented with flush).
const int kFlushNotSaved = 508;
const int kFlushDeviceDataBroken = 509;

// The console line of a read of the other infrared strength.
void irPartnerLine(const KeyRow& partner, bool read) {
    std::printf("### %s doIaCmd %s\n", partner.name, read ? "sucess" : "error");
    std::fflush(stdout);
}

// Copies a NUL-padded table field into a terminated text.
template <size_t N>
struct FieldText {
    explicit FieldText(const char (&field)[N]) {
        std::memcpy(text, field, N);
        text[N] = '\0';
    }
    char text[N + 1];
};

// The console line for an id text that cannot be read.
void printIdsRefused(int line, const std::string& ids) {
    std::printf("%s%d getParameters fail p_strIds = %s \n", SENSOR_SOURCE_NAME, line, ids.c_str());
    std::fflush(stdout);
}

// Number of ")" in a parameter text: the most records it can yield.
size_t countClosingParens(const std::string& text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), ')'));
}

// The record of the sensor check command: three request numbers, then the result.
void fillSensorCheck(const std::vector<std::string>& ids, ia_sensor_check_st& check) {
    for (int i = 0; i < 3; ++i) {
        check.param[i] = std::atoi(ids[i].c_str());
    }
    check.result = 0;
}

// The steps of the record loop report as the loop itself.
constexpr SensorOp kSetParametersOp = {"setParameters",
                                       "int ISensorController::setParameters(KeyVal*, u32, bool)"};

// A key read or set by number carries one int: a command whose data is a record is refused
// with a report under the operation `op`. True when refused.
bool refuseRecordCmd(const SensorOp& op, u32 p_nCmd, u32 p_nOpt) {
    const bool bRecord = iaCarriesRecord(p_nCmd, p_nOpt);
    SENSOR_ASSERT_OP(op, !bRecord, "!iaCarriesRecord(nCmd, nOpt)",
                     "cmd(%u) opt(%u) carries a record, not one value: refused\n", p_nCmd, p_nOpt);
    return bRecord;
}

}  // namespace

// ---- the public text forms (each takes the mutex) ----

int ISensorController::setParameters(const std::string& p_strParameters, bool p_bSave) {
    OV_LOCK_SCOPE(m_objMutex);
    SENSOR_DBG("p_Parameters1111111111(%s)\n", p_strParameters.c_str());

    // Parse into a buffer with room for every group of the text, then keep as many records
    // as the scratch array holds; pairs beyond that are ignored.
    std::vector<KeyVal> parsed(countClosingParens(p_strParameters) + 1);
    u32 nCount = 0;
    keyval_str2st(p_strParameters, parsed.data(), &nCount);
    if (m_pstKeyValTmp == nullptr) {
        nCount = 0;
    }
    nCount = std::min(nCount, m_nKeyValSum);
    if (nCount > 0) {
        std::memcpy(m_pstKeyValTmp, parsed.data(), nCount * sizeof(KeyVal));
    }
    return setParameters(m_pstKeyValTmp, nCount, p_bSave);
}

int ISensorController::setParameter(int p_nKey, int p_nVal, bool p_bSave) {
    OV_LOCK_SCOPE(m_objMutex);
    SENSOR_DBG("p_Parameters22222222222(%d, %d)\n", p_nKey, p_nVal);
    KeyVal stKeyVal = {static_cast<u32>(p_nKey), p_nVal};
    return setParameters(&stKeyVal, 1, p_bSave);
}

bool ISensorController::getParameter(int p_nKey, int& p_nVal) {
    OV_LOCK_SCOPE(m_objMutex);
    SENSOR_DBG("p_nKey(%d)\n", p_nKey);

    u32 nCached = 0;
    if (getKeyValFromCache(static_cast<u32>(m_nCurScheme), static_cast<u32>(p_nKey), nCached) >=
        0) {
        p_nVal = static_cast<int>(nCached);
        return true;
    }
    const KeyRow* pRow = SensorKeyRows::findRow(static_cast<u32>(p_nKey));
    if (pRow != nullptr && pRow->has(SensorKeyRows::kMinusOneUncached)) {
        p_nVal = -1;
        return true;
    }
    if (refuseRecordCmd(SENSOR_HERE, static_cast<u32>(p_nKey), IA_CMD_OPT_GET)) {
        return false;
    }
    if (OVS_SUCCESS != doIaCmd(static_cast<u32>(p_nKey), IA_CMD_OPT_GET, &p_nVal)) {
        SENSOR_ASSERT(false, "OVS_SUCCESS == doIaCmd(p_nKey, IA_CMD_OPT_GET, &p_nVal)",
                      "get key(%d) val from 2a err", p_nKey);
        return false;
    }
    return true;
}

bool ISensorController::getParameters(const std::string& p_strIds, std::string& p_strParameters) {
    std::vector<std::string> vecIds;
    if (!parseSensorParameter(p_strIds, vecIds)) {
        printIdsRefused(__LINE__, p_strIds);
        return false;
    }
    p_strParameters.clear();
    for (const std::string& strId : vecIds) {
        const int nKey = std::atoi(strId.c_str());
        int nVal = 0;
        if (getParameter(nKey, nVal)) {
            char szPair[32];
            std::snprintf(szPair, sizeof(szPair), "(%d,%d)", nKey, nVal);
            p_strParameters += szPair;
        }
    }
    std::printf("@@ out_Parameters = %s @@\n", p_strParameters.c_str());
    std::fflush(stdout);
    return true;
}

bool ISensorController::parseSensorParameter(const std::string& p_strIds,
                                             std::vector<std::string>& p_vecIds) {
    p_vecIds.clear();
    if (p_strIds.size() < 3 || p_strIds[0] != '(' || p_strIds.find(')') != p_strIds.size() - 1) {
        return false;
    }
    StringHandler::split(p_strIds.substr(1, p_strIds.size() - 2), p_vecIds, ",");
    return !p_vecIds.empty();
}

int ISensorController::SensorCheck(std::string& p_strParameters) {
    std::vector<std::string> vecIds;
    // The check needs its three request numbers; anything else is refused like a malformed
    // text.
    if (!parseSensorParameter(p_strParameters, vecIds) || vecIds.size() < 3) {
        printIdsRefused(__LINE__, p_strParameters);
        return 0;
    }
    ia_sensor_check_st stCheck;
    fillSensorCheck(vecIds, stCheck);
    const bool bQuery = (stCheck.param[1] == kSensorCheckQuery);
    const int nRet =
        doIaCmd(IA_CMD_SENSOR_CHECK, bQuery ? IA_CMD_OPT_GET : IA_CMD_OPT_SET, &stCheck);
    if (bQuery) {
        p_strParameters = std::to_string(stCheck.result);
    }
    return nRet;
}

int ISensorController::flush() {
    OV_LOCK_SCOPE(m_objMutex);
    if (static_cast<u32>(m_nCurScheme) >= m_stSysConf.nSchemeSum || m_ppUserKeyVal == nullptr) {
        return 0;
    }
    const int nCheck = paramCheck();
    if (nCheck != 0) {
        return nCheck;
    }
    if (m_bDeviceDataBroken) {
        return kFlushDeviceDataBroken;  // said once, at init
    }
    char szFile[128];
    paramFileName(m_nCurScheme, szFile, sizeof(szFile));
    const int nRet = keyValToFile(szFile, m_ppUserKeyVal[m_nCurScheme], m_nKeyValSum);
    return OVS_SUCCESS == nRet ? OVS_SUCCESS : kFlushNotSaved;
}

int ISensorController::paramCheck() {
    // The time window is the second to fifth record of every scheme array.
    if (!hasCurrentScheme() || m_nKeyValSum < 5) {
        return 0;
    }
    const KeyVal* pScheme = m_ppUserKeyVal[m_nCurScheme];
    const u32 nStart =
        100u * static_cast<u32>(pScheme[1].value) + static_cast<u32>(pScheme[2].value);
    const u32 nEnd = 100u * static_cast<u32>(pScheme[3].value) + static_cast<u32>(pScheme[4].value);
    if (nStart > kLatestSchemeTime) {
        SENSOR_DBG("failed!!!! nParamSchemeStartTime(%d)\n", nStart);
        return 505;
    }
    if (nEnd > kLatestSchemeTime) {
        SENSOR_DBG("failed!!!! nParamSchemeEndTime(%d)\n", nEnd);
        return 506;
    }
    if (nStart >= nEnd) {
        SENSOR_DBG("failed!!!! nParamSchemeStartTime(%d) nParamSchemeEndTime(%d)\n", nStart, nEnd);
        return 507;
    }
    return 0;
}

// ---- the cache ----

int ISensorController::setKeyValToCache(u32 p_nScheme, u32 p_nKey, u32 p_nVal, bool p_bForce) {
    const u32 nLimit = p_bForce ? m_stSysConf.nSchemeSum + 1 : m_stSysConf.nSchemeSum;
    if (p_nScheme >= nLimit || m_ppUserKeyVal == nullptr) {
        return -2;
    }
    KeyVal* pScheme = m_ppUserKeyVal[p_nScheme];
    for (u32 i = 0; i < m_nKeyValSum; ++i) {
        if (pScheme[i].key == p_nKey) {
            pScheme[i].value = static_cast<int32_t>(p_nVal);
            return static_cast<int>(i);
        }
    }
    return -1;
}

int ISensorController::getKeyValFromCache(u32 p_nScheme, u32 p_nKey, u32& p_nVal) {
    if (p_nScheme > m_stSysConf.nSchemeSum) {
        SENSOR_DBG("can not find val, invalid sheme(%d) \n", p_nScheme);
        return -1;
    }
    if (m_ppUserKeyVal == nullptr) {
        return -1;
    }
    const KeyVal* pScheme = m_ppUserKeyVal[p_nScheme];
    for (u32 i = 0; i < m_nKeyValSum; ++i) {
        if (pScheme[i].key == p_nKey) {
            p_nVal = static_cast<u32>(pScheme[i].value);
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool ISensorController::isKeyValSame(const KeyVal& p_stKeyVal) {
    const int32_t nScheme = testFlag(switching_flag) ? m_nLastScheme : m_nCurScheme;
    u32 nCached = 0;
    if (getKeyValFromCache(static_cast<u32>(nScheme), p_stKeyVal.key, nCached) < 0) {
        return false;
    }
    return static_cast<int32_t>(nCached) == p_stKeyVal.value;
}

// ---- the engine ----

bool ISensorController::hasCurrentScheme() const {
    return m_ppUserKeyVal != nullptr && m_nCurScheme >= 0 &&
           static_cast<u32>(m_nCurScheme) <= m_stSysConf.nSchemeSum;
}

void ISensorController::forceToCurrentScheme(u32 p_nKey, int32_t p_nVal) {
    if (hasCurrentScheme()) {
        setKeyValToCache(static_cast<u32>(m_nCurScheme), p_nKey, static_cast<u32>(p_nVal), true);
    }
}

void ISensorController::applySchemeMode(int32_t p_nMode) {
    if (m_nCurScheme != 0) {
        return;
    }
    const u32 nMode = static_cast<u32>(p_nMode);
    m_bScheduleScheme = (nMode == kSchemeModeSchedule);
    m_bAutoScheme = (nMode == kSchemeModeDayNight);
    const u32 nSpread =
        (m_bScheduleScheme || m_bAutoScheme) ? nMode : static_cast<u32>(kSchemeModeFixed);
    for (u32 s = 1; s < m_stSysConf.nSchemeSum; ++s) {
        setKeyValToCache(s, KEY_SCHEME_MODE, nSpread, true);
    }
}

bool ISensorController::routeThermalKey(const KeyRow* p_pRow, KeyVal& p_stKeyVal) {
    if (m_nCameraID != SensorPaths::kThermalChannel || p_pRow == nullptr) {
        return false;
    }
    if (p_pRow->has(SensorKeyRows::kThermalHandler)) {
        const KeyHandler handler = rowHandler(static_cast<size_t>(p_pRow - SensorKeyRows::kRows));
        (this->*handler)(p_pRow->cmd, IA_CMD_OPT_SET, &p_stKeyVal.value);
        return true;
    }
    if (p_pRow->has(SensorKeyRows::kThermalVideo)) {
        notifyToVideo(static_cast<int>(p_stKeyVal.key), p_stKeyVal.value);
        return true;
    }
    return false;
}

bool ISensorController::shareDayNightKey(const KeyRow* p_pRow, const KeyVal& p_stKeyVal) {
    if (!m_bAutoScheme || p_pRow == nullptr || !p_pRow->has(SensorKeyRows::kSharedDayNight)) {
        return true;
    }
    if (m_nCurScheme == 0) {
        setKeyValToCache(1, p_stKeyVal.key, static_cast<u32>(p_stKeyVal.value), true);
        return true;
    }
    return false;
}

bool ISensorController::irPowerAllowed(const KeyRow* p_pRow, const KeyVal& p_stKeyVal) {
    const KeyRow* pPartner = p_pRow != nullptr ? SensorKeyRows::irPowerPartner(*p_pRow) : nullptr;
    if (!m_bisLimitedIrPower || pPartner == nullptr) {
        return true;
    }
    int nOther = -1;
    u32 nCached = 0;
    if (hasCurrentScheme() &&
        getKeyValFromCache(static_cast<u32>(m_nCurScheme), pPartner->key, nCached) >= 0) {
        nOther = static_cast<int>(nCached);
    } else {
        int nRead = 0;
        const int nRet = doIaCmd(pPartner->key, IA_CMD_OPT_GET, &nRead);
        SENSOR_ASSERT_OP(kSetParametersOp, OVS_SUCCESS == nRet,
                         "OVS_SUCCESS == doIaCmd(nOtherKey, IA_CMD_OPT_GET, &nOther)",
                         "nOtherKey(%u) ret(%d)\n", pPartner->key, nRet);
        irPartnerLine(*pPartner, OVS_SUCCESS == nRet);
        if (OVS_SUCCESS == nRet) {
            nOther = nRead;
        }
    }
    if (nOther == -1) {
        return true;
    }
    return static_cast<u32>(nOther) + static_cast<u32>(p_stKeyVal.value) <= kIrPowerLimit;
}

bool ISensorController::routeLightKey(const KeyRow* p_pRow, const KeyVal& p_stKeyVal,
                                      u32& p_nDispatchKey) {
    p_nDispatchKey = p_stKeyVal.key;
    const KeyRow* pPlain = (p_pRow != nullptr && p_pRow->shadow != 0) ? p_pRow : nullptr;
    const KeyRow* pShadowed = SensorKeyRows::findShadowed(p_stKeyVal.key);
    if (pPlain == nullptr && pShadowed == nullptr) {
        return true;
    }
    // Without a current scheme the light type reads as not cached (0) and nothing is mirrored.
    u32 nLightType = 0;
    if (hasCurrentScheme()) {
        getKeyValFromCache(static_cast<u32>(m_nCurScheme), KEY_LIGHT_TYPE, nLightType);
    }
    const bool bIntelligent = (nLightType == kLightTypeIntelligent);
    if (pPlain != nullptr) {
        if (bIntelligent) {
            return false;
        }
        forceToCurrentScheme(pPlain->shadow, p_stKeyVal.value);
        return true;
    }
    if (!bIntelligent) {
        return false;
    }
    forceToCurrentScheme(pShadowed->key, p_stKeyVal.value);
    p_nDispatchKey = pShadowed->key;
    return true;
}

int ISensorController::dispatchKeyVal(u32 p_nIndex, u32 p_nKey, int32_t* p_pVal) {
    keycmd stKeyCmdTmp;
    const int nRow = findFromKeyCmdMap(m_pKeyCmdMap, p_nKey, stKeyCmdTmp);
    if (nRow == -1) {
        SENSOR_ASSERT_OP(kSetParametersOp, false,
                         "-1 != findFromKeyCmdMap(m_pKeyCmdMap, nKey, stKeyCmdTmp)",
                         "p_pKeyval[%u].key(%u)", p_nIndex, p_nKey);
        SENSOR_TRACE_C_OP(kSetParametersOp, kColorGreen, "not find (%d) \n", p_nKey);
        if (refuseRecordCmd(kSetParametersOp, p_nKey, IA_CMD_OPT_SET)) {
            return -static_cast<int>(p_nKey);
        }
        std::memset(&stKeyCmdTmp, 0, sizeof(stKeyCmdTmp));
        stKeyCmdTmp.key = p_nKey;
        stKeyCmdTmp.ia_cmd = p_nKey;
        stKeyCmdTmp.handler = &ISensorController::doIaCmd;
        std::snprintf(stKeyCmdTmp.szKeyName, sizeof(stKeyCmdTmp.szKeyName), "%s", "unknow key");
        std::snprintf(stKeyCmdTmp.szFuncName, sizeof(stKeyCmdTmp.szFuncName), "%s",
                      "ISensorController::doIaCmd");
    }
    if (stKeyCmdTmp.handler == nullptr) {
        // Rows without a handler hold keys the engine only stores.
        return 0;
    }
    const FieldText<sizeof(stKeyCmdTmp.szKeyName)> keyName(stKeyCmdTmp.szKeyName);
    const FieldText<sizeof(stKeyCmdTmp.szFuncName)> funcName(stKeyCmdTmp.szFuncName);
    SENSOR_DBG_OP(kSetParametersOp,
                  "====================== set %s (%d,%d) func:%s ia_cmd:%d =====================\n",
                  keyName.text, p_nKey, *p_pVal, funcName.text, stKeyCmdTmp.ia_cmd);

    const int nRet = (this->*stKeyCmdTmp.handler)(stKeyCmdTmp.ia_cmd, IA_CMD_OPT_SET, p_pVal);
    if (nRet == 0) {
        return 0;
    }
    if (nRet == -1 || nRet == -4 || nRet == -5) {
        SENSOR_ERR_OP(kSetParametersOp, "set %s (%d,%d) func:%s ia_cmd:%d ~~~failed ia_ret=%d\n",
                      keyName.text, p_nKey, *p_pVal, funcName.text, stKeyCmdTmp.ia_cmd, nRet);
    }
    return -static_cast<int>(stKeyCmdTmp.key);
}

void ISensorController::storeKeyVal(u32 p_nIndex, const KeyVal& p_stKeyVal) {
    const int nRet = setKeyValToCache(static_cast<u32>(m_nCurScheme), p_stKeyVal.key,
                                      static_cast<u32>(p_stKeyVal.value), false);
    if (nRet == -1) {
        SENSOR_DBG_OP(kSetParametersOp,
                      "SET_KEY_VAL FAILED, m_nCurScheme(%d), p_pKeyval[%d].key(%d), "
                      "p_pKeyval[%d].value(%d),  maybe jixin\n",
                      m_nCurScheme, p_nIndex, p_stKeyVal.key, p_nIndex, p_stKeyVal.value);
    }
}

void ISensorController::markUnapplied(const KeyVal* p_pKeyval, u32 p_nFirst, u32 p_nCount) {
    // Only a switch leaves the cache ahead of the processor: elsewhere a record that is not
    // applied is not stored either.
    if (!testFlag(switching_flag) || p_nFirst >= p_nCount) {
        return;
    }
    SENSOR_ASSERT_OP(kSetParametersOp, false, "applied(p_pKeyval[i].key)",
                     "%u records from key(%u) on not applied: the next apply sends them again\n",
                     p_nCount - p_nFirst, p_pKeyval[p_nFirst].key);
    for (u32 i = p_nFirst; i < p_nCount; ++i) {
        if (!isUnapplied(p_pKeyval[i].key)) {
            m_vecUnappliedKeys.push_back(p_pKeyval[i].key);
        }
    }
}

bool ISensorController::isUnapplied(u32 p_nKey) const {
    return std::find(m_vecUnappliedKeys.begin(), m_vecUnappliedKeys.end(), p_nKey) !=
           m_vecUnappliedKeys.end();
}

void ISensorController::clearUnapplied(u32 p_nKey) {
    m_vecUnappliedKeys.erase(
        std::remove(m_vecUnappliedKeys.begin(), m_vecUnappliedKeys.end(), p_nKey),
        m_vecUnappliedKeys.end());
}

int ISensorController::setParameters(KeyVal* p_pKeyval, u32 p_nCount, bool p_bSave) {
    SENSOR_OP_IS(kSetParametersOp);
    for (u32 i = 0; i < p_nCount; ++i) {
        KeyVal& stKeyVal = p_pKeyval[i];
        const u32 nKey = stKeyVal.key;

        // Unchanged values are neither sent nor stored again, unless an earlier switch left
        // the processor without them.
        if (p_bSave && !isUnapplied(nKey) && isKeyValSame(stKeyVal)) {
            SENSOR_DBG(
                "ignore, (%u,%u) is newest, m_nFlags.switching_flag(%d), m_nLastScheme(%d), "
                "m_nCurScheme(%d)!!!\n",
                nKey, static_cast<u32>(stKeyVal.value), testFlag(switching_flag) ? 1 : 0,
                m_nLastScheme, m_nCurScheme);
            continue;
        }

        // What the key is decides the way: its row's flags and shadow key.
        const KeyRow* pRow = SensorKeyRows::findRow(nKey);
        bool bDispatch = true;
        u32 nDispatchKey = nKey;
        if (pRow != nullptr && pRow->has(SensorKeyRows::kStoredOnly)) {
            bDispatch = false;
        } else if (pRow != nullptr && pRow->has(SensorKeyRows::kSchemeMode)) {
            applySchemeMode(stKeyVal.value);
            bDispatch = false;
        } else if (routeThermalKey(pRow, stKeyVal)) {
            bDispatch = false;
        } else {
            bDispatch = shareDayNightKey(pRow, stKeyVal);
            if (!irPowerAllowed(pRow, stKeyVal)) {
                markUnapplied(p_pKeyval, i, p_nCount);
                return -static_cast<int>(p_pKeyval[0].key);
            }
            if (!routeLightKey(pRow, stKeyVal, nDispatchKey)) {
                continue;
            }
        }

        if (bDispatch) {
            // Some handlers report a refused processor set without failing; the refusal
            // count tells.
            const u32 nRefused = refusedSets();
            const int nRet = dispatchKeyVal(i, nDispatchKey, &stKeyVal.value);
            if (nRet != 0) {
                markUnapplied(p_pKeyval, i, p_nCount);
                return nRet;
            }
            if (refusedSets() != nRefused) {
                markUnapplied(p_pKeyval, i, i + 1);
            } else {
                clearUnapplied(nKey);
            }
        } else {
            clearUnapplied(nKey);
        }
        if (p_bSave) {
            storeKeyVal(i, stKeyVal);
        }
    }
    std::printf("\n");
    std::fflush(stdout);
    return 0;
}
