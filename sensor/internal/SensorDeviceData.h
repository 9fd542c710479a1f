// What init learns from the channel's device data, beyond the exported functions: whether
// the style and diversity documents are whole, and the factory records of a key list that
// does not depend on runtime flags. Internal to the library.
#ifndef SENSOR_DEVICE_DATA_H
#define SENSOR_DEVICE_DATA_H

#include <string>

#include "ModuleConfigure.h"
#include "SensorKeyVal.h"
#include "sensor.h"

// initSysConf, and `p_strBroken` names what is wrong with the device data ("" when whole):
// a style or diversity document that is missing, empty or does not parse (or that the parser
// refused). A "max_scheme" field that is empty, not a number or 0 counts as absent (4
// schemes), with an error-log record quoting the field.
int initSysConfChecked(int p_nChannelID, const ModuleConfigure& p_objModuleConfigure,
                       SysConfig* p_stSysConf, std::string& p_strBroken);

// getFctData with both WDR and Beaway counted as offered: the key list follows from the
// device data alone, never from the video streams or another channel's decisions.
int stableFactoryRecords(int p_channelID, char* p_szStyle, KeyVal* p_pKeyVal, u32* p_pnKeyValNum);

// getDnaStyle with the Beaway decision passed in instead of read from the global.
int dnaStyleText(int p_channelID, const char* szStyle, std::string& out, bool p_bShowWDRFalg,
                 bool p_bShowBeaway);

#endif
