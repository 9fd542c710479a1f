// Files of the library: whole-file read and write, the per-scheme parameter files and the
// version stamp; the module detail lookups; the style merge, the dynamic style and the
// factory records read off it. Paths are camera paths, resolved through the platform.
// Every function keeps no state between calls and takes no lock: any thread may call it, and
// callers that share a file (the controller's parameter files) hold their own lock.
#ifndef SENSOR_FILE_H
#define SENSOR_FILE_H

#include <string>

#include <tinyxml.h>

#include "TarnisApi.h"
#include "SensorKeyVal.h"
#include "ia_ioctrl.h"

struct ModuleConfig;

// ---- whole files, parameter files and the version stamp ----
// Length in bytes of a file (reported when it cannot be opened).
TARNIS_API INT64 getFileLen(const char* file_name);
// Reads file_len bytes into buf (not terminated); the count, or -1.
TARNIS_API int loadFromFile(const char* file_name, char* buf, INT64 file_len);
// Writes replace the file atomically and durably: a temporary file beside it, synced, renamed
// over it, the directory synced. A write that fails at any step leaves the old file as it
// was and is reported (the open and size checks, and an error-log record naming the file at
// every debug level). A null buffer or a negative length is refused with the size report and
// the file is not touched.
//
// Creates or replaces the file with file_len bytes. The count written; -1 when all bytes
// were written but the file could not be replaced (sync or rename failed).
TARNIS_API int saveToFile(char* file_name, char* data, INT64 file_len);
// Reads p_nKeyValNum records; short transfers are reported. Always 0.
TARNIS_API int keyValFromFile(char* file_name, KeyVal* p_pKeyVal, u32 p_nKeyValNum);
// Writes p_nKeyValNum records, replacing the file. 0 when the file holds them on storage, -1
// when it was not replaced (or, after a failed directory sync, may not survive a power cut).
TARNIS_API int keyValToFile(char* file_name, KeyVal* p_pKeyVal, u32 p_nKeyValNum);
// The 4-byte stamp "/mnt/mtd/code/config_file/ovsversion.cfg"; 0 or -1.
TARNIS_API int getVersion(u32* p_nVersion);
// Writes the version stamp (replaced as saveToFile does); 0 or -1.
TARNIS_API int setVersion(u32 p_nVersion);

// ---- module detail text: fields written "(name=value)" ----
// 0 and the value (atoi) when found, -1 (destination untouched) otherwise.
TARNIS_API int getDetailFieldTou32(const char* detail, const char* name, u32* value);
// Copies the value's characters (no terminator, at most 9) into a zero-filled buffer.
TARNIS_API int getDetailFieldToStr(const char* detail, const char* name, char* value);

// ---- style merge ----
// Applies the diversity rules whose conditions hold to the style text (*ui_style, heap,
// replaced by the merged text) and writes "/tmp/merge_style_ch%d.xml". Returns 0.
TARNIS_API int mergeStyle(int p_nChannelID, ModuleConfig* moduleConfig, char** ui_style,
                          char* ui_styleDiversity);
// One edit ("Modify", "AddAfter", "Delete") of the first tab whose "key" is tab_key. 0.
TARNIS_API int updateStyleTab(TiXmlDocument* doc_style, const char* operation, const char* tab_key,
                              const TiXmlElement* content);

// ---- dynamic style ----
// Rewrites the style from the processor's dynamic ranges into `out`. 0, or -1 (reported)
// for a channel below 1.
TARNIS_API int getDnaStyle(int p_channelID, const char* szStyle, std::string& out,
                           bool p_bShowWDRFalg);
// The "value" of the parameter element with "id" equal to id under start (value
// untouched when there is none). Returns 0.
TARNIS_API int getDnaValbyCmdId(TiXmlElement* start, int id, int& value);
// The parameter element with "id" equal to id under start (node untouched when there is
// none). Returns 0.
TARNIS_API int getNodebyCmdId(TiXmlElement* start, int id, TiXmlElement*& node);
// Removes node from under root and destroys it; 0, or -1 when it cannot be removed.
TARNIS_API int DeleteNode(TiXmlElement* root, TiXmlElement* node);
// Rewrites the element of command cmd from the processor range attr; 0, or -1 for a
// missing range.
TARNIS_API int doDnaStyle(TiXmlElement* start, int cmd, const ia_dynamic_params_attr_st* attr);
// Rewrites the customised shutter items of command cmd from attr. Returns 0.
TARNIS_API int doCustomizeStyle(TiXmlElement* start, int cmd, ia_dynamic_params_attr_st* attr);
// Applies the dynamic-style edit of the element with "id" equal to id. Returns 0.
TARNIS_API int ModifyNodebyCmdId(TiXmlElement* start, int id);

// ---- factory records ----
// Records of the dynamic style's parameter elements (id and value), depth-first. 0, or -1
// (reported) for a null destination or a channel below 1.
TARNIS_API int getFctData(int p_channelID, char* p_szStyle, KeyVal* p_pKeyVal, u32* p_pnKeyValNum,
                          bool p_bShowWDRFalg);
// Appends the records of the style's parameter elements under element. Returns 0.
TARNIS_API int style2KeyVal(TiXmlElement* element, KeyVal* p_pKeyVal, u32* p_pnCount);

#endif
