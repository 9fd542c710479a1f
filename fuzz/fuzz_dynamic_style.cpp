// The dynamic style and the factory records: the processor's command list and ranges come
// from the input (raw records, any counts), followed by the style text; the records are then
// corrected against the same ranges.
#include <string.h>

#include <string>

#include "FuzzSandbox.h"
#include "ISensorController.h"
#include "IaSim.h"
#include "SensorFile.h"

namespace {

template <typename Record>
Record rawRecord(fuzz::Input& input) {
    Record record;
    unsigned char* bytes = reinterpret_cast<unsigned char*>(&record);
    for (size_t i = 0; i < sizeof(record); ++i) {
        bytes[i] = input.byte();
    }
    return record;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::setUpSandbox();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    iasim::reset();
    fuzz::Input input(data, size);
    const uint8_t flags = input.byte();
    const ia_dynamic_cmds_st list = rawRecord<ia_dynamic_cmds_st>(input);
    iasim::setDynamicCmdsRaw(0, list);
    for (int i = 0; i < (flags & 3); ++i) {
        const int cmd = list.cmd_list[i];
        iasim::setRange(0, cmd, rawRecord<ia_dynamic_params_attr_st>(input));
    }
    setshowBeawayFalg((flags & 8) != 0);
    std::string style = input.text('\0');
    std::string out;
    getDnaStyle(1, style.c_str(), out, (flags & 4) != 0);
    KeyVal records[160];
    u32 count = 0;
    getFctData(1, &style[0], records, &count, (flags & 4) != 0);
    if (count > 160) {
        __builtin_trap();
    }
    keyval_correct(0, records, count);
    return 0;
}
