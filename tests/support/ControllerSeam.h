// The friend test seam of ISensorController: the project's own tests reach the controller's
// private state and steps through it, never through the exported interface.
#ifndef TESTS_CONTROLLER_SEAM_H
#define TESTS_CONTROLLER_SEAM_H

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ISensorController.h"

class SensorControllerTestSeam {
public:
    explicit SensorControllerTestSeam(ISensorController& c) : c(c) {}

    // Members.
    SysConfig& sysConf() { return c.m_stSysConf; }
    int32_t& cameraId() { return c.m_nCameraID; }
    OVMutex& mutex() { return c.m_objMutex; }
    GThread* thread() { return c.m_pSensorThread; }
    int32_t& curScheme() { return c.m_nCurScheme; }
    int32_t& paramMode() { return c.m_nParamMode; }
    KeyVal** userKeyVal() { return c.m_ppUserKeyVal; }
    KeyVal* fctKeyVal() { return c.m_pFctKeyVal; }
    u32& keyValSum() { return c.m_nKeyValSum; }
    keycmd* keyCmdMap() { return c.m_pKeyCmdMap; }
    MachineInfo& machineInfo() { return c.m_objMachineInfo; }
    u32 flags() { return c.m_nFlags.load(); }
    void setFlag(u32 bits) { c.setFlag(bits); }
    void clearFlag(u32 bits) { c.clearFlag(bits); }
    u32& keyCmdNum() { return c.m_nKeyCmdNum; }
    bool& lprMode() { return c.m_bLprMode; }
    std::atomic<bool>& showWDR() { return c.m_bShowWDRFalg; }
    bool& scheduleScheme() { return c.m_bScheduleScheme; }
    bool& autoScheme() { return c.m_bAutoScheme; }
    bool& limitedIrPower() { return c.m_bisLimitedIrPower; }
    SensorZoomFocusParam& zoomFocus() { return c.m_stSensorZoomFocusParam; }

    // Private steps.
    int setParameters(KeyVal* records, u32 count, bool save) {
        return c.setParameters(records, count, save);
    }
    int findFromKeyCmdMap(u32 key, keycmd& row) {
        return c.findFromKeyCmdMap(c.m_pKeyCmdMap, key, row);
    }
    int setKeyValToCache(u32 scheme, u32 key, u32 value, bool force) {
        return c.setKeyValToCache(scheme, key, value, force);
    }
    int getKeyValFromCache(u32 scheme, u32 key, u32& value) {
        return c.getKeyValFromCache(scheme, key, value);
    }
    int switchTo(int scheme, bool force) { return c.switch_to(scheme, force); }
    int sensorThreadPass() { return c.sensorThread(); }
    void holdPasses(bool drain) { c.holdPasses(drain); }
    void releasePasses() { c.releasePasses(); }

    // Prepares the scheme arrays and the key table with init's own steps, without styles or
    // files: `schemes` user schemes plus the factory copy, each holding `factory`.
    void prepare(const std::vector<KeyVal>& factory, u32 schemes) {
        c.m_stSysConf.nSchemeSum = schemes;
        c.allocSchemes(factory.data(), static_cast<u32>(factory.size()));
        for (u32 s = 0; s < schemes && !factory.empty(); ++s) {
            std::memcpy(c.m_ppUserKeyVal[s], factory.data(), factory.size() * sizeof(KeyVal));
        }
        c.buildKeyCmdMap();
        m_prepared = true;
    }

    // Releases what prepare allocated (tests that did not run init).
    void release() {
        if (m_prepared) {
            c.releaseArrays();
            c.m_nKeyValSum = 0;
            m_prepared = false;
        }
    }

private:
    ISensorController& c;
    bool m_prepared = false;
};

#endif
