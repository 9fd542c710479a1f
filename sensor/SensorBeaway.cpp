// The process-wide Beaway flag.
#include "SensorBeaway.h"

// Shared by every controller of the process and read by their sensor threads; the
// accessors load and store it atomically, so no caller sees a raced value.
bool g_bShoWBeawayFalg = true;

void setshowBeawayFalg(bool value) {
    __atomic_store_n(&g_bShoWBeawayFalg, value, __ATOMIC_RELAXED);
}

bool getshowBeawayFalg() {
    return __atomic_load_n(&g_bShoWBeawayFalg, __ATOMIC_RELAXED);
}
