// The image-sensor controller of one video channel.
//
// The host constructs one per channel, calls setChannelID, setVideoStreamModule and init,
// and then sets and reads the channel's image parameters through it. Parameters are
// numbered keys with signed 32-bit values, kept per scheme in memory and in parameter
// files, applied to the image processor (ia_ioctrl_v2) and, where the video pipeline must
// follow, notified to the host's VideoStreamModule.
//
// Locking: the operations that read or change parameters or schemes hold the controller's
// mutex for their whole duration; the direct lens/exposure controls and the range and
// status queries take no lock. One sensor thread per controller switches schemes in the
// automatic modes.
#ifndef I_SENSOR_CONTROLLER_H
#define I_SENSOR_CONTROLLER_H

#include <stdint.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "TarnisApi.h"
#include "MachineInfo.h"
#include "ModuleConfigure.h"
#include "OVMutex.h"
#include "SensorBeaway.h"
#include "SensorKeyVal.h"
#include "SensorZoomFocusParam.h"
#include "TarnisThreadSafety.h"
#include "VideoStreamModule.h"
#include "sensor.h"

class GThread;
class ISensorController;
namespace SensorKeyRows {
struct KeyRow;
}

// Handler of a key: (processor command, option, pointer to the value or record) -> 0 on
// success, otherwise the failing code.
typedef int (ISensorController::*KeyHandler)(u32 p_nKey, u32 p_nDir, void* p_pVal);

// One row of the key-command table. Names are NUL-padded and read within their fields.
struct keycmd {
    // Parameter key.
    u32 key;
    // Processor command the key is applied with.
    u32 ia_cmd;
    // Member that applies the key; null for keys that are only stored.
    KeyHandler handler;
    // Key name, such as "KEY_BRIGHTNESS".
    char szKeyName[32];
    // Handler name, such as "&ISensorController::doIaCmd".
    char szFuncName[64];
};

// Bits of m_nFlags.
enum SensorFlagBits : u32 {
    initing_flag = 1u << 0,
    uniniting_flag = 1u << 1,
    inited_flag = 1u << 2,
    resetting_flag = 1u << 3,
    restoring_flag = 1u << 4,
    switching_flag = 1u << 5,
    busy_flags_mask = resetting_flag | restoring_flag | switching_flag,
};

// The controller of one video channel: see the file description for the
// sequence a host follows and for the locking.
class TARNIS_API ISensorController {
public:
    // ---- construction and small accessors (no lock; the host's thread, before init) ----
    // Creates (does not start) the sensor thread and reads the machine information.
    ISensorController();
    // Stops and deletes the thread, then releases whatever uinit would have released.
    ~ISensorController();
    ISensorController(const ISensorController&) = delete;
    ISensorController& operator=(const ISensorController&) = delete;

    // 1-based channel; a device of type 13 always stores 2 (its thermal channel).
    void setChannelID(int id);
    // The host keeps ownership; set before init.
    void setVideoStreamModule(const VideoStreamModule* module);
    // The module id of the channel's configuration.
    int getSensorType();
    // 1 once init has finished, else 0.
    int getSensorStatus();
    // Kept for hosts that call it; prints nothing.
    void printDebugMsg();

    // ---- lifecycle (no lock: the host calls them while no other thread uses the controller;
    // resetParameters calls both holding m_objMutex) ----
    // Builds configuration, style, factory records, parameter files, key table; applies
    // the first scheme and starts the sensor thread. Returns true.
    bool init(const ModuleConfigure& p_objModuleConfigure) TARNIS_NO_THREAD_SAFETY_ANALYSIS;
    // Stops the thread and releases what init allocated; safe to call twice.
    void uinit() TARNIS_NO_THREAD_SAFETY_ANALYSIS;

