// What the stand-ins offer tests beyond the host framework's own operations. The library
// never calls these; a camera's framework does not have them.
#ifndef HOST_INSPECT_H
#define HOST_INSPECT_H

namespace hostfw {
// Number of reference counters handed out by RefCountManager and not yet handed back.
int liveRefCounters();
}  // namespace hostfw

#endif
