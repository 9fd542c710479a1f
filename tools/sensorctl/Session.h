// One sensorctl session: the sandbox root, the simulated world and the controller of one
// channel, and the commands a script drives them with.
#ifndef SENSORCTL_SESSION_H
#define SENSORCTL_SESSION_H

#include <memory>
#include <string>
#include <vector>

#include "Controls.h"
#include "ISensorController.h"
#include "MachineInfo.h"
#include "Output.h"
#include "SimVideoModule.h"

struct Options {
    std::string root = "sensorctl-root";
    bool fresh = false;     // empty the root before preparing it
    std::string deviceDir;  // empty: the device data beside the executable or installed
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
    bool strict = false;     // false results, failed library checks and values out of range
                             // are errors of their command
    bool quiet = false;      // scripts do not echo their commands
    bool list = false;       // run 'list' (after any scripts)
    bool json = false;       // 'list' prints JSON lines
    bool verbose = false;    // 'list' adds handlers and enable lists
    std::string libraryLog;  // file receiving the library's console output
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

    // Creates the root's folders and installs the device data that is missing (after emptying
    // the root when the options ask for a fresh one). false (with a message on stderr) when
    // the root cannot be made or emptied.
    bool prepareRoot();
    // Runs every line of `in`; `source` names it in error messages. Returns false on quit.
    bool runStream(std::istream& in, const std::string& source);
    bool runInteractive();
    // Executes one command line; errors are counted and reported on stderr. Script lines are
    // echoed before their results unless the options say quiet.
    bool execute(const std::string& line, const std::string& source, int lineNo);
    // Executes one command given as words (from the command line); `source` names it.
    bool executeArgs(const std::string& name, const Args& args, const std::string& source);
    int errorCount() const { return m_nErrors; }
    // Runs one command line and hands back its results instead of printing them; the number of
    // errors it reported goes to `errors`.
    void capture(const std::string& line, std::string& out, int& errors);

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
    // The same line marked as a warning; not counted.
    void warn(const std::string& what);

    // ---- results ----
    void result(const std::string& text);
    // "true OUTPUTS" or "false"; under --strict false is an error of the command.
    void resultBool(bool ok, const std::string& outputs = "");
    // A result code of the library; under --strict a non-zero code is an error.
    void resultCode(int code);

    // ---- the one name lookup (errors reported) ----
    // The channel's controls as its dynamic style shows them (built once per initialisation
    // and whenever the processor's ranges change); null when the channel does not initialise.
    const std::vector<Control>* controls();
    void forgetControls() { m_vControls.clear(); }
    bool hasControls() const { return !m_vControls.empty(); }
    bool lookupKey(const std::string& text, long& key);
    bool lookupCommand(const std::string& text, long& command);

private:
    Options m_opt;
    SimVideoModule m_video;
    std::unique_ptr<ISensorController> m_controller;
    bool m_bInited;
    int m_nErrors;
    std::string m_strCommand;
    std::string m_strWhere;
    bool m_bEcho;
    std::vector<Control> m_vControls;
    std::string* m_pCapture;  // results of the command run by capture(), else null

    void splitLine(const std::string& line, std::string& name, Args& args) const;
    bool dispatch(const std::string& name, const Args& args);
    void report(Tint tint, const std::string& what) const;
    long errorLogSize() const;
    int failedChecksSince(long size) const;
};

// A parameter text checked word by word: "(KEY,VALUE)" groups with a key (number or name) and
// a decimal value, only blanks between them. False with a message naming the bad group.
struct KeyValue {
    long key;
    long value;
};
bool parsePairs(Session& s, const std::string& text, std::vector<KeyValue>& out,
                std::string& error);
// A key list "(KEY,KEY,...)" for getParameters.
bool parseKeyList(Session& s, const std::string& text, std::vector<long>& out, std::string& error);

// Command dispatch (Commands.cpp) and the named controller calls (NamedCalls.cpp).
// Returns false for "quit".
bool runCommand(Session& s, const std::string& name, const Args& args);
// True for the commands whose argument is one text kept whole (parameter texts, expect).
bool takesWholeText(const std::string& name);
std::vector<std::string> commandNames();
void printHelp(const std::string& command = "");
bool runNamedCall(Session& s, const Args& args);
void printNamedCalls();
// The commands of List.cpp and Expect.cpp.
void cmdList(Session& s, const Args& args);
void cmdExpect(Session& s, const Args& args);

#endif
