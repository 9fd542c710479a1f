// The device-data commands of sensorctl: for the people who write the style and diversity
// documents of each camera model.
#ifndef SENSORCTL_DEVICE_COMMANDS_H
#define SENSORCTL_DEVICE_COMMANDS_H

#include "Session.h"

// check [--device DIR]: every document of the device data, reported like a compiler
// ("file:line:col: error: ..."); an error of the command when any error was found.
void cmdCheckDeviceData(Session& s, const Args& a);
// explain: each diversity rule for the current model, its outcome and what it changed.
void cmdExplain(Session& s, const Args& a);
// page [--out FILE] [--scheme N]: the current dynamic style as one self-contained HTML page.
void cmdPage(Session& s, const Args& a);

#endif
