// Placeholder: the simulator unit replaces this file.
#include "IaSim.h"

extern "C" int ia_ioctrl_v2(int, ia_cmd_e, ia_cmd_opt_e, void*) { return 0; }

namespace iasim {
void reset() {}
}  // namespace iasim
