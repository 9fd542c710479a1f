// A module configuration of the host (one <module> of moduleConfig.xml).
#ifndef MODULE_CONFIGURE_H
#define MODULE_CONFIGURE_H

#include <string>
#include <vector>

// One sensor module of the board: id, detail text and parameter text.
class ModuleConfigure {
public:
    ModuleConfigure() : m_nModuleId(0) {}
    int getModuleId() const { return m_nModuleId; }  // module id
    void setModuleId(int id) { m_nModuleId = id; }   // sets the module id
    // Detail text, fields written "(name=value)".
    const std::string& getDetail() const { return m_strDetail; }
    void setDetail(const std::string& detail) { m_strDetail = detail; }   // sets the detail text
    const std::string& getParameters() const { return m_strParameters; }  // parameter text
    void setParameters(const std::string& parameters) { m_strParameters = parameters; }  // sets it

private:
    int m_nModuleId;
    std::string m_strDetail;
    std::string m_strParameters;
};

// Reader of moduleConfig.xml.
class ModuleConfigureParser {
public:
    // Appends, in document order, the <module> elements under the root whose hardwareModel
    // and hardwareCode attributes equal the ones asked for (an absent attribute matches any).
    // A document that is missing or does not parse yields nothing and false.
    static bool parse(const std::string& path, const std::string& hardwareModel,
                      const std::string& hardwareCode, std::vector<ModuleConfigure>& out);
};

#endif
