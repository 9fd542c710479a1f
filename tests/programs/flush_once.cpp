// Initialises channel 1 in the sandbox root of $SENSOR_ROOT, writes "flush" on standard
// error, changes brightness and flushes once. A system-call trace of this program shows the
// calls of one flush after the marker. Exits with the flush result.
#include <unistd.h>

#include <cstdio>

#include "ISensorController.h"
#include "SimVideoModule.h"

int main() {
    SimVideoModule video;
    ISensorController controller;
    controller.setChannelID(1);
    controller.setVideoStreamModule(&video);
    ModuleConfigure module;
    module.setDetail("(isInfrared=1)(lens=motor)(max_scheme=4)");
    controller.init(module);
    controller.setParameter(34, 61, true);
    static const char kMarker[] = "flush\n";
    if (::write(2, kMarker, sizeof(kMarker) - 1) < 0) {
        return 2;
    }
    const int result = controller.flush();
    controller.uinit();
    return result;
}
