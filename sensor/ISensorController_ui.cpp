// UI documents and ranges: the dynamic style document, the language documents, the full
// parameter list of the current scheme, a command's list of allowed values and a command's
// execution status.
#define SENSOR_SOURCE_NAME "ISensorController.cpp"
#include "SensorTrace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ISensorController.h"
#include "OVMutexManager.h"
#include "OrvaneTime.h"
#include "SensorFile.h"
#include "SensorKeys.h"
#include "SensorPaths.h"
#include "SensorRecordLoad.h"
#include "SensorXmlText.h"
#include "StyleLimits.h"
#include "XmlString.h"

// The steps of getAllParameters report as getAllParameters.
constexpr SensorOp kGetAllParametersOp = {"getAllParameters",
                                          "bool ISensorController::getAllParameters(std::string&)"};

namespace {

// Readiness polls of the video module and the pause between two of them.
const int kReadyPolls = 30;
const long kReadyPauseUs = 50000;

// The maximum-shutter key; its style value decides between live and saved parameters.
const int kKeyMaxShutter = SensorKeys::KEY_MAX_SHUTTER;
// Style value of the maximum shutter when the style gives none; from it on the saved list
// is reported.
const int kSavedListThreshold = 200;

// Commands whose range may be asked for: maximum and fixed shutter, iris position and the
// auto-focus near limit.
const int kRangeCommands[] = {IA_CMD_MAX_SHUTTER, IA_CMD_FIX_SHUTTER, IA_CMD_IRIS_POSITION,
                              IA_CMD_AUTO_FOCUS_NEAR_LIMIT};

// Capacities of the processor's records.
const int kMaxDynamicCmds = sizeof(ia_dynamic_cmds_st::cmd_list) / sizeof(int);
const int kMaxRangeItems = sizeof(ia_dynamic_params_attr_st::item) / sizeof(int);

bool isRangeCommand(int p_nCmd) {
    for (int nCmd : kRangeCommands) {
        if (nCmd == p_nCmd) {
            return true;
        }
    }
    return false;
}

// Whether the command appears among the valid entries of the list (bounded by its capacity).
bool isListed(const ia_dynamic_cmds_st& p_stList, int p_nCmd) {
    const int nCount = p_stList.cmd_cnt < kMaxDynamicCmds ? p_stList.cmd_cnt : kMaxDynamicCmds;
    for (int i = 0; i < nCount; ++i) {
        if (p_stList.cmd_list[i] == p_nCmd) {
            return true;
        }
    }
    return false;
}

// Appends the first items of a range, each "%d", separated by single blanks.
void appendRangeItems(const ia_dynamic_params_attr_st& p_stRange, std::string& p_strRange) {
    int nCount = p_stRange.items_cnt < kMaxRangeItems ? p_stRange.items_cnt : kMaxRangeItems;
    for (int i = 0; i < nCount; ++i) {
        char szItem[64];
        memset(szItem, 0, sizeof(szItem));
        snprintf(szItem, sizeof(szItem), "%d", p_stRange.item[i]);
        if (i > 0) {
            p_strRange += " ";
        }
        p_strRange += szItem;
    }
}

// The merged style's value of the maximum shutter (the last element with its id decides);
// the value stays as passed in when the document holds none. Returns the search's result.
int readStyleMaxShutter(int p_nCameraID, int& p_nVal) {
    const std::string strFile = SensorPaths::mergedStylePath(p_nCameraID);
    const char* filename = strFile.c_str();
    // Read as text first, so that a file beyond the style limits is refused unparsed.
    TiXmlDocument objStyleXmlDoc;
    const INT64 nLength = getFileLen(filename);
    char* szText = styleFileWithinSize(nLength, filename) ? allocStyleText(nLength) : nullptr;
    const bool bRead = szText != nullptr && loadFromFile(filename, szText, nLength) >= 0;
    const bool bParsed = bRead && parseXmlText(objStyleXmlDoc, szText, filename);
    free(szText);
    SENSOR_ASSERT_OP(kGetAllParametersOp, bParsed,
                     "objStyleXmlDoc.LoadFile(filename, TIXML_ENCODING_UTF8)", "%s", "");
    return getDnaValbyCmdId(objStyleXmlDoc.RootElement(), kKeyMaxShutter, p_nVal);
}

}  // namespace

