// Device paths and on-disk layouts of the library (internal, not installed): the parameter
// files of each channel kind and scheme, the version stamp, the merged style, the machine
// information and module configuration, the style folders, the switch file and error log, the
// commands that delete parameter files, and the layout of the parameter records. Nobody else
// spells a path or a record layout; paths are camera paths, resolved through the platform.
#ifndef SENSOR_PATHS_H
#define SENSOR_PATHS_H

#include <cstdio>
#include <string>

#include "SensorKeyVal.h"

namespace SensorPaths {

// ---- channels and capacities ----
// The channel id whose parameter files carry the thermal names and whose special keys are
// routed to the video module.
constexpr int kThermalChannel = 2;
// Rows of the key table and records of the factory and work arrays: the most keys a scheme
// can hold.
constexpr u32 kKeyCapacity = 160;
// Upper bound of the user scheme count taken from the module detail text: a damaged text
// cannot make init allocate without bound.
constexpr u32 kMaxSchemes = 64;

// ---- parameter files: 8-byte records, key (u32) then value (i32), little-endian ----
constexpr u32 kRecordBytes = 8;
static_assert(sizeof(KeyVal) == kRecordBytes, "a record in memory is a record in the file");
// Bytes of a parameter file of `records` records (no header, no trailer).
constexpr long long paramFileBytes(u32 p_nRecords) {
    return static_cast<long long>(kRecordBytes) * p_nRecords;
}
// The folder of the parameter files and the stamp.
inline constexpr char kParamFileDir[] = "/mnt/mtd/code/config_file";
// The parameter file of a user scheme of a channel.
inline std::string paramFilePath(int p_nChannel, int p_nScheme) {
    char szName[96];
    std::snprintf(szName, sizeof(szName),
                  p_nChannel == kThermalChannel ? "/mnt/mtd/code/config_file/sensor-thermal%d.cfg"
                                                : "/mnt/mtd/code/config_file/sensor%d.cfg",
                  p_nScheme);
    return szName;
}
// The shell command that deletes a channel kind's parameter files (schemes 0 to 3 of the
// plain channels, every scheme of the thermal channel).
inline const char* removeParamFilesCommand(int p_nChannel) {
    return p_nChannel == kThermalChannel ? "rm -rf /mnt/mtd/code/config*/sensor-thermal*.cfg"
                                         : "rm -rf /mnt/mtd/code/config*/sensor[0-3].cfg";
}

// ---- the version stamp: 4 bytes, the format version, little-endian; one for every channel ----
inline constexpr char kStampPath[] = "/mnt/mtd/code/config_file/ovsversion.cfg";
constexpr long long kStampBytes = 4;

// ---- style documents ----
// The merged style document of a channel.
inline std::string mergedStylePath(int p_nChannel) {
    char szName[64];
    std::snprintf(szName, sizeof(szName), "/tmp/merge_style_ch%d.xml", p_nChannel);
    return szName;
}
// Folders of the base styles and of the diversity documents (with their trailing "/").
inline constexpr char kStyleDir[] = "/hd1/moduleConfig/sensorConfig/style/";
inline constexpr char kStyleDiversityDir[] = "/hd1/moduleConfig/sensorConfig/styleDiversity/";

// ---- the board and the module configuration ----
inline constexpr char kMachineInfoPath[] = "/mnt/mtd/code/factory_setting/machineinfo.ini";
// The condition text of a failed machine-information read.
inline constexpr char kParseMachineInfoText[] =
    "SystemInfoParser::parseMachineInfo(\"/mnt/mtd/code/factory_setting/machineinfo.ini\", "
    "machineInfo)";
inline constexpr char kModuleConfigPath[] = "/hd1/moduleConfig/moduleConfig.xml";

// ---- diagnostics ----
inline constexpr char kDebugSwitchPath[] = "/tmp/Debug.sign";
inline constexpr char kErrorLogPath[] = "/mnt/mtd/log/SensorError.log";

}  // namespace SensorPaths

#endif
