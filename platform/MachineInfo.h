// The board's machine information (machineinfo.ini: name=value lines).
#ifndef MACHINE_INFO_H
#define MACHINE_INFO_H

#include <string>

// A device type id and the ids the library tells apart.
class DeviceType {
public:
    enum {
        IPCAMERA = 1,
        IPDOME = 4,
        LPR = 8,
        FACE_DETECT = 9,
        VEHICLE_DETECT = 11,
        THERMAL_DEVICE = 13,
        THERMAL_DOUBLE_SENSOR_DEVICE = 14,
        AIMULTI_OBJECT_DETECT = 15,
        IPP = 16,
        HUMAN_TEMPERATURE = 17,
        FISHEYE = 18,
        THERMAL_DOUBLE_SENSOR_DOME_DEVICE = 19,
        DOMECORE = 20,
        BINOCULAR_DEVICE = 22,
        DOMECORE_THERMAL_DEVICE = 104,
    };
    DeviceType() : m_nId(0) {}
    void setDeviceTypeId(int id) { m_nId = id; }   // sets the id
    int getDeviceTypeId() const { return m_nId; }  // the id

private:
    int m_nId;
};

// The board's machine information: device type, hardware model and code.
class MachineInfo {
public:
    MachineInfo() : m_nDeviceType(0) {}
    int getDeviceType() const { return m_nDeviceType; }     // deviceType (a DeviceType id)
    void setDeviceType(int type) { m_nDeviceType = type; }  // sets deviceType
    // hardwareModel
    const std::string& getHardwareModel() const { return m_strHardwareModel; }
    // Sets hardwareModel.
    void setHardwareModel(const std::string& model) { m_strHardwareModel = model; }
    // hardwareCode
    const std::string& getHardwareCode() const { return m_strHardwareCode; }
    // Sets hardwareCode.
    void setHardwareCode(const std::string& code) { m_strHardwareCode = code; }

private:
    int m_nDeviceType;
    std::string m_strHardwareModel;
    std::string m_strHardwareCode;
};

// Reader of machineinfo.ini.
class SystemInfoParser {
public:
    // Reads deviceType (decimal), hardwareModel and hardwareCode; unknown names are ignored.
    // false when the file is missing or empty, or deviceType is absent or not a number.
    static bool parseMachineInfo(const std::string& path, MachineInfo& info);
};

#endif
