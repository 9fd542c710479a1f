#include "DeviceCommands.h"
void cmdPage(Session& s, const Args&) {
    s.error("todo");
}
