// sensorctl page: the current dynamic style drawn as the model's settings page, in one
// self-contained HTML file (inline style sheet and script, no network): tabs, groups and
// controls with their bounds and current values, enable lists as dependencies, and a box of
// pending changes as a parameter text for "sensorctl set".
#include <cstdio>
#include <fstream>
#include <map>

#include <nlohmann/json.hpp>

#include "DeviceCommands.h"
#include "PageTemplate.h"
#include "StyleModel.h"

namespace {

using nlohmann::json;

const char kDefaultOut[] = "sensorctl-page.html";
const char kDataMarker[] = "/*@PAGE_DATA@*/null";

struct PageInput {
    std::map<long, long> values;                // current values by key
    std::map<std::string, std::string> labels;  // words of the language document, by name
    std::map<long, std::string> keyNames;
};

// Values of a parameter text "(34,70)(2337,40)".
std::map<long, long> parseValues(const std::string& text) {
    std::map<long, long> values;
    long key = 0, value = 0;
    int used = 0;
    for (const char* p = text.c_str(); std::sscanf(p, " (%ld,%ld)%n", &key, &value, &used) == 2;
         p += used) {
        values[key] = value;
    }
    return values;
}

// The language document names words: any element with a "name" attribute and text.
std::map<std::string, std::string> parseLabels(const std::string& document) {
    std::map<std::string, std::string> labels;
    TiXmlDocument doc;
    doc.Parse(document.c_str(), nullptr, TIXML_ENCODING_UTF8);
    std::vector<const TiXmlElement*> stack;
    if (!doc.Error() && doc.RootElement() != nullptr) {
        stack.push_back(doc.RootElement());
    }
    while (!stack.empty()) {
        const TiXmlElement* e = stack.back();
        stack.pop_back();
        if (e->Attribute("name") != nullptr && e->GetText() != nullptr) {
            labels[e->Attribute("name")] = e->GetText();
        }
        for (const TiXmlElement* c = e->FirstChildElement(); c; c = c->NextSiblingElement()) {
            stack.push_back(c);
        }
    }
    return labels;
}

long numberAttribute(const TiXmlElement* e, const char* name, long fallback) {
    long v = fallback;
    parseDecimal(e->Attribute(name), v);
    return v;
}

void setLabel(json& node, const char* name, const PageInput& in) {
    auto found = name != nullptr ? in.labels.find(name) : in.labels.end();
    if (found != in.labels.end()) {
        node["label"] = found->second;
    }
}

json controlJson(const TiXmlElement* e, const PageInput& in) {
    const long id = idOf(e);
    const long def = numberAttribute(e, "value", 0);
    auto current = in.values.find(id);
    auto key = in.keyNames.find(id);
    json c = {{"kind", "control"},
              {"type", e->Value()},
              {"id", id},
              {"name", e->Attribute("name") ? e->Attribute("name") : ""},
              {"key", key != in.keyNames.end() ? key->second : ""},
              {"default", def},
              {"value", current != in.values.end() ? current->second : def},
              {"enable", enableList(e)},
              {"items", json::array()}};
    setLabel(c, e->Attribute("name"), in);
    if (e->Attribute("min") != nullptr && e->Attribute("max") != nullptr) {
        c["min"] = numberAttribute(e, "min", 0);
        c["max"] = numberAttribute(e, "max", 0);
    }
    for (const TiXmlElement* item = e->FirstChildElement(); item != nullptr;
         item = item->NextSiblingElement()) {
        if (item->Attribute("index") != nullptr) {
            json i = {{"index", numberAttribute(item, "index", 0)},
                      {"name", item->Attribute("name") ? item->Attribute("name") : ""}};
            setLabel(i, item->Attribute("name"), in);
            c["items"].push_back(i);
        }
    }
    return c;
}

// The controls and groups below a tab or group, in document order.
json childrenJson(const TiXmlElement* parent, const PageInput& in) {
    json children = json::array();
    for (const TiXmlElement* e = parent->FirstChildElement(); e != nullptr;
         e = e->NextSiblingElement()) {
        if (isParameter(e)) {
            children.push_back(controlJson(e, in));
        } else if (e->FirstChildElement() != nullptr) {
            json group = {{"kind", "group"},
                          {"name", e->Attribute("name") ? e->Attribute("name") : e->Value()},
                          {"children", childrenJson(e, in)}};
            setLabel(group, e->Attribute("name"), in);
            children.push_back(group);
        }
    }
    return children;
}

std::string modelText(Session& s, int scheme) {
    MachineInfo machine;
    s.machineInfo(machine);
    bool matched = false;
    const ModuleConfigure module = s.moduleConfigure(&matched);
    return "device type " + std::to_string(machine.getDeviceType()) + ", channel " +
           std::to_string(s.cameraId()) + ", " + machine.getHardwareModel() + " / " +
           machine.getHardwareCode() + (matched ? ", module " : ", no module ") +
           std::to_string(module.getModuleId()) + " " + module.getDetail() + "; scheme " +
           std::to_string(scheme);
}

// The values of scheme `scheme` (-1: the current one) as the web interface reads them.
bool schemeValues(Session& s, int scheme, int& shown, std::string& text) {
    ISensorController& c = s.controller();
    int current = 0;
    c.getParamScheme(current);
    shown = scheme < 0 ? current : scheme;
    if (shown != current && !c.setParamScheme(shown)) {
        s.error("cannot select scheme " + std::to_string(shown));
        return false;
    }
    c.getAllParameters(text);
    if (shown != current) {
        c.setParamScheme(current);
    }
    return true;
}

}  // namespace

