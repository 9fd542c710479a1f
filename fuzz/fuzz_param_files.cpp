// Reading the parameter files and the version stamp: any file content, any record count.
// The same file is then read by a channel, as a boot (init loads every scheme's file by key,
// rewrites a file of another layout, keeps a damaged one as ".bad") or as a reload of the
// current scheme and the saved-scheme view of getAllParameters. Input: a selector byte (bit 0:
// boot), a record count byte, the file's length (2 bytes, big-endian) and bytes, the stamp's
// bytes.
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "ControllerSeam.h"
#include "FuzzSandbox.h"
#include "GThread.h"
#include "IaSim.h"
#include "ISensorController.h"
#include "SensorFile.h"
#include "SensorPaths.h"
#include "SimVideoModule.h"

namespace {

const std::string kParamFile = SensorPaths::paramFilePath(1, 0);
const char* const kStampFile = SensorPaths::kStampPath;

// One channel for the whole run: inited once, its thread stopped so that only the input
// drives it. The stamp it wrote is kept, so that later boots load the files instead of
// removing them for a version mismatch.
struct Channel {
    SimVideoModule video;
    ISensorController ctl;
    SensorControllerTestSeam seam{ctl};
    std::string stamp;

    void boot() {
        ModuleConfigure module;
        module.setDetail("(isInfrared=1)(lens=motor)(max_scheme=4)");
        ctl.init(module);
        seam.thread()->stop();
    }
};

Channel& channel() {
    static std::unique_ptr<Channel> s_channel;
    if (!s_channel) {
        s_channel = std::make_unique<Channel>();
        s_channel->ctl.setVideoStreamModule(&s_channel->video);
        s_channel->boot();
        u32 version = 0;
        getVersion(&version);
        s_channel->stamp.assign(reinterpret_cast<const char*>(&version), sizeof(version));
    }
    return *s_channel;
}

// The next `count` bytes of the input (fewer at its end).
std::string takeBytes(fuzz::Input& input, size_t count) {
    std::string out;
    while (out.size() < count && !input.empty()) {
        out.push_back(static_cast<char>(input.byte()));
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::setUpSandbox();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Channel& chan = channel();
    fuzz::Input input(data, size);
    const bool boot = (input.byte() & 1) != 0;
    const u32 wanted = input.byte();
    const size_t fileLength = static_cast<size_t>(input.byte()) << 8 | input.byte();
    const std::string bytes = takeBytes(input, fileLength);
    std::vector<char> name(kParamFile.c_str(), kParamFile.c_str() + kParamFile.size() + 1);
    char* const file = name.data();
    fuzz::writeFile(file, bytes);
    fuzz::writeFile(kStampFile, takeBytes(input, 8));

    std::vector<KeyVal> records(wanted + 1);
    keyValFromFile(file, records.data(), wanted);
    u32 version = 0;
    getVersion(&version);
    const INT64 length = getFileLen(file);
    std::vector<char> buffer(length > 0 ? static_cast<size_t>(length) : 1);
    loadFromFile(file, buffer.data(), length > 0 ? length : 0);

    // The channel reads the same file under its own, current stamp.
    fuzz::writeFile(kStampFile, chan.stamp);
    fuzz::writeFile(file, bytes);
    if (boot) {
        iasim::reset();
        chan.boot();
    } else {
        chan.ctl.resetToLastParameters();
    }
    std::string all;
    chan.ctl.getAllParameters(all);
    return 0;
}
