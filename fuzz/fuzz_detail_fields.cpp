// Module detail texts: the field lookups, and initSysConf building the channel's configuration
// and merged style from a detail text (first line: a field name, the rest: the detail).
#include <string.h>

#include <string>

#include "FuzzSandbox.h"
#include "ModuleConfigure.h"
#include "SensorFile.h"
#include "sensor.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::setUpSandbox();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const int channel = input.byte() % 4;
    const std::string name = input.text('\n');
    const std::string detail = input.text('\0');
    u32 number = 0;
    getDetailFieldTou32(detail.c_str(), name.c_str(), &number);
    char value[10] = {0};
    getDetailFieldToStr(detail.c_str(), name.c_str(), value);
    if (value[9] != '\0') {
        __builtin_trap();  // at most nine characters
    }
    ModuleConfigure module;
    module.setDetail(detail);
    module.setParameters(name);
    SysConfig conf;
    initSysConf(channel, module, &conf);
    uinitSysConf(&conf);
    return 0;
}