    // ---- parameters (any host thread; each takes m_objMutex unless said otherwise) ----
    // Applies a "(key,value)..." text (pairs beyond the scheme's size are ignored); 0, or the
    // negated key of the record that stopped the list. p_bSave: skip values already cached and
    // store what was applied in the current scheme.
    int setParameters(const std::string& p_strParameters, bool p_bSave);
    // Applies one key (as setParameters of "(key,value)"); 0, or the negated key
    // when it was refused. p_bSave also stores the value in the current scheme.
    int setParameter(int p_nKey, int p_nVal, bool p_bSave);
    // The current scheme's cached value, else -1 for the infrared keys, else the processor's;
    // false only when the processor refuses the read.
    bool getParameter(int p_nKey, int& p_nVal);
    // Ids "(id,id,...)" to "(key,value)..." of the readable ones; false for a malformed text.
    // Takes no lock of its own: each key is read through getParameter.
    bool getParameters(const std::string& p_strIds, std::string& p_strParameters);
    // Sensor check "(a,b,c)": the processor's result (0 for a refused text); for b == 2 the
    // text becomes the check's result. No lock.
    int SensorCheck(std::string& p_strParameters);
    // Writes the current scheme to its parameter file, replacing it atomically and durably.
    // 0: saved, or no user scheme is current (nothing to save).
    // 505 / 506 / 507: the scheme's start time, end time, or window is invalid; not written.
    // 508: the file could not be replaced (open, short write, full flash, sync or rename
    //      failed); it keeps its previous content. Reported, also in the error log.
    // 509: the channel's device data is broken (a style or diversity document that does not
    //      parse or was refused, or a style without parameters); no parameter file is written
    //      until init finds the data whole. The error log said why, once, at init.
    int flush();

    // ---- schemes and parameter mode (any host thread; each takes m_objMutex) ----
    // Applies scheme p_nScheme (0-based) and makes it current, waiting while a reset,
    // restore or switch is in progress; false for a scheme that does not exist.
    bool setParamScheme(int p_nScheme);
    // The current scheme.
    bool getParamScheme(int& p_nScheme);
    // Parameter mode: 0 manual, 1 by time schedule, 2 by day/night state (the sensor
    // thread switches schemes in 1 and 2); waits like setParamScheme.
    bool setParamMode(int p_nMode);
    // The current parameter mode.
    bool getParamMode(int& p_nMode);

    // ---- restore and reset (any host thread; each takes m_objMutex) ----
    // Sends the current scheme's cached value of p_nKey to the processor again; 0, or
    // -1 when the key is not a parameter of the channel.
    int restore(int p_nKey);
    // Restores the focus mode and then the exposure mode (restore of each).
    bool restoreAeMode();
    // Reloads the current scheme's parameter file and applies it.
    bool resetToLastParameters();
    // Back to factory state: applies the factory scheme, deletes the channel's
    // parameter files and initialises the channel again.
    bool resetParameters();

    // ---- UI documents and ranges (any host thread) ----
    // The documents and getAllParameters take m_objMutex (getUIStyleFile after waiting, without
    // it, for the processor to be ready); the range and status queries take no lock and ask the
    // processor directly; false when it has no such range or refuses.
    // The channel's UI style document, rewritten from the processor's current
    // ranges once the video module reports the processor ready.
    std::string getUIStyleFile();
    // The common UI text of a language.
    std::string getUICommonFile(int nLanguageId);
    // The UI language document of a language.
    std::string getUILanguageFile(int nLanguageId);
    // The current scheme as a "(key,value)..." text, live and corrected against the
    // processor's limits or as last saved, depending on the style's maximum shutter.
    bool getAllParameters(std::string& p_strParameters);
    // A processor command's default value and its list of allowed values.
    bool getSensorParamRange(int p_nCmd, int& p_nDefault, std::string& p_strRange);
    // A processor command's execution status.
    bool getCmdExecStatus(int p_nCmd, int& p_nVal);

