// `call NAME [ARGS]`: every named accessor and direct control of the controller, driven by
// one table of names.
#include <cstdio>
#include <functional>

#include "Output.h"
#include "Session.h"

namespace {

typedef ISensorController C;
typedef std::vector<long> Ints;
// Runs a call; `out` receives the outputs printed after true/false.
typedef std::function<bool(C&, const Ints&, std::string& out)> Runner;

struct NamedCall {
    const char* name;
    size_t argc;
    const char* args;
    Runner run;
};

Runner getter(bool (C::*m)(int&)) {
    return [m](C& c, const Ints&, std::string& out) {
        int v = 0;
        bool ok = (c.*m)(v);
        out = std::to_string(v);
        return ok;
    };
}
Runner setter(bool (C::*m)(int)) {
    return [m](C& c, const Ints& a, std::string&) { return (c.*m)(static_cast<int>(a[0])); };
}
Runner setterRef(bool (C::*m)(int&)) {
    return [m](C& c, const Ints& a, std::string&) {
        int v = static_cast<int>(a[0]);
        return (c.*m)(v);
    };
}
Runner action(bool (C::*m)()) {
    return [m](C& c, const Ints&, std::string&) { return (c.*m)(); };
}
Runner boolGetter(bool (C::*m)(bool&)) {
    return [m](C& c, const Ints&, std::string& out) {
        bool v = false;
        bool ok = (c.*m)(v);
        out = v ? "1" : "0";
        return ok;
    };
}
Runner flagSetter(void (C::*m)(bool)) {
    return [m](C& c, const Ints& a, std::string&) {
        (c.*m)(a[0] != 0);
        return true;
    };
}

#define GET(name) \
    { #name, 0, "", getter(&C::name) }
#define SET(name) \
    { #name, 1, "VALUE", setter(&C::name) }
#define SETREF(name) \
    { #name, 1, "VALUE", setterRef(&C::name) }
#define ACT(name) \
    { #name, 0, "", action(&C::name) }

const NamedCall kCalls[] = {
    GET(getDNMode),
    SET(setDNMode),
    GET(getWDRSwitch),
    SETREF(setWDRSwitch),
    GET(getWDRStrength),
    SETREF(setWDRStrength),
    GET(getHLCSwitch),
    SETREF(setHLCSwitch),
    GET(getHLCStrength),
    SETREF(setHLCStrength),
    GET(getBLCSwitch),
    SETREF(setBLCSwitch),
    GET(getBLCStrength),
    SETREF(setBLCStrength),
    GET(getDefogSwitch),
    SETREF(setDefogSwitch),
    GET(getDefogStrength),
    SETREF(setDefogStrength),
    GET(get2DSwitch),
    SETREF(set2DSwitch),
    GET(get2DMode),
    SETREF(set2DMode),
    GET(get2DAutoMaxStrength),
    SETREF(set2DAutoMaxStrength),
    GET(get2DManualMaxStrength),
    SETREF(set2DManualMaxStrength),
    GET(get3DSwitch),
    SETREF(set3DSwitch),
    GET(get3DMode),
    SETREF(set3DMode),
    GET(get3DAutoMaxStrength),
    SETREF(set3DAutoMaxStrength),
    GET(get3DManualMaxStrength),
    SETREF(set3DManualMaxStrength),
    GET(getBeaway),
    SETREF(setBeaway),
    GET(getMirrorValue),
    SET(setMirrorMode),
    SET(setIRSwitch),
    SET(setWhiteSwitch),
    SET(setWhiteMode),
    SET(setLightType),
    GET(getShutterValue),
    SET(setShutterValue),
    ACT(shutterUp),
    ACT(shutterDown),
    ACT(focusFar),
    ACT(focusNear),
    ACT(irisUp),
    ACT(irisDown),
    ACT(zoomIn),
    ACT(zoomOut),
    SET(setZoomValue),
    {"getZoomValue", 0, "",
     [](C& c, const Ints&, std::string& out) {
         int position = 0, ratio = 0;
         bool ok = c.getZoomValue(position, ratio);
         out = std::to_string(position) + " " + std::to_string(ratio);
         return ok;
     }},
    SET(setPTZRunState),
    SET(setFocusValue),
    GET(getFocusValue),
    SET(setFocusMode),
    GET(getFocusMode),
    SET(setDNState),
    GET(getDNState),
    {"getAFStatistic", 0, "",
     [](C& c, const Ints&, std::string& out) {
         unsigned int v = 0;
         bool ok = c.getAFStatistic(v);
         out = std::to_string(v);
         return ok;
     }},
    GET(getWDR),
    SETREF(setExposureStrategy),
    GET(getIRSwitch),
    GET(getWhiteSwitch),
    GET(getWhiteMode),
    GET(getLightType),
    GET(getIrisValue),
    SET(setIrisValue),
    {"getHeatStatus", 0, "", boolGetter(&C::getHeatStatus)},
    {"getCameraVerInf", 0, "",
     [](C& c, const Ints&, std::string& out) { return c.getCameraVerInf(out); }},
    {"setShowWDRFalg", 1, "0|1", flagSetter(&C::setShowWDRFalg)},
    {"getShowWDRFalg", 0, "", boolGetter(&C::getShowWDRFalg)},
    {"setShowBeawayFalg", 1, "0|1", flagSetter(&C::setShowBeawayFalg)},
    {"getShowBeawayFalg", 0, "", boolGetter(&C::getShowBeawayFalg)},
    {"setZoomFocusLock", 1, "0|1",
     [](C& c, const Ints& a, std::string&) {
         SensorZoomFocusParam p;
         c.getSensorZoomFocusParam(p);
         p.setLockZoomFocusEnable(a[0] != 0);
         return c.setSensorZoomFocusParam(p) == 0;
     }},
    {"getZoomFocusLock", 0, "",
     [](C& c, const Ints&, std::string& out) {
         SensorZoomFocusParam p;
         bool ok = c.getSensorZoomFocusParam(p) == 0;
         out = p.getLockZoomFocusEnable() ? "1" : "0";
         return ok;
     }},
};

#undef GET
#undef SET
#undef SETREF
#undef ACT

}  // namespace

bool runNamedCall(Session& s, const Args& args) {
    for (const NamedCall& call : kCalls) {
        if (args[0] != call.name) {
            continue;
        }
        if (args.size() - 1 != call.argc) {
            s.error(std::string("expected: call ") + call.name + (call.argc ? " " : "") +
                    call.args);
            return false;
        }
        Ints values;
        for (size_t i = 1; i < args.size(); ++i) {
            long v = 0;
            if (!parseInt(args[i], v)) {
                s.error("expected a number, got '" + args[i] + "'");
                return false;
            }
            values.push_back(v);
        }
        std::string out;
        bool ok = call.run(s.controller(), values, out);
        s.resultBool(ok, out);
        return true;
    }
    s.error("unknown call '" + args[0] + "', see 'help'");
    return false;
}

void printNamedCalls() {
    std::string line = " ";
    for (const NamedCall& call : kCalls) {
        std::string item = std::string(" ") + call.name + (call.argc ? " " : "") + call.args;
        if (line.size() + item.size() > 96) {
            printResult(line);
            line = " ";
        }
        line += item;
    }
    printResult(line);
}
