// The per-channel system configuration record.
#ifndef SENSOR_H
#define SENSOR_H

#include <stdint.h>

#include "TarnisApi.h"
#include "SensorKeyVal.h"
#include "ModuleConfigure.h"

// Copy of the channel's module configuration.
struct ModuleConfig {
    int32_t nModuleId;
    char szAux1[32];
    char szAux2[10];
    char szParameters[256];
    char szDetail[512];
};

// One UI language: its id and two heap documents.
struct UILanguage {
    int32_t nLanguageId;
    char szName[32];
    char* szUILanguage;
    char* szUICommon;
};

struct SysConfig {
    ModuleConfig moduleConfig;
    u32 nSchemeSum;
    u32 nLanguageSum;
    UILanguage* pstUILanguage;
    char* szUIStyle;  // merged UI style document (heap, NUL-terminated)
    int32_t nDeviceType;
};

// Fills the record for a channel (1-based): module copy, scheme count, device type and the
// merged style. Returns 0; failures are reported.
TARNIS_API int initSysConf(int p_nChannelID, const ModuleConfigure& p_objModuleConfigure,
                           SysConfig* p_stSysConf);
// Frees the record's heap texts.
TARNIS_API void uinitSysConf(SysConfig* p_stSysConf);

#endif