    // ---- named parameter accessors (any host thread; through getParameter / setParameter, so
    // each takes m_objMutex; true on success) ----
    // Reads KEY_DN_MODE of the current scheme, through the engine.
    bool getDNMode(int& p_nVal);
    // Sets and saves KEY_DN_MODE, through the engine.
    bool setDNMode(int p_nVal);
    // Reads KEY_WDR_MODE of the current scheme, through the engine.
    bool getWDRSwitch(int& p_nVal);
    // Sets and saves KEY_WDR_MODE, through the engine.
    bool setWDRSwitch(int& p_nVal);
    // Reads KEY_WDR_STRG of the current scheme, through the engine.
    bool getWDRStrength(int& p_nVal);
    // Sets and saves KEY_WDR_STRG, through the engine.
    bool setWDRStrength(int& p_nVal);
    // Reads KEY_HLC_SWITCH of the current scheme, through the engine.
    bool getHLCSwitch(int& p_nVal);
    // Sets and saves KEY_HLC_SWITCH, through the engine.
    bool setHLCSwitch(int& p_nVal);
    // Reads KEY_HLC_STRG of the current scheme, through the engine.
    bool getHLCStrength(int& p_nVal);
    // Sets and saves KEY_HLC_STRG, through the engine.
    bool setHLCStrength(int& p_nVal);
    // Reads KEY_BLC_SWITCH of the current scheme, through the engine.
    bool getBLCSwitch(int& p_nVal);
    // Sets and saves KEY_BLC_SWITCH, through the engine.
    bool setBLCSwitch(int& p_nVal);
    // Reads KEY_BLC_STRG of the current scheme, through the engine.
    bool getBLCStrength(int& p_nVal);
    // Sets and saves KEY_BLC_STRG, through the engine.
    bool setBLCStrength(int& p_nVal);
    // Reads KEY_DEFLG_SWITCH of the current scheme, through the engine.
    bool getDefogSwitch(int& p_nVal);
    // Sets and saves KEY_DEFLG_SWITCH, through the engine.
    bool setDefogSwitch(int& p_nVal);
    // Reads KEY_DEFLG_STRG of the current scheme, through the engine.
    bool getDefogStrength(int& p_nVal);
    // Sets and saves KEY_DEFLG_STRG, through the engine.
    bool setDefogStrength(int& p_nVal);
    // Reads KEY_2D_NR_SWITCH of the current scheme, through the engine.
    bool get2DSwitch(int& p_nVal);
    // Sets and saves KEY_2D_NR_SWITCH, through the engine.
    bool set2DSwitch(int& p_nVal);
    // Reads KEY_2D_NR_MODE of the current scheme, through the engine.
    bool get2DMode(int& p_nVal);
    // Sets and saves KEY_2D_NR_MODE, through the engine.
    bool set2DMode(int& p_nVal);
    // Reads KEY_2D_NR_STRG_A of the current scheme, through the engine.
    bool get2DAutoMaxStrength(int& p_nVal);
    // Sets and saves KEY_2D_NR_STRG_A, through the engine.
    bool set2DAutoMaxStrength(int& p_nVal);
    // Reads KEY_2D_NR_STRG_M of the current scheme, through the engine.
    bool get2DManualMaxStrength(int& p_nVal);
    // Sets and saves KEY_2D_NR_STRG_M, through the engine.
    bool set2DManualMaxStrength(int& p_nVal);
    // Reads KEY_3D_NR_SWITCH of the current scheme, through the engine.
    bool get3DSwitch(int& p_nVal);
    // Sets and saves KEY_3D_NR_SWITCH, through the engine.
    bool set3DSwitch(int& p_nVal);
    // Reads KEY_3D_NR_MODE of the current scheme, through the engine.
    bool get3DMode(int& p_nVal);
    // Sets and saves KEY_3D_NR_MODE, through the engine.
    bool set3DMode(int& p_nVal);
    // Reads KEY_3D_NR_STRG_A of the current scheme, through the engine.
    bool get3DAutoMaxStrength(int& p_nVal);
    // Sets and saves KEY_3D_NR_STRG_A, through the engine.
    bool set3DAutoMaxStrength(int& p_nVal);
    // Reads KEY_3D_NR_STRG_M of the current scheme, through the engine.
    bool get3DManualMaxStrength(int& p_nVal);
    // Sets and saves KEY_3D_NR_STRG_M, through the engine.
    bool set3DManualMaxStrength(int& p_nVal);
    // Reads KEY_BEAWAY of the current scheme, through the engine.
    bool getBeaway(int& p_nVal);
    // Sets and saves KEY_BEAWAY, through the engine.
    bool setBeaway(int& p_nVal);
    // Reads KEY_MIRROR of the current scheme.
    bool getMirrorValue(int& p_nVal);
    // Sets the mirror and writes the current scheme's file at once.
    bool setMirrorMode(int p_nVal);
    // Illuminators: switching one on switches the other off first.
    bool setIRSwitch(int p_nVal);
    // White light on or off (switching it on switches the infrared light off).
    bool setWhiteSwitch(int p_nVal);
    // KEY_WHITE_MODE, through the engine.
    bool setWhiteMode(int p_nVal);
    // 0 to 3; anything else is refused.
    bool setLightType(int p_nVal);
    // Shutter steps: the maximum-shutter range of the processor (at most 30 values).
    bool getShutterValue(int& p_nIndex);
    // Selects shutter step p_nIndex of the maximum-shutter range.
    bool setShutterValue(int p_nIndex);
    // One shutter step up.
    bool shutterUp();
    // One shutter step down.
    bool shutterDown();