void ISensorController::waitForProcessorReady() const {
    if (m_pVideoStreamModule == nullptr) {
        return;
    }
    for (int nCount = 0; nCount < kReadyPolls; ++nCount) {
        if (m_pVideoStreamModule->get2ARunRet() == 0) {
            printf("### m_pVideoStreamModule->get2ARunRet() is ok! count = %d\n", nCount);
            fflush(stdout);
            return;
        }
        if (nCount + 1 < kReadyPolls) {
            OrvaneTime::wait(OrvaneTime(0, kReadyPauseUs));
        }
    }
}

std::string ISensorController::getUIStyleFile() {
    // Wait without the lock: a slow processor start must not block other callers.
    waitForProcessorReady();

    OV_LOCK_SCOPE(m_objMutex);
    std::string strTmp;
    const char* szStyle = m_stSysConf.szUIStyle != nullptr ? m_stSysConf.szUIStyle : "";
    const int nRet = getDnaStyle(m_nCameraID, szStyle, strTmp, m_bShowWDRFalg);
    SENSOR_ASSERT(OVS_SUCCESS == nRet,
                  "OVS_SUCCESS == getDnaStyle(m_nCameraID,m_stSysConf.szUIStyle, "
                  "strTmp,m_bShowWDRFalg)",
                  "%s", "");
    SENSOR_INFO("%s\n", strTmp.c_str());
    return strTmp;
}

const UILanguage* ISensorController::findUILanguage(int p_nLanguageId) const {
    if (m_stSysConf.pstUILanguage == nullptr || m_stSysConf.nLanguageSum == 0) {
        return nullptr;
    }
    for (u32 i = 0; i < m_stSysConf.nLanguageSum; ++i) {
        if (m_stSysConf.pstUILanguage[i].nLanguageId == p_nLanguageId) {
            return &m_stSysConf.pstUILanguage[i];
        }
    }
    return &m_stSysConf.pstUILanguage[0];
}

std::string ISensorController::getUICommonFile(int nLanguageId) {
    OV_LOCK_SCOPE(m_objMutex);
    SENSOR_DBG("LanguageId(%d)\n", nLanguageId);
    const UILanguage* pstLanguage = findUILanguage(nLanguageId);
    if (pstLanguage == nullptr || pstLanguage->szUICommon == nullptr) {
        return std::string();
    }
    return std::string(pstLanguage->szUICommon);
}

std::string ISensorController::getUILanguageFile(int nLanguageId) {
    OV_LOCK_SCOPE(m_objMutex);
    SENSOR_DBG("LanguageId(%d)\n", nLanguageId);
    const UILanguage* pstLanguage = findUILanguage(nLanguageId);
    if (pstLanguage == nullptr || pstLanguage->szUILanguage == nullptr) {
        return std::string();
    }
    return std::string(pstLanguage->szUILanguage);
}

void ISensorController::appendCorrectedScheme(std::string& p_strParameters) {
    // Only an existing scheme array (a user scheme or the factory copy) can be corrected.
    const bool bValid = m_ppUserKeyVal != nullptr && m_nCurScheme >= 0 &&
                        static_cast<u32>(m_nCurScheme) <= m_stSysConf.nSchemeSum;
    SENSOR_ASSERT_OP(kGetAllParametersOp, bValid,
                     "m_nCurScheme >= 0 && m_nCurScheme <= m_stSysConf.nSchemeSum",
                     "m_nCurScheme(%d) m_nKeyValSum(%d)\n", m_nCurScheme, m_nKeyValSum);
    if (!bValid) {
        return;
    }
    const int nRet = keyval_correct(m_nCameraID - 1, m_ppUserKeyVal[m_nCurScheme], m_nKeyValSum);
    SENSOR_ASSERT_OP(kGetAllParametersOp, OVS_SUCCESS == nRet,
                     "OVS_SUCCESS == keyval_correct(m_nCameraID - 1, m_ppUserKeyVal[m_nCurScheme], "
                     "m_nKeyValSum)",
                     "m_nCurScheme(%d) m_nKeyValSum(%d)\n", m_nCurScheme, m_nKeyValSum);
    keyval_st2str(p_strParameters, m_ppUserKeyVal[m_nCurScheme], m_nKeyValSum);
    SENSOR_DBG_OP(kGetAllParametersOp, "current scheme: %d\n%s\n", m_nCurScheme,
                  p_strParameters.c_str());
}