void cmdPage(Session& s, const Args& a) {
    std::string out = kDefaultOut;
    long scheme = -1;
    for (size_t i = 0; i < a.size(); i += 2) {
        const bool hasValue = i + 1 < a.size();
        if (a[i] == "--out" && hasValue) {
            out = a[i + 1];
        } else if (a[i] == "--scheme" && hasValue && parseInt(a[i + 1], scheme) && scheme >= 0) {
        } else {
            s.error("expected: page [--out FILE] [--scheme N]");
            return;
        }
    }
    const std::string style = s.controller().getUIStyleFile();
    PageInput in;
    std::string values;
    int shown = 0;
    if (!schemeValues(s, static_cast<int>(scheme), shown, values)) {
        return;
    }
    in.values = parseValues(values);
    in.labels = parseLabels(s.controller().getUILanguageFile(0));
    for (const KeyName& k : keyNames()) {
        in.keyNames.emplace(k.key, k.name);
    }
    TiXmlDocument doc;
    doc.Parse(style.c_str(), nullptr, TIXML_ENCODING_UTF8);
    if (doc.Error() || doc.RootElement() == nullptr) {
        s.error(std::string("the dynamic style does not parse: ") + doc.ErrorDesc());
        return;
    }
    json page = {
        {"title", "Image settings"}, {"model", modelText(s, shown)}, {"tabs", json::array()}};
    for (const TiXmlElement* tab = doc.RootElement()->FirstChildElement(); tab != nullptr;
         tab = tab->NextSiblingElement()) {
        json t = {{"key", tab->Attribute("key") ? tab->Attribute("key") : ""},
                  {"name", tab->Attribute("name") ? tab->Attribute("name") : ""},
                  {"children", childrenJson(tab, in)}};
        setLabel(t, tab->Attribute("name"), in);
        page["tabs"].push_back(t);
    }
    // The data sits inside a script element: no "</" may end it early.
    std::string data = page.dump();
    for (size_t at = 0; (at = data.find("</", at)) != std::string::npos; at += 3) {
        data.replace(at, 2, "<\\/");
    }
    std::string html = kPageTemplate;
    const size_t marker = html.find(kDataMarker);
    if (marker == std::string::npos) {
        s.error("the page template has no data marker");
        return;
    }
    html.replace(marker, sizeof(kDataMarker) - 1, data);
    std::ofstream file(out, std::ios::binary | std::ios::trunc);
    file << html;
    file.close();
    if (!file) {
        s.error("cannot write " + out);
        return;
    }
    std::printf("page %s: %zu tabs, scheme %d\n", out.c_str(), page["tabs"].size(), shown);
}