    // ---- direct controls (any host thread; the processor only: no lock, no cache, no file;
    // true when the processor accepted every call) ----
    // Manual focus, then one step far.
    bool focusFar();
    // Manual focus, then one step near.
    bool focusNear();
    // Iris exposure mode, then one iris step open.
    bool irisUp();
    // Iris exposure mode, then one iris step closed.
    bool irisDown();
    // One zoom step in.
    bool zoomIn();
    // One zoom step out.
    bool zoomOut();
    // Zoom motor position.
    bool setZoomValue(int p_nVal);
    // Motor position, and the zoom ratio in thousandths (left alone beyond the table).
    bool getZoomValue(int& p_nPosition, int& p_nRatio);
    // Tells the processor whether the PTZ is moving.
    bool setPTZRunState(int p_nVal);
    // Focus motor position.
    bool setFocusValue(int p_nVal);
    // Focus motor position.
    bool getFocusValue(int& p_nVal);
    // Focus mode (1 manual).
    bool setFocusMode(int p_nVal);
    // Focus mode.
    bool getFocusMode(int& p_nVal);
    // Day/night state of the processor (0 day).
    bool setDNState(int p_nVal);
    // The processor's current day/night state (0 day).
    bool getDNState(int& p_nVal);
    // The processor's auto-focus statistic.
    bool getAFStatistic(unsigned int& p_nVal);
    // The processor's WDR mode.
    bool getWDR(int& p_nVal);
    // Exposure strategy of the processor.
    bool setExposureStrategy(int& p_nVal);
    // The processor's infrared light switch.
    bool getIRSwitch(int& p_nVal);
    // The processor's white light switch.
    bool getWhiteSwitch(int& p_nVal);
    // The processor's white light mode.
    bool getWhiteMode(int& p_nVal);
    // The processor's light type.
    bool getLightType(int& p_nVal);
    // The processor's iris position.
    bool getIrisValue(int& p_nVal);
    // 256..25600 as given; below as 256; above as 1048576.
    bool setIrisValue(int p_nVal);
    // Whether the processor reports its heater on.
    bool getHeatStatus(bool& p_bVal);
    // The processor's version text (at most 49 characters).
    bool getCameraVerInf(std::string& p_strVersion);

