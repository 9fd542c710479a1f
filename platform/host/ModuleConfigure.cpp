#include "ModuleConfigure.h"

#include <tinyxml.h>

#include "XmlString.h"

namespace {

// An attribute that is absent matches any value asked for.
bool attributeMatches(const TiXmlElement& module, const char* name, const std::string& wanted) {
    const char* value = module.Attribute(name);
    return value == nullptr || wanted == value;
}

std::string attributeText(const TiXmlElement& module, const char* name) {
    const char* value = module.Attribute(name);
    return value ? value : "";
}

ModuleConfigure toModuleConfigure(const TiXmlElement& module) {
    ModuleConfigure config;
    int id = 0;
    if (module.QueryIntAttribute("id", &id) == TIXML_SUCCESS) {
        config.setModuleId(id);
    }
    config.setDetail(attributeText(module, "detail"));
    config.setParameters(attributeText(module, "parameters"));
    return config;
}

}  // namespace

bool ModuleConfigureParser::parse(const std::string& path, const std::string& hardwareModel,
                                  const std::string& hardwareCode,
                                  std::vector<ModuleConfigure>& out) {
    TiXmlDocument doc;
    if (!loadXmlFile(doc, path.c_str(), TIXML_ENCODING_UTF8)) {
        return false;
    }
    const TiXmlElement* root = doc.RootElement();
    if (root == nullptr) {
        return false;
    }
    for (const TiXmlElement* module = root->FirstChildElement("module"); module != nullptr;
         module = module->NextSiblingElement("module")) {
        if (attributeMatches(*module, "hardwareModel", hardwareModel) &&
            attributeMatches(*module, "hardwareCode", hardwareCode)) {
            out.push_back(toModuleConfigure(*module));
        }
    }
    return true;
}
