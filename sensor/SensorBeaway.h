// Whether the UI offers the Beaway function: one flag for the whole process, shared by every
// controller and by the style functions. Included by ISensorController.h.
#ifndef SENSOR_BEAWAY_H
#define SENSOR_BEAWAY_H

#include "TarnisApi.h"

// The flag itself, initially true. Read and written by any thread without a lock; the two
// functions below load and store it atomically and are the way to reach it.
extern TARNIS_API bool g_bShoWBeawayFalg;
// Sets the flag. Any thread; takes no lock.
TARNIS_API void setshowBeawayFalg(bool value);
// The flag's current value. Any thread; takes no lock.
TARNIS_API bool getshowBeawayFalg();

#endif