    // ---- flags and parameter objects (any host thread, no lock; the getters return true, the
    // zoom/focus pair 0) ----
    // Whether the UI offers WDR on this channel.
    void setShowWDRFalg(bool p_bVal);
    // Whether the UI offers WDR on this channel.
    bool getShowWDRFalg(bool& p_bVal);
    // Sets the process-wide Beaway flag (setshowBeawayFalg).
    void setShowBeawayFalg(bool p_bVal);
    // The process-wide Beaway flag (getshowBeawayFalg).
    bool getShowBeawayFalg(bool& p_bVal);
    // A copy of the channel's zoom/focus parameters; 0.
    int getSensorZoomFocusParam(SensorZoomFocusParam& p_objParam);
    // Replaces the channel's zoom/focus parameters; 0.
    int setSensorZoomFocusParam(SensorZoomFocusParam& p_objParam);

private:
    friend class SensorControllerTestSeam;

    // ---- parameter engine (caller holds m_objMutex, or is init / the sensor thread) ----
    // Applies `count` records in order through the key table. Returns 0, or the negated key
    // of the record that stopped the list.
    int setParameters(KeyVal* p_pKeyval, u32 p_nCount, bool p_bSave) TARNIS_REQUIRES(m_objMutex);
    bool parseSensorParameter(const std::string& p_strIds, std::vector<std::string>& p_vecIds);
    int findFromKeyCmdMap(const keycmd* p_pMap, u32 p_nKey, keycmd& p_stRow);
    // Index of the key's record in the scheme, -1 when absent, -2 for a scheme out of range.
    int setKeyValToCache(u32 p_nScheme, u32 p_nKey, u32 p_nVal, bool p_bForce);
    int getKeyValFromCache(u32 p_nScheme, u32 p_nKey, u32& p_nVal);
    bool isKeyValSame(const KeyVal& p_stKeyVal) TARNIS_REQUIRES(m_objMutex);
    int paramCheck() TARNIS_REQUIRES(m_objMutex);
    // engine internals
    // A scheme array is current: 0 <= m_nCurScheme <= nSchemeSum.
    bool hasCurrentScheme() const TARNIS_REQUIRES(m_objMutex);
    // Forced write into the current scheme; nothing while no scheme is current.
    void forceToCurrentScheme(u32 p_nKey, int32_t p_nVal) TARNIS_REQUIRES(m_objMutex);
    // KEY_SCHEME_MODE in scheme 0: switching flags and the mode spread to the other schemes.
    void applySchemeMode(int32_t p_nMode) TARNIS_REQUIRES(m_objMutex);
    // Each step asks the key's row (null for a key without a row) what the key is.
    // Thermal channel: hands its special keys to their handler or the video module; true
    // when the key was one of them.
    bool routeThermalKey(const SensorKeyRows::KeyRow* p_pRow, KeyVal& p_stKeyVal)
        TARNIS_REQUIRES(m_objMutex);
    // Automatic day/night mode: shares a day/night key with scheme 1; false when the key is
    // only to be stored.
    bool shareDayNightKey(const SensorKeyRows::KeyRow* p_pRow, const KeyVal& p_stKeyVal)
        TARNIS_REQUIRES(m_objMutex);
    // Limited infrared power: false when near and far strengths together exceed the limit.
    bool irPowerAllowed(const SensorKeyRows::KeyRow* p_pRow, const KeyVal& p_stKeyVal)
        TARNIS_REQUIRES(m_objMutex);
    // Plain and shadow light keys by the light type; false when the record is to be skipped.
    bool routeLightKey(const SensorKeyRows::KeyRow* p_pRow, const KeyVal& p_stKeyVal,
                       u32& p_nDispatchKey) TARNIS_REQUIRES(m_objMutex);
    // Calls the key's handler; 0 or the negated key of the row.
    int dispatchKeyVal(u32 p_nIndex, u32 p_nKey, int32_t* p_pVal) TARNIS_REQUIRES(m_objMutex);
    // Stores an applied record in the current scheme.
    void storeKeyVal(u32 p_nIndex, const KeyVal& p_stKeyVal) TARNIS_REQUIRES(m_objMutex);
    // Keys whose cached value the processor does not have (a switch stopped before them):
    // never skipped as unchanged until applied again.
    void markUnapplied(const KeyVal* p_pKeyval, u32 p_nFirst, u32 p_nCount);
    bool isUnapplied(u32 p_nKey) const;
    void clearUnapplied(u32 p_nKey);