void ISensorController::appendSavedScheme(std::string& p_strParameters) {
    if (m_pstKeyValTmp == nullptr) {
        return;
    }
    char szFile[128];
    paramFileName(m_nCurScheme, szFile, sizeof(szFile));
    // By key: a file of another key list shows only this list's keys.
    loadRecordsByKey(szFile, m_pFctKeyVal, m_nKeyValSum, m_pstKeyValTmp);
    keyval_st2str(p_strParameters, m_pstKeyValTmp, m_nKeyValSum);
}

bool ISensorController::getAllParameters(std::string& p_strParameters) {
    SENSOR_OP_IS(kGetAllParametersOp);
    OV_LOCK_SCOPE(m_objMutex);
    int nMaxShutter = kSavedListThreshold;
    const int nRet = readStyleMaxShutter(m_nCameraID, nMaxShutter);
    if (nRet != OVS_SUCCESS || nMaxShutter < kSavedListThreshold) {
        appendCorrectedScheme(p_strParameters);
    } else if (static_cast<u32>(m_nCurScheme) < m_stSysConf.nSchemeSum) {
        appendSavedScheme(p_strParameters);
    }
    return true;
}

bool ISensorController::getSensorParamRange(int p_nCmd, int& p_nDefault, std::string& p_strRange) {
    // Cleared first, so a failed query reads as an empty list.
    ia_dynamic_cmds_st dnaCmdList;
    memset(&dnaCmdList, 0, sizeof(dnaCmdList));
    const int nListRet = ia_ioctrl_v2(m_nCameraID - 1, IA_CMD_DYNAMIC_PARAMS_CMDS_GET,
                                      IA_CMD_OPT_GET, (void*)(&dnaCmdList));
    SENSOR_ASSERT(OVS_SUCCESS == nListRet,
                  "OVS_SUCCESS == ia_ioctrl_v2(m_nCameraID-1, IA_CMD_DYNAMIC_PARAMS_CMDS_GET, "
                  "IA_CMD_OPT_GET, (void*)(&dnaCmdList))",
                  "%s", "");
    if (!isRangeCommand(p_nCmd) || !isListed(dnaCmdList, p_nCmd)) {
        return false;
    }

    ia_dynamic_params_attr_st stDynamicParam;
    memset(&stDynamicParam, 0, sizeof(stDynamicParam));
    const int nRangeRet = doIaCmd(p_nCmd, IA_CMD_OPT_GET_PARAM_RNAGE, (void*)(&stDynamicParam));
    SENSOR_ASSERT(OVS_SUCCESS == nRangeRet,
                  "OVS_SUCCESS == doIaCmd(p_nCmd, IA_CMD_OPT_GET_PARAM_RNAGE, "
                  "(void*)(&stDynamicParam))",
                  "%s", "");
    if (stDynamicParam.param_type != 0) {
        return true;  // not a list of discrete values: nothing to offer
    }

    p_nDefault = stDynamicParam.def_val;
    appendRangeItems(stDynamicParam, p_strRange);
    printf("cmd=%d DefaltParam=%d strParamRange=%s\n", p_nCmd, p_nDefault, p_strRange.c_str());
    fflush(stdout);
    return true;
}

bool ISensorController::getCmdExecStatus(int p_nCmd, int& p_nVal) {
    if (OVS_SUCCESS != doIaCmd(p_nCmd, IA_CMD_OPT_GET_EXEC_STATUS, &p_nVal)) {
        return false;
    }
    SENSOR_DBG(
        "=================  get exec status cmd(0x%x)       value(%d)   "
        "======================\n",
        p_nCmd, p_nVal);
    return true;
}
