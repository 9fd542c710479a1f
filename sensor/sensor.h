// The per-channel system configuration record.
#ifndef SENSOR_H
#define SENSOR_H

#include <stdint.h>

#include "TarnisApi.h"
#include "SensorKeyVal.h"
#include "ModuleConfigure.h"

// Copy of the channel's module configuration.
struct ModuleConfig {
    int32_t nModuleId;       // module id
    char szAux1[32];         // reserved
    char szAux2[10];         // reserved
    char szParameters[256];  // module parameter text
    char szDetail[512];      // module detail text, fields "(name=value)"
};

// One UI language: its id and two heap documents.
struct UILanguage {
    int32_t nLanguageId;  // language id
    char szName[32];      // language name
    char* szUILanguage;   // UI language document (heap)
    char* szUICommon;     // common UI text (heap)
};

// The configuration of one channel, filled by initSysConf and released by uinitSysConf.
struct SysConfig {
    ModuleConfig moduleConfig;  // copy of the channel's module configuration
    u32 nSchemeSum;             // number of user schemes
    u32 nLanguageSum;           // entries of pstUILanguage
    UILanguage* pstUILanguage;  // the UI languages (heap)
    char* szUIStyle;            // merged UI style document (heap, NUL-terminated)
    int32_t nDeviceType;        // device type of the machine information
};

// Fills the record for a channel (1-based): module copy, scheme count, device type and the
// merged style. Returns 0; failures are reported.
TARNIS_API int initSysConf(int p_nChannelID, const ModuleConfigure& p_objModuleConfigure,
                           SysConfig* p_stSysConf);
// Frees the record's heap texts.
TARNIS_API void uinitSysConf(SysConfig* p_stSysConf);

#endif