    // ---- key handlers ----
    int doIaCmd(u32 p_nKey, u32 p_nDir, void* p_pVal);
    int doIaCmd_User(u32 p_nKey, u32 p_nDir, void* p_pVal);
    int doHwdr(u32 p_nKey, u32 p_nDir, void* p_pVal);
    int doImageAdjust(u32 p_nKey, u32 p_nDir, void* p_pVal);
    int doDIS(u32 p_nKey, u32 p_nDir, void* p_pVal);
    int doIaCmd_PanoTuning(u32 p_nKey, u32 p_nDir, void* p_pVal);
    int test_debugParam(u32 p_nKey, u32 p_nDir, void* p_pVal);
    int doDNThr(u32 p_nKey, u32 p_nDir, void* p_pVal) TARNIS_REQUIRES(m_objMutex);
    int doDNTime(u32 p_nKey, u32 p_nDir, void* p_pVal) TARNIS_REQUIRES(m_objMutex);
    int doMirror(u32 p_nKey, u32 p_nDir, void* p_pVal) TARNIS_REQUIRES(m_objMutex);
    int doBeaway(u32 p_nKey, u32 p_nDir, void* p_pVal);
    int notifyToVideo(int p_nKey, int p_nVal);
    // handler internals
    // The current scheme's cached value of a key, 0 when it is not cached.
    u32 cachedOrZero(u32 p_nKey) TARNIS_REQUIRES(m_objMutex);
    // Whether the zoom/focus lock holds the lens commands back (read under its own lock).
    bool zoomFocusLocked() const;
    // Processor sets that doIaCmd saw refused so far. The engine compares it around one
    // dispatch under the controller's mutex; a direct control refused meanwhile on another
    // thread only makes the engine send that key again on the next apply.
    u32 refusedSets() const;

    // ---- key table ----
    // Allocates m_nKeyCmdNum (160) zeroed rows, fills the 155 rows, sets m_nKeyCmdNum 155.
    void buildKeyCmdMap();
    // The handler bound to row `p_nRow` of the key list (null for none) and, when asked, its
    // name as the table shows it ("&ISensorController::doIaCmd" or "NULL").
    static KeyHandler rowHandler(size_t p_nRow, const char** p_pszName = nullptr);
    // Parameter file of a scheme for this channel kind, into a buffer of `size` bytes.
    void paramFileName(int p_nScheme, char* p_szName, unsigned p_nSize) const;

