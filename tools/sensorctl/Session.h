// One sensorctl session: the sandbox root, the simulated world and the controller of one
// channel, and the commands a script drives them with.
#ifndef SENSORCTL_SESSION_H
#define SENSORCTL_SESSION_H

#include <memory>
#include <string>
#include <vector>

#include "ISensorController.h"
#include "MachineInfo.h"
#include "SimVideoModule.h"

struct Options {
    std::string root = "sensorctl-root";
    std::string deviceDir = TARNIS_DEVICE_DIR;
    int channel = 1;
    int deviceType = 1;
    std::string model = "Hi3519V101";
    std::string code = "IPC-01";
    bool machineGiven = false;  // any of device type, model, code given on the command line
    std::string detail;         // empty: taken from moduleConfig.xml
    bool detailGiven = false;
    int moduleId = -1;  // -1: taken from moduleConfig.xml
    std::string parameters;
    std::string timeScale = "0.01";
    std::string debugLevel;  // written to /tmp/Debug.sign when given
    std::vector<std::string> scripts;
    std::string command;  // one command given on the command line, with its words
    std::vector<std::string> commandArgs;
};

// A command's words after its name.
typedef std::vector<std::string> Args;

class Session {
public:
    explicit Session(const Options& options);
    ~Session();

    // Creates the root's folders and installs the device data that is missing. false (with a
    // message on stderr) when the root cannot be made.
    bool prepareRoot();
    // Runs every line of `in`; `source` names it in error messages. Returns false on quit.
    bool runStream(std::istream& in, const std::string& source);
    bool runInteractive();
    // Executes one command line; errors are counted and reported on stderr.
    bool execute(const std::string& line, const std::string& source, int lineNo);
    // Executes one command given as words (from the command line); `source` names it.
    bool executeArgs(const std::string& name, const Args& args, const std::string& source);
    int errorCount() const { return m_nErrors; }

    // ---- used by the command handlers ----
    ISensorController& controller();  // initialises the channel on first use
    bool ensureInit();
    void shutdown();
    SimVideoModule& video() { return m_video; }
    // The processor channel of this controller (0-based).
    int ispChannel() const;
    int cameraId() const;
    const Options& options() const { return m_opt; }
    std::string hostPath(const std::string& cameraPath) const;
    // The module of moduleConfig.xml that matches the board (with the command line's
    // overrides); `matched` tells whether one matched.
    ModuleConfigure moduleConfigure(bool* matched = nullptr) const;
    // The root's machineinfo.ini; false when it cannot be read.
    bool machineInfo(MachineInfo& out) const;
    // Reports an error of the current command: "sensorctl: SOURCE:LINE: CMD: what".
    void error(const std::string& what);

private:
    Options m_opt;
    SimVideoModule m_video;
    std::unique_ptr<ISensorController> m_controller;
    bool m_bInited;
    int m_nErrors;
    std::string m_strCommand;
    std::string m_strWhere;
};

// Numbers and key names in arguments.
bool parseInt(const std::string& text, long& out);
// A key or processor command: a decimal number or a key name such as KEY_BRIGHTNESS.
bool parseKey(const std::string& text, long& out);
// Replaces key names inside a parameter text "(KEY_BRIGHTNESS,60)" by their numbers; false
// (with the unknown name in `bad`) when a name is not a key.
bool resolveKeyNames(const std::string& text, std::string& out, std::string& bad);
// All key names and numbers, in table order.
struct KeyName {
    long key;
    const char* name;
};
const std::vector<KeyName>& keyNames();

// Command dispatch (Commands.cpp) and the named controller calls (NamedCalls.cpp).
// Returns false for "quit".
bool runCommand(Session& s, const std::string& name, const Args& args);
bool isCommand(const std::string& name);
void printHelp();
bool runNamedCall(Session& s, const Args& args);
void printNamedCalls();

#endif
