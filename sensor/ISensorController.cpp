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
#include "SensorKeyRows.h"
#include "SensorPaths.h"
#include "TarnisVersion.h"

namespace {

// Copies a name into a NUL-padded field; a name as long as the field fills it without a
// terminator.
template <size_t N>
void copyName(char (&field)[N], const char* name) {
    std::memcpy(field, name, strnlen(name, N));
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
      m_nKeyCmdNum(SensorPaths::kKeyCapacity),
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
    SystemInfoParser::parseMachineInfo(SensorPaths::kMachineInfoPath, m_objMachineInfo);
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
        m_nCameraID = SensorPaths::kThermalChannel;
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
    std::snprintf(p_szName, p_nSize, "%s",
                  SensorPaths::paramFilePath(m_nCameraID, p_nScheme).c_str());
}

// The handler column of the key list names a member, or NONE. KEY_BIND(h) gives the member
// pointer and its printed name; for NONE the probe KEY_NONE_NONE puts KEY_BIND_NONE in second
// place, so that null and "NULL" are used instead. No handler needs a line of its own here.
#define KEY_SECOND(a, b, ...) b
#define KEY_SECOND_OF(...) KEY_SECOND(__VA_ARGS__)
#define KEY_BIND_MEMBER(h) \
    { &ISensorController::h, "&ISensorController::" #h }
#define KEY_BIND_NONE(h) \
    { nullptr, "NULL" }
#define KEY_NONE_NONE ~, KEY_BIND_NONE
#define KEY_BIND(h) KEY_SECOND_OF(KEY_NONE_##h, KEY_BIND_MEMBER, ~)(h)

KeyHandler ISensorController::rowHandler(size_t p_nRow, const char** p_pszName) {
    struct Binding {
        KeyHandler handler;
        const char* name;
    };
    static const Binding kBindings[] = {
#define KEY_ROW(key, cmd, handler, name, ...) KEY_BIND(handler),
#include "SensorKeyList.def"
#undef KEY_ROW
    };
    static_assert(std::size(kBindings) == std::size(SensorKeyRows::kRows), "one handler per row");
    if (p_nRow >= std::size(kBindings)) {
        return nullptr;
    }
    if (p_pszName != nullptr) {
        *p_pszName = kBindings[p_nRow].name;
    }
    return kBindings[p_nRow].handler;
}

#undef KEY_BIND
#undef KEY_NONE_NONE
#undef KEY_BIND_NONE
#undef KEY_BIND_MEMBER
#undef KEY_SECOND_OF
#undef KEY_SECOND

void ISensorController::buildKeyCmdMap() {
    static_assert(std::size(SensorKeyRows::kRows) <= SensorPaths::kKeyCapacity,
                  "the table fits its allocation");
    std::free(m_pKeyCmdMap);
    m_pKeyCmdMap = static_cast<keycmd*>(std::calloc(SensorPaths::kKeyCapacity, sizeof(keycmd)));
    SENSOR_ASSERT(m_pKeyCmdMap != nullptr, "NULL != m_pKeyCmdMap", "m_nKeyCmdNum(%u)\n",
                  SensorPaths::kKeyCapacity);
    if (m_pKeyCmdMap == nullptr) {
        m_nKeyCmdNum = 0;
        return;
    }
    for (size_t i = 0; i < std::size(SensorKeyRows::kRows); ++i) {
        const SensorKeyRows::KeyRow& src = SensorKeyRows::kRows[i];
        keycmd& row = m_pKeyCmdMap[i];
        const char* szFuncName = "NULL";
        row.key = src.key;
        row.ia_cmd = src.cmd;
        row.handler = rowHandler(i, &szFuncName);
        copyName(row.szKeyName, src.name);
        copyName(row.szFuncName, szFuncName);
    }
    m_nKeyCmdNum = static_cast<u32>(std::size(SensorKeyRows::kRows));
}

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