    // ---- schemes and the sensor thread ----
    int switch_to(int p_nScheme, bool p_bForce = false) TARNIS_REQUIRES(m_objMutex);
    int LPR_switch_to(int p_nScheme) TARNIS_REQUIRES(m_objMutex);
    int judgeCurScheme(int& nScheme, int& nSchedule);
    int sensorThread();
    // scheme internals
    // One pass of the thread body. p_bLocked: the caller already has exclusive access
    // (init); otherwise, after its wait, the pass enters the pass gate and, unless a hold is
    // announced, takes m_objMutex for its decision and switch. The analysis cannot see init's
    // exclusive access.
    int sensorPass(bool p_bLocked) TARNIS_NO_THREAD_SAFETY_ANALYSIS;
    // Announces that the thread is about to be stopped: passes give up until the hold is
    // released. p_bDrain also waits for a pass already inside the gate; a caller that drains
    // must not hold m_objMutex (resetParameters drains before it locks).
    void holdPasses(bool p_bDrain) TARNIS_EXCLUDES(m_objMutex);
    void releasePasses();
    // The decision and switch of one pass; m_objMutex held (or exclusive access).
    int schemePass() TARNIS_REQUIRES(m_objMutex);
    int dayNightPass() TARNIS_REQUIRES(m_objMutex);
    int schedulePass(int p_nScheme) TARNIS_REQUIRES(m_objMutex);
    int lprWindowPass(int p_nScheme, int p_nSchedule) TARNIS_REQUIRES(m_objMutex);
    int lprOutsidePass() TARNIS_REQUIRES(m_objMutex);
    // Waits in 500 ms steps until no busy bit is set.
    void waitWhileBusy();
    // true when the arrays exist and 0 <= scheme <= nSchemeSum.
    bool isSchemeUsable(int p_nScheme) const;
    // Makes a scheme index current (-1: none); caller holds m_objMutex or has the controller
    // to itself. Keeps m_bCurSchemeHasFile in step.
    void setCurScheme(int32_t p_nScheme) TARNIS_REQUIRES(m_objMutex);

    // ---- lifecycle, restore and UI internals ----
    // lifecycle internals
    // Steps of init: factory records and scheme storage; version stamp; LPR and infrared
    // markers; parameter files of every scheme; WDR and Beaway from the video module. Exclusive
    // access, like init itself.
    void initSteps(const ModuleConfigure& p_objModuleConfigure) TARNIS_NO_THREAD_SAFETY_ANALYSIS;
    void initAllocSchemes();
    // The scheme storage for `p_nCount` factory records: the block of every user scheme and
    // the factory copy (filled from p_pFactory), its index, the scratch and work arrays.
    void allocSchemes(const KeyVal* p_pFactory, u32 p_nCount);
    // Judges the device data (m_bDeviceDataBroken) and says why, once, when it is broken.
    void initJudgeDeviceData(const std::string& p_strBroken);
    // true when the stamp is current; removes the parameter files on a mismatch.
    bool initCheckVersion();
    void initDeviceMarkers(MachineInfo& p_objMachine);
    void initLoadSchemes() TARNIS_REQUIRES(m_objMutex);
    // Loads one scheme's file by key; creates, migrates or replaces a damaged file.
    void initLoadScheme(u32 p_nScheme);
    // Writes the stamp and checks that it reads back.
    void initWriteStamp();
    const KeyVal* initSchemeDefaults(u32 p_nScheme);
    void initVideoDecisions(const MachineInfo& p_objMachine);
    // Frees the arrays and the key table and nulls their pointers.
    void releaseArrays();
    // Releases everything init allocated and forgets the current scheme; the thread is
    // stopped (uinit, the destructor, and an init that a host exception ends).
    void releaseAll() TARNIS_NO_THREAD_SAFETY_ANALYSIS;
    // Removes this channel kind's parameter files.
    void removeParamFiles();
    // Whether a user scheme's parameter file exists.
    bool anyParamFileExists() const;
    // Reset internals: the module configuration to re-init.
    bool readModuleDocuments(ModuleConfigure& p_objModule);
    void buildResetModule(ModuleConfigure& p_objModule);
    // ui internals
    // Polls the video module (no lock) until it reports the processor running, at most 30 times.
    void waitForProcessorReady() const;
    // The language entry of an id, entry 0 for an unknown id, null for an empty table.
    const UILanguage* findUILanguage(int p_nLanguageId) const;
    // Appends the current scheme's records, corrected against the processor's limits.
    void appendCorrectedScheme(std::string& p_strParameters) TARNIS_REQUIRES(m_objMutex);
    // Appends the current scheme's records as last saved in its parameter file.
    void appendSavedScheme(std::string& p_strParameters) TARNIS_REQUIRES(m_objMutex);
    // Engine accessors of one key: getParameter / setParameter(key, value, true) == 0.
    bool getByKey(int p_nKey, int& p_nVal);
    bool setByKey(int p_nKey, int p_nVal);
    // Direct processor access through doIaCmd: get into / set from one value.
    bool readCmd(u32 p_nCmd, int& p_nVal);
    bool sendCmd(u32 p_nCmd, int p_nVal);
    // The shutter step list (at most 30 values) into p_pSteps; returns the count.
    u32 getShutterSteps(int* p_pSteps);
    // Takes the step list (count into p_nCount), reads the current shutter and finds its first
    // position in the list.
    bool findCurrentShutter(int* p_pSteps, u32& p_nCount, u32& p_nIndex, int& p_nCur);
    // One step up (+1) or down (-1) the shutter list; the ends apply the current value again.
    bool stepShutter(int p_nStep);
    // Sets an illuminator's switch key; switching it on first switches the other one off
    // (read with p_nOtherCmd, switched with p_pOtherSwitch(0)).
    bool setIlluminator(int p_nKey, int p_nVal, u32 p_nOtherCmd,
                        bool (ISensorController::*p_pOtherSwitch)(int));

