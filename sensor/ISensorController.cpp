// The controller object: construction, small accessors and the key-command table.
#define SENSOR_SOURCE_NAME "ISensorController.cpp"
#include "SensorTrace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "GThread.h"
#include "ISensorController.h"
#include "MachineInfo.h"
#include "OVFunction.h"
#include "TarnisVersion.h"

namespace {

const char* const kMachineInfoPath = "/mnt/mtd/code/factory_setting/machineinfo.ini";
const char* const kParamFileFormat = "/mnt/mtd/code/config_file/sensor%d.cfg";
const char* const kThermalParamFileFormat = "/mnt/mtd/code/config_file/sensor-thermal%d.cfg";

// The channel id that selects the thermal parameter files.
const int kThermalChannel = 2;
// Rows allocated for the key-command table; the filled rows are counted by m_nKeyCmdNum.
const u32 kKeyCmdCapacity = 160;

// One row of the key-command table as written in the source.
struct KeyRow {
    u32 key;
    u32 cmd;
    KeyHandler handler;
    const char* funcName;
    const char* keyName;
};

// Copies a name into a NUL-padded field; a name as long as the field fills it without a
// terminator.
template <size_t N>
void copyName(char (&field)[N], const char* name) {
    std::memcpy(field, name, strnlen(name, N));
}

void fillKeyCmdRow(keycmd& row, const KeyRow& src) {
    row.key = src.key;
    row.ia_cmd = src.cmd;
    row.handler = src.handler;
    copyName(row.szKeyName, src.keyName);
    copyName(row.szFuncName, src.funcName);
}

}  // namespace

ISensorController::ISensorController()
    : m_stSysConf(),
      m_nCameraID(1),
      m_pSensorThread(nullptr),
      m_nLastScheme(-1),
      m_nCurScheme(-1),
      m_nParamMode(1),
      m_ppUserKeyVal(nullptr),
      m_pstKeyValTmp(nullptr),
      m_pFctKeyVal(nullptr),
      m_nKeyValSum(0),
      m_pstKeyValWork(nullptr),
      m_pKeyCmdMap(nullptr),
      m_nVersion(TARNIS_PARAM_FILE_VERSION),
      m_pVideoStreamModule(nullptr),
      m_nFlags(0),
      m_nPassHolds(0),
      m_bCurSchemeHasFile(false),
      m_nKeyCmdNum(kKeyCmdCapacity),
      m_nLastSchedule(255),
      m_bLprMode(false),
      m_bShowWDRFalg(true),
      m_nRefusedSets(0),
      m_bScheduleScheme(false),
      m_bAutoScheme(false),
      m_bisLimitedIrPower(false),
      m_bDeviceDataBroken(false) {
    // The body of the sensor thread: sensorThread bound to this controller. GThread keeps its
    // own copies; the temporaries here release their references on return.
    function<int> body(new function_obj<int, bind_funcobj0<int, ISensorController>>(
        &ISensorController::sensorThread, this));
    function<int> bodyCopy(body);
    m_pSensorThread = new GThread(bodyCopy, "SensorThread", function<int>(&GThread::emptyFun),
                                  function<int>(&GThread::emptyFun));

    // Without the file the device type stays 0, which no device-specific rule matches.
    SystemInfoParser::parseMachineInfo(kMachineInfoPath, m_objMachineInfo);
}

ISensorController::~ISensorController() {
    if (m_pSensorThread != nullptr) {
        // No pass starts again; the one that runs is joined by stop().
        holdPasses(false);
        m_pSensorThread->stop();
        // A controller the host never uinit-ed still owns its arrays and style text.
        releaseAll();
        delete m_pSensorThread;
        m_pSensorThread = nullptr;
    }
}

void ISensorController::setChannelID(int id) {
    // Channel ids are 1-based; the processor is called with id - 1.
    SENSOR_ASSERT(id >= 1, "id >= 1", "channel id(%d) refused\n", id);
    if (id < 1) {
        return;
    }
    m_nCameraID = id;
    if (m_objMachineInfo.getDeviceType() == DeviceType::THERMAL_DEVICE) {
        m_nCameraID = kThermalChannel;
    }
}

