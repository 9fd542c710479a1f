// The controls of a channel as its dynamic UI style shows them, joined with the key table and
// the current scheme's values: the model behind `list`, the style names of the name lookup and
// the range check of `set`.
#ifndef SENSORCTL_CONTROLS_H
#define SENSORCTL_CONTROLS_H

#include <string>
#include <vector>

#include "Lookup.h"

class Session;

struct ControlItem {
    long index;
    std::string name;
};

// One element of the style that carries an "id", in document order.
struct Control {
    std::string tab;              // "key" of the tab holding it
    std::string styleName;        // its "name"
    std::string type;             // element name: slider, spin, combo, button, placeholder
    long key = 0;                 // its "id"
    const KeyRow* row = nullptr;  // null for a style key the key table lacks
    bool hasMinMax = false;
    long min = 0, max = 0;
    std::vector<ControlItem> items;  // combo items, in order
    bool hasDefault = false;
    long def = 0;  // "value": the factory default the channel derives from this style
    std::string enableList;
    bool hasCurrent = false;
    int current = 0;  // the current scheme's value (filled by currentControls)
};

// The controls of a style document (text). An unparsable document gives none.
std::vector<Control> readControls(const std::string& styleDocument);
// The processor command a control's key is applied with, or -1 for a key the engine only
// stores.
long controlCommand(const Control& c);
// True when the control declares a range (min..max or items) and `value` lies outside it.
bool outsideRange(const Control& c, long value);
// "0..100", "0:gamma_standard 1:gamma_contrast", or "-" without a range.
std::string rangeText(const Control& c);
const Control* findControl(const std::vector<Control>& controls, long key);

// The session's controls with their current values, all of them or those that `filter`
// names: a tab's key, or anything the name lookup accepts (a style name may name several).
// False with a message when the filter names nothing.
bool currentControls(Session& s, const std::string& filter, std::vector<Control>& out,
                     std::string& error);

#endif
