// The per-channel system configuration: module copy, scheme count, device type and the
// merged UI style document.
#define SENSOR_SOURCE_NAME "sensor.cpp"
#include "SensorTrace.h"

#include "sensor.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <iterator>
#include <string>

#include "MachineInfo.h"
#include "SensorDeviceData.h"
#include "SensorFile.h"
#include "SensorStyleFiles.h"
#include "SensorXmlText.h"
#include "SensorPaths.h"
#include "StyleLimits.h"

// Steps of initSysConf report as initSysConf.
constexpr SensorOp kInitSysConfOp = {"initSysConf",
                                     "int initSysConf(int, const ModuleConfigure&, SysConfig*)"};

namespace {

using namespace SensorStyleFiles;
const char kSchemeSumField[] = "max_scheme";
const u32 kDefaultSchemeSum = 4;
// A detail field value is read into 10 zero-filled bytes (at most 9 characters).
const size_t kDetailValueRoom = 10;

// The device types this library serves, in the order the device-type check names them.
struct NamedDeviceType {
    int code;
    const char* name;
};
#define SENSOR_DEVICE_TYPE(name) \
    { DeviceType::name, #name }
const NamedDeviceType kAllowedDeviceTypes[] = {
    SENSOR_DEVICE_TYPE(IPCAMERA),
    SENSOR_DEVICE_TYPE(FACE_DETECT),
    SENSOR_DEVICE_TYPE(VEHICLE_DETECT),
    SENSOR_DEVICE_TYPE(AIMULTI_OBJECT_DETECT),
    SENSOR_DEVICE_TYPE(IPDOME),
    SENSOR_DEVICE_TYPE(LPR),
    SENSOR_DEVICE_TYPE(IPP),
    SENSOR_DEVICE_TYPE(HUMAN_TEMPERATURE),
    SENSOR_DEVICE_TYPE(THERMAL_DEVICE),
    SENSOR_DEVICE_TYPE(THERMAL_DOUBLE_SENSOR_DEVICE),
    SENSOR_DEVICE_TYPE(FISHEYE),
    SENSOR_DEVICE_TYPE(DOMECORE),
    SENSOR_DEVICE_TYPE(THERMAL_DOUBLE_SENSOR_DOME_DEVICE),
    SENSOR_DEVICE_TYPE(BINOCULAR_DEVICE),
    SENSOR_DEVICE_TYPE(DOMECORE_THERMAL_DEVICE),
};
#undef SENSOR_DEVICE_TYPE
static_assert(std::size(kAllowedDeviceTypes) == 15, "fifteen device types are served");

// Copies a module text into a fixed field; longer texts are cut to the field's room.
void copyModuleText(char* field, size_t room, const std::string& text) {
    const size_t length = text.size() < room - 1 ? text.size() : room - 1;
    memcpy(field, text.data(), length);
    field[length] = '\0';
    if (length < text.size()) {
        SENSOR_DBG_OP(kInitSysConfOp, "module text of %zu characters cut to %zu\n", text.size(),
                      length);
    }
}

bool isAllowedDeviceType(int code) {
    for (const NamedDeviceType& type : kAllowedDeviceTypes) {
        if (type.code == code) {
            return true;
        }
    }
    return false;
}

// The condition text of the device-type check: one comparison per served type, in order.
const char* deviceTypeConditionText() {
    static const std::string text = [] {
        std::string joined;
        for (const NamedDeviceType& type : kAllowedDeviceTypes) {
            if (!joined.empty()) {
                joined += " || ";
            }
            joined += std::string("DeviceType::") + type.name + " == p_stSysConf->nDeviceType";
        }
        return joined;
    }();
    return text.c_str();
}

// Reads `length` bytes of the file into a block from allocStyleText; the count, or -1.
int loadIntoBlock(const std::string& name, char* block, INT64 length) {
    if (block == nullptr) {
        return -1;
    }
    return loadFromFile(name.c_str(), block, length > 0 ? length : 0);
}

// The length of a style file to read: 0 (reported, `refused` set) when it is beyond the size
// limit, so that nothing of it is read.
INT64 styleFileLength(const std::string& name, bool& refused) {
    const INT64 length = getFileLen(name.c_str());
    refused = !styleFileWithinSize(length, name.c_str());
    return refused ? 0 : length;
}

// A loaded style text nested beyond the limit is reported under its file and emptied; sets
// `refused` then.
void boundStyleText(const std::string& name, char* text, bool& refused) {
    if (text != nullptr && !styleWithinLimits(text, name.c_str())) {
        text[0] = '\0';
        refused = true;
    }
}

// A scheme count is a decimal number of at least 1, possibly after blanks, and nothing else.
bool isSchemeCount(const char* text) {
    while (*text == ' ' || *text == '\t') {
        ++text;
    }
    if (*text == '\0') {
        return false;
    }
    bool nonZero = false;
    for (; *text != '\0'; ++text) {
        if (*text < '0' || *text > '9') {
            return false;
        }
        nonZero = nonZero || *text != '0';
    }
    return nonZero;
}

// The number of user schemes: the "max_scheme" field, 4 when it is absent. A field that is no
// count would leave the channel without a scheme to save: it counts as absent, loudly.
u32 schemeCountOf(const char* detail) {
    char szValue[kDetailValueRoom] = {0};
    if (getDetailFieldToStr(detail, kSchemeSumField, szValue) != 0) {
        return kDefaultSchemeSum;
    }
    if (!isSchemeCount(szValue)) {
        SENSOR_ALARM_OP(kInitSysConfOp,
                        "module detail field (%s=%s) is no scheme count: %u schemes used\n",
                        kSchemeSumField, szValue, kDefaultSchemeSum);
        return kDefaultSchemeSum;
    }
    u32 nCount = kDefaultSchemeSum;
    getDetailFieldTou32(detail, kSchemeSumField, &nCount);
    return nCount;
}

// Whether the text is well-formed UTF-8 (the parser takes stray bytes as parts of
// characters, which can swallow markup without any error).
bool isValidUtf8(const unsigned char* p) {
    while (*p != 0) {
        int follow = 0;
        if (*p < 0x80) {
            follow = 0;
        } else if (*p >= 0xC2 && *p <= 0xDF) {
            follow = 1;
        } else if (*p >= 0xE0 && *p <= 0xEF) {
            follow = 2;
        } else if (*p >= 0xF0 && *p <= 0xF4) {
            follow = 3;
        } else {
            return false;
        }
        ++p;
        for (int i = 0; i < follow; ++i, ++p) {
            if ((*p & 0xC0) != 0x80) {
                return false;
            }
        }
    }
    return true;
}

// "" when the document text parses into a document with a root element; else what is wrong.
// A document that the size or depth limit refused counts as broken too.
std::string documentFault(const std::string& name, const char* text, INT64 length, bool refused) {
    if (refused) {
        return name + " is beyond the size or depth limit";
    }
    if (length <= 0) {
        return name + " is missing or empty";
    }
    if (!isValidUtf8(reinterpret_cast<const unsigned char*>(text))) {
        return name + " is not valid UTF-8";
    }
    TiXmlDocument doc;
    if (!parseXmlText(doc, text, name.c_str()) || doc.RootElement() == nullptr) {
        return name + " does not parse";
    }
    return "";
}

int initSysConfImpl(int p_nChannelID, const ModuleConfigure& p_objModuleConfigure,
                    SysConfig* p_stSysConf, std::string* p_pBroken);

}  // namespace

int initSysConf(int p_nChannelID, const ModuleConfigure& p_objModuleConfigure,
                SysConfig* p_stSysConf) {
    SENSOR_OP_IS(kInitSysConfOp);
    return initSysConfImpl(p_nChannelID, p_objModuleConfigure, p_stSysConf, nullptr);
}

int initSysConfChecked(int p_nChannelID, const ModuleConfigure& p_objModuleConfigure,
                       SysConfig* p_stSysConf, std::string& p_strBroken) {
    p_strBroken.clear();
    return initSysConfImpl(p_nChannelID, p_objModuleConfigure, p_stSysConf, &p_strBroken);
}

namespace {

// The statements report as initSysConf.
int initSysConfImpl(int p_nChannelID, const ModuleConfigure& p_objModuleConfigure,
                    SysConfig* p_stSysConf, std::string* p_pBroken) {
    SENSOR_ASSERT_OP(kInitSysConfOp, NULL != p_stSysConf, "NULL != p_stSysConf", "%s", "");
    if (p_stSysConf == nullptr) {
        return OVS_SUCCESS;
    }

    // Empty record, then the copy of the module configuration.
    memset(p_stSysConf, 0, sizeof(*p_stSysConf));
    ModuleConfig& moduleConfig = p_stSysConf->moduleConfig;
    snprintf(moduleConfig.szAux1, sizeof(moduleConfig.szAux1), "%s", "xxx");
    snprintf(moduleConfig.szAux2, sizeof(moduleConfig.szAux2), "%s", "xxx");
    moduleConfig.nModuleId = p_objModuleConfigure.getModuleId();
    copyModuleText(moduleConfig.szDetail, sizeof(moduleConfig.szDetail),
                   p_objModuleConfigure.getDetail());
    copyModuleText(moduleConfig.szParameters, sizeof(moduleConfig.szParameters),
                   p_objModuleConfigure.getParameters());

    p_stSysConf->nSchemeSum = schemeCountOf(moduleConfig.szDetail);

    // Device type of the board.
    MachineInfo machineInfo;
    const bool bParsed =
        SystemInfoParser::parseMachineInfo(SensorPaths::kMachineInfoPath, machineInfo);
    SENSOR_ASSERT_OP(kInitSysConfOp, bParsed, SensorPaths::kParseMachineInfoText, "%s", "");
    p_stSysConf->nDeviceType = machineInfo.getDeviceType();
    SENSOR_ASSERT_OP(kInitSysConfOp, isAllowedDeviceType(p_stSysConf->nDeviceType),
                     deviceTypeConditionText(),
                     "machineinfo, devicetype(%d) error, must be 1 or 4 or 8 or 9 or 13\n",
                     p_stSysConf->nDeviceType);

    // Base style and diversity documents of this device and channel.
    const StyleFileRow& files = chooseStyleFiles(p_stSysConf->nDeviceType, p_nChannelID);
    const std::string strStyleFileName = std::string(SensorPaths::kStyleDir) + files.style;
    const std::string strStyleDivFileName =
        std::string(SensorPaths::kStyleDiversityDir) + files.diversity;

    // The base style becomes the record's style text.
    bool bStyleRefused = false;
    const INT64 nStyleLen = styleFileLength(strStyleFileName, bStyleRefused);
    p_stSysConf->szUIStyle = allocStyleText(nStyleLen);
    const int nStyleRead = loadIntoBlock(strStyleFileName, p_stSysConf->szUIStyle, nStyleLen);
    SENSOR_ASSERT_OP(kInitSysConfOp, nStyleRead > 0,
                     "loadFromFile(strStyleFileName.c_str(), p_stSysConf->szUIStyle, "
                     "getFileLen(strStyleFileName.c_str())) > 0",
                     "%s", "");
    boundStyleText(strStyleFileName, p_stSysConf->szUIStyle, bStyleRefused);

    // The diversity document, held only for the merge.
    bool bDivRefused = false;
    const INT64 nDivLen = styleFileLength(strStyleDivFileName, bDivRefused);
    char* ui_styleDiversity = allocStyleText(nDivLen);
    const int nDivRead = loadIntoBlock(strStyleDivFileName, ui_styleDiversity, nDivLen);
    SENSOR_ASSERT_OP(kInitSysConfOp, nDivRead > 0,
                     "loadFromFile(strStyleDivFileName.c_str(), ui_styleDiversity, "
                     "getFileLen(strStyleDivFileName.c_str())) > 0",
                     "%s", "");
    boundStyleText(strStyleDivFileName, ui_styleDiversity, bDivRefused);

    // Whether both documents are whole, judged before the merge rewrites the style.
    if (p_pBroken != nullptr) {
        std::string strFault =
            documentFault(files.style, p_stSysConf->szUIStyle, nStyleLen, bStyleRefused);
        if (strFault.empty()) {
            strFault = documentFault(files.diversity, ui_styleDiversity, nDivLen, bDivRefused);
        }
        *p_pBroken = strFault;
    }

    // Merge the device's edits into the style.
    const int nMerged = mergeStyle(p_nChannelID, &p_stSysConf->moduleConfig,
                                   &p_stSysConf->szUIStyle, ui_styleDiversity);
    SENSOR_ASSERT_OP(kInitSysConfOp, OVS_SUCCESS == nMerged,
                     "OVS_SUCCESS == mergeStyle(p_nChannelID,&p_stSysConf->moduleConfig, "
                     "&p_stSysConf->szUIStyle, ui_styleDiversity)",
                     "%s", "");

    free(ui_styleDiversity);
    return OVS_SUCCESS;
}

}  // namespace

void uinitSysConf(SysConfig* p_stSysConf) {
    if (p_stSysConf == nullptr) {
        return;
    }
    if (p_stSysConf->pstUILanguage != nullptr) {
        for (u32 i = 0; i < p_stSysConf->nLanguageSum; ++i) {
            UILanguage& language = p_stSysConf->pstUILanguage[i];
            free(language.szUICommon);
            language.szUICommon = nullptr;
            free(language.szUILanguage);
            language.szUILanguage = nullptr;
        }
    }
    free(p_stSysConf->szUIStyle);
    p_stSysConf->szUIStyle = nullptr;
}