    // ---- flag word: updated atomically by host threads and the sensor thread ----
    void setFlag(u32 p_nBits) { m_nFlags.fetch_or(p_nBits); }
    void clearFlag(u32 p_nBits) { m_nFlags.fetch_and(~p_nBits); }
    bool testFlag(u32 p_nBits) const { return (m_nFlags.load() & p_nBits) != 0; }

    SysConfig m_stSysConf;
    int32_t m_nCameraID;
    OVMutex m_objMutex;
    GThread* m_pSensorThread;
    int32_t m_nLastScheme TARNIS_GUARDED_BY(m_objMutex);
    int32_t m_nCurScheme TARNIS_GUARDED_BY(m_objMutex);
    int32_t m_nParamMode TARNIS_GUARDED_BY(m_objMutex);
    KeyVal** m_ppUserKeyVal;
    KeyVal* m_pstKeyValTmp;
    KeyVal* m_pFctKeyVal;
    u32 m_nKeyValSum;
    KeyVal* m_pstKeyValWork;
    keycmd* m_pKeyCmdMap;
    u32 m_nVersion;
    const VideoStreamModule* m_pVideoStreamModule;
    MachineInfo m_objMachineInfo;
    std::atomic<u32> m_nFlags;
    // The sensor thread's pass gate and the number of announced holds (see holdPasses).
    std::mutex m_objPassMutex;
    std::atomic<int> m_nPassHolds;
    // Whether the current index is a user scheme (below nSchemeSum), the one with a parameter
    // file: written with the index, read without the lock by resetToLastParameters.
    std::atomic<bool> m_bCurSchemeHasFile;
    u32 m_nKeyCmdNum;
    int32_t m_nLastSchedule TARNIS_GUARDED_BY(m_objMutex);
    bool m_bLprMode;
    // Written by a direct control on a host thread, read by handlers on others.
    std::atomic<bool> m_bShowWDRFalg;
    // Count of refused processor sets (see refusedSets).
    std::atomic<u32> m_nRefusedSets;
    bool m_bScheduleScheme TARNIS_GUARDED_BY(m_objMutex);
    bool m_bAutoScheme TARNIS_GUARDED_BY(m_objMutex);
    bool m_bisLimitedIrPower;
    // The style or diversity document is broken: no parameter file is written or removed.
    bool m_bDeviceDataBroken;
    // Copied in and out by host threads while the handlers read it: under its own lock, as
    // the direct controls take no controller lock.
    mutable std::mutex m_objZoomFocusMutex;
    SensorZoomFocusParam m_stSensorZoomFocusParam;
    // See markUnapplied; under the same discipline as the caches.
    std::vector<u32> m_vecUnappliedKeys;
};

#endif
