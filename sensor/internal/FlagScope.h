// Sets bits of the controller's flag word for one scope and clears them when the scope ends,
// also when an exception from the host unwinds it, so that no busy bit outlives its operation.
#ifndef FLAG_SCOPE_H
#define FLAG_SCOPE_H

#include <atomic>

#include "SensorKeyVal.h"

class FlagScope {
public:
    FlagScope(std::atomic<u32>& p_rFlags, u32 p_nBits) : m_rFlags(p_rFlags), m_nBits(p_nBits) {
        m_rFlags.fetch_or(m_nBits);
    }
    ~FlagScope() { m_rFlags.fetch_and(~m_nBits); }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    std::atomic<u32>& m_rFlags;
    const u32 m_nBits;
};

#endif
