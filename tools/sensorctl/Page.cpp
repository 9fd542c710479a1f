// sensorctl page: the current dynamic style drawn as the model's settings page, in one
// self-contained HTML file (inline style sheet and script, no network): tabs, groups and
// controls with their bounds and current values, enable lists as dependencies, and a box of
// pending changes as a parameter text for "sensorctl set".
#include <fstream>
#include <map>

#include <nlohmann/json.hpp>

#include "Controls.h"
#include "DeviceCommands.h"
#include "IaSim.h"
#include "PageTemplate.h"
#include "StyleModel.h"

namespace {

using nlohmann::json;

const char kDefaultOut[] = "sensorctl-page.html";
const char kDataMarker[] = "/*@PAGE_DATA@*/null";

struct PageInput {
    std::vector<Control> controls;              // of the dynamic style, as 'list' sees them
    std::map<long, long> values;                // current values by key
    std::map<std::string, std::string> labels;  // words of the language document, by name
};

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

void setLabel(json& node, const char* name, const PageInput& in) {
    auto found = name != nullptr ? in.labels.find(name) : in.labels.end();
    if (found != in.labels.end()) {
        node["label"] = found->second;
    }
}

json controlJson(const Control& c, const TiXmlElement* e, const PageInput& in) {
    auto current = in.values.find(c.key);
    json j = {{"kind", "control"},
              {"type", c.type},
              {"id", c.key},
              {"name", c.styleName},
              {"key", c.row != nullptr ? c.row->name : ""},
              {"default", c.def},
              {"value", current != in.values.end() ? current->second : c.def},
              {"enable", enableList(e)},
              {"items", json::array()}};
    setLabel(j, c.styleName.c_str(), in);
    if (c.hasMinMax) {
        j["min"] = c.min;
        j["max"] = c.max;
    }
    for (const ControlItem& item : c.items) {
        json i = {{"index", item.index}, {"name", item.name}};
        setLabel(i, item.name.c_str(), in);
        j["items"].push_back(i);
    }
    return j;
}

// The controls and groups below a tab or group, in document order.
json childrenJson(const TiXmlElement* parent, const PageInput& in) {
    json children = json::array();
    for (const TiXmlElement* e = parent->FirstChildElement(); e != nullptr;
         e = e->NextSiblingElement()) {
        long key = 0;
        const Control* c = parseInt(e->Attribute("id") ? e->Attribute("id") : "", key)
                               ? findControl(in.controls, key)
                               : nullptr;
        if (c != nullptr) {
            children.push_back(controlJson(*c, e, in));
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
    iasim::UnloggedScope quiet;  // the tool's own reads stay out of the processor log
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
    std::vector<KeyValue> pairs;
    std::string bad;
    if (!parsePairs(s, values, pairs, bad)) {
        s.error("the current values do not read: " + bad);
        return;
    }
    for (const KeyValue& pair : pairs) {
        in.values[pair.key] = pair.value;
    }
    in.labels = parseLabels(s.controller().getUILanguageFile(0));
    in.controls = readControls(style);
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
    s.result("page " + out + ": " + std::to_string(page["tabs"].size()) + " tabs, scheme " +
             std::to_string(shown));
}
