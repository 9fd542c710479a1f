// The style merge: a base style, a diversity document and a module detail text, separated by
// NUL bytes in the input.
#include <stdlib.h>
#include <string.h>

#include <string>

#include "FuzzSandbox.h"
#include "SensorFile.h"
#include "SensorXmlText.h"
#include "sensor.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::setUpSandbox();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const std::string base = input.text('\0');
    const std::string diversity = input.text('\0');
    const std::string detail = input.text('\0');
    ModuleConfig module;
    memset(&module, 0, sizeof(module));
    strncpy(module.szDetail, detail.c_str(), sizeof(module.szDetail) - 1);
    char* style = allocStyleText(static_cast<INT64>(base.size()));
    memcpy(style, base.data(), base.size());
    char* div = allocStyleText(static_cast<INT64>(diversity.size()));
    memcpy(div, diversity.data(), diversity.size());
    mergeStyle(1, &module, &style, div);
    free(div);
    free(style);
    return 0;
}
