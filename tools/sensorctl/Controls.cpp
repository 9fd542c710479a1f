#include "Controls.h"

#include <cstdlib>

#include <tinyxml.h>

#include "IaSim.h"
#include "Session.h"

namespace {

bool intAttribute(const TiXmlElement& e, const char* name, long& out) {
    const char* text = e.Attribute(name);
    return text != nullptr && parseInt(text, out);
}

const char* textAttribute(const TiXmlElement& e, const char* name) {
    const char* text = e.Attribute(name);
    return text ? text : "";
}

Control controlOf(const TiXmlElement& e, long key, const std::string& tab) {
    Control c;
    c.tab = tab;
    c.styleName = textAttribute(e, "name");
    c.type = e.Value();
    c.key = key;
    c.row = rowOfKey(key);
    c.hasMinMax = intAttribute(e, "min", c.min) && intAttribute(e, "max", c.max);
    c.hasDefault = intAttribute(e, "value", c.def);
    c.enableList = textAttribute(e, "enable_list");
    for (const TiXmlElement* item = e.FirstChildElement(); item != nullptr;
         item = item->NextSiblingElement()) {
        long index = 0;
        if (intAttribute(*item, "index", index)) {
            c.items.push_back({index, textAttribute(*item, "name")});
        }
    }
    return c;
}

// Walks like the library's own searches: an element with an "id" is a control and is not
// descended into.
void collect(const TiXmlElement* e, std::string tab, std::vector<Control>& out) {
    for (; e != nullptr; e = e->NextSiblingElement()) {
        long key = 0;
        if (intAttribute(*e, "id", key)) {
            out.push_back(controlOf(*e, key, tab));
        } else {
            collect(e->FirstChildElement(),
                    std::string(e->Value()) == "tab" ? textAttribute(*e, "key") : tab, out);
        }
    }
}

}  // namespace

std::vector<Control> readControls(const std::string& styleDocument) {
    std::vector<Control> controls;
    TiXmlDocument doc;
    doc.Parse(styleDocument.c_str(), nullptr, TIXML_ENCODING_UTF8);
    if (!doc.Error() && doc.RootElement() != nullptr) {
        collect(doc.RootElement()->FirstChildElement(), "", controls);
    }
    return controls;
}

long controlCommand(const Control& c) {
    if (c.row == nullptr) {
        return c.key;  // the library sends a key it has no row for as its own command
    }
    return rowHasHandler(*c.row) ? c.row->command : -1;
}

bool outsideRange(const Control& c, long value) {
    if (!c.items.empty()) {
        for (const ControlItem& item : c.items) {
            if (item.index == value) {
                return false;
            }
        }
        return true;
    }
    return c.hasMinMax && (value < c.min || value > c.max);
}

std::string rangeText(const Control& c) {
    if (!c.items.empty()) {
        std::string text;
        for (const ControlItem& item : c.items) {
            text += (text.empty() ? "" : " ") + std::to_string(item.index) + ":" + item.name;
        }
        return text;
    }
    return c.hasMinMax ? std::to_string(c.min) + ".." + std::to_string(c.max) : "-";
}

const Control* findControl(const std::vector<Control>& controls, long key) {
    for (const Control& c : controls) {
        if (c.key == key) {
            return &c;
        }
    }
    return nullptr;
}

bool currentControls(Session& s, const std::string& filter, std::vector<Control>& out,
                     std::string& error) {
    const std::vector<Control>* all = s.controls();
    if (all == nullptr) {
        error = "the channel did not initialise";
        return false;
    }
    std::vector<long> keys;
    bool isTab = false;
    for (const Control& c : *all) {
        isTab = isTab || (!filter.empty() && equalsIgnoringCase(filter, c.tab));
    }
    if (!filter.empty() && !isTab) {
        keys = keyCandidates(filter, all);
        if (keys.empty()) {
            error = "no tab or control '" + filter + "' (try 'list')";
            return false;
        }
    }
    iasim::UnloggedScope quiet;  // the tool's own reads stay out of the processor log
    out.clear();
    for (const Control& c : *all) {
        bool wanted = filter.empty() || (isTab && equalsIgnoringCase(filter, c.tab));
        for (long k : keys) {
            wanted = wanted || k == c.key;
        }
        if (wanted) {
            out.push_back(c);
            out.back().hasCurrent =
                s.controller().getParameter(static_cast<int>(c.key), out.back().current);
        }
    }
    if (out.empty()) {
        error = "'" + filter + "' is not a control of this channel's style";
        return false;
    }
    return true;
}
