// Per-test sandbox root: a fresh directory that SENSOR_ROOT points at, with the camera's
// folders created. The clock variables are set too (time scale 0.001 unless a test changes
// it), so nothing in a test waits for real seconds.
#ifndef TESTS_SANDBOX_H
#define TESTS_SANDBOX_H

#include <string>
#include <vector>

#include <gtest/gtest.h>

class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    const std::string& root() const { return m_root; }
    // Host path of a camera path inside the root.
    std::string path(const std::string& cameraPath) const;
    void writeFile(const std::string& cameraPath, const std::string& bytes) const;
    std::string readFile(const std::string& cameraPath) const;
    bool exists(const std::string& cameraPath) const;
    void remove(const std::string& cameraPath) const;
    // Copies the bundled device data (styles, diversity, machineinfo.ini, moduleConfig.xml)
    // to the camera's folders.
    void installDeviceData() const;
    // machineinfo.ini with the given device type and hardware model.
    void writeMachineInfo(int deviceType, const std::string& model = "Hi3519V101",
                          const std::string& code = "IPC-01") const;
    // Debug.sign with the given lines ("" for none).
    void setDebugSwitch(const std::string& content) const;
    // Every regular file below the root, relative to it, sorted.
    std::vector<std::string> listFiles() const;

private:
    std::string m_root;
};

// gtest fixture owning a Sandbox; also resets the simulated processor.
class SandboxTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    Sandbox* sandbox = nullptr;
};

// Captures what the process writes to fd 1 between start and stop.
class StdoutCapture {
public:
    StdoutCapture();
    ~StdoutCapture();
    // Flushes stdout and returns everything captured so far; ends the capture.
    std::string stop();

private:
    int m_savedFd;
    std::string m_path;
    bool m_active;
};

// Reads a whole host file ("" when missing).
std::string readHostFile(const std::string& path);
// What the XML library prints for a document text.
std::string printedXml(const std::string& xml);

// `depth` nested <e> elements around `inner`.
std::string nestedXml(size_t depth, const std::string& inner = "");

// One run of the sensorctl process (through the emulator on cross builds).
struct ToolRun {
    int status;  // exit status, -1 when it did not exit
    std::string out;
    std::string err;
};
// Runs sensorctl with its sandbox under `dir`/cam and the words `args`; standard output and
// error land in `dir`/out.txt and `dir`/err.txt.
ToolRun runSensorctl(const std::string& dir, const std::string& args);

#endif