void ISensorController::setVideoStreamModule(const VideoStreamModule* module) {
    m_pVideoStreamModule = module;
}

int ISensorController::getSensorType() {
    return m_stSysConf.moduleConfig.nModuleId;
}

int ISensorController::getSensorStatus() {
    return testFlag(inited_flag) ? 1 : 0;
}

void ISensorController::printDebugMsg() {}

void ISensorController::paramFileName(int p_nScheme, char* p_szName, unsigned p_nSize) const {
    const char* format =
        (m_nCameraID == kThermalChannel) ? kThermalParamFileFormat : kParamFileFormat;
    std::snprintf(p_szName, p_nSize, format, p_nScheme);
}

// The handler columns of the key list: the member and its name.
#define KEY_HANDLER(fn) &ISensorController::fn, "&ISensorController::" #fn
#define KEY_HANDLER_NONE nullptr, "NULL"
#define KEY_HANDLER_doIaCmd KEY_HANDLER(doIaCmd)
#define KEY_HANDLER_doIaCmd_User KEY_HANDLER(doIaCmd_User)
#define KEY_HANDLER_doHwdr KEY_HANDLER(doHwdr)
#define KEY_HANDLER_doImageAdjust KEY_HANDLER(doImageAdjust)
#define KEY_HANDLER_doDIS KEY_HANDLER(doDIS)
#define KEY_HANDLER_doIaCmd_PanoTuning KEY_HANDLER(doIaCmd_PanoTuning)
#define KEY_HANDLER_test_debugParam KEY_HANDLER(test_debugParam)
#define KEY_HANDLER_doDNThr KEY_HANDLER(doDNThr)
#define KEY_HANDLER_doDNTime KEY_HANDLER(doDNTime)
#define KEY_HANDLER_doMirror KEY_HANDLER(doMirror)
#define KEY_HANDLER_doBeaway KEY_HANDLER(doBeaway)

void ISensorController::buildKeyCmdMap() {
    // The rows are declared once, in SensorKeyList.def (the bench tool reads the names too).
    static const KeyRow kKeyRows[] = {
#define KEY_ROW(key, cmd, handler, name) {key, cmd, KEY_HANDLER_##handler, #name},
#include "SensorKeyList.def"
#undef KEY_ROW
    };
    static_assert(std::size(kKeyRows) == 155, "one row per key");
    static_assert(std::size(kKeyRows) <= kKeyCmdCapacity, "the table fits its allocation");

    std::free(m_pKeyCmdMap);
    m_pKeyCmdMap = static_cast<keycmd*>(std::calloc(kKeyCmdCapacity, sizeof(keycmd)));
    SENSOR_ASSERT(m_pKeyCmdMap != nullptr, "NULL != m_pKeyCmdMap", "m_nKeyCmdNum(%u)\n",
                  kKeyCmdCapacity);
    if (m_pKeyCmdMap == nullptr) {
        m_nKeyCmdNum = 0;
        return;
    }
    for (u32 i = 0; i < std::size(kKeyRows); ++i) {
        fillKeyCmdRow(m_pKeyCmdMap[i], kKeyRows[i]);
    }
    m_nKeyCmdNum = static_cast<u32>(std::size(kKeyRows));
}

#undef KEY_HANDLER

int ISensorController::findFromKeyCmdMap(const keycmd* p_pMap, u32 p_nKey, keycmd& p_stRow) {
    if (p_pMap != nullptr) {
        for (u32 i = 0; i < m_nKeyCmdNum; ++i) {
            if (p_pMap[i].key == p_nKey) {
                p_stRow = p_pMap[i];
                return static_cast<int>(i);
            }
        }
    }
    SENSOR_DBG("cand not find key-cmd while key=%d\n", p_nKey);
    return -1;
}
