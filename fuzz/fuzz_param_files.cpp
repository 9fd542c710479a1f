// Reading the parameter files and the version stamp: any file content, any record count.
#include <string.h>

#include <string>
#include <vector>

#include "FuzzSandbox.h"
#include "SensorFile.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::setUpSandbox();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const u32 wanted = input.byte();
    const std::string bytes = input.text('\0');
    char file[] = "/mnt/mtd/code/config_file/sensor0.cfg";
    fuzz::writeFile(file, bytes);
    fuzz::writeFile("/mnt/mtd/code/config_file/ovsversion.cfg", input.text('\0'));

    std::vector<KeyVal> records(wanted + 1);
    keyValFromFile(file, records.data(), wanted);
    u32 version = 0;
    getVersion(&version);
    const INT64 length = getFileLen(file);
    std::vector<char> buffer(length > 0 ? static_cast<size_t>(length) : 1);
    loadFromFile(file, buffer.data(), length > 0 ? length : 0);
    return 0;
}
