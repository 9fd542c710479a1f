// The parameter text "(key,value)...": any text parses within an array sized by its groups,
// and what it yields prints and parses back to the same records.
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "SensorKeyVal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<KeyVal> records(std::count(text.begin(), text.end(), ')') + 1);
    u32 count = 0;
    keyval_str2st(text, records.data(), &count);
    if (count > records.size()) {
        __builtin_trap();
    }
    std::string printed;
    keyval_st2str(printed, records.data(), count);
    std::vector<KeyVal> again(count + 1);
    u32 againCount = 0;
    keyval_str2st(printed, again.data(), &againCount);
    if (againCount != count ||
        (count > 0 && memcmp(again.data(), records.data(), count * sizeof(KeyVal)) != 0)) {
        __builtin_trap();
    }
    return 0;
}
