/*
 * Observation of our simulated OrvantaDLL64, for tests only: the record of every call the
 * four closed-library functions received. Not part of the closed library's interface.
 *
 * Each call is recorded as one line of text, in the order of arrival:
 *   ovInit(2, "VEXOR7") = 3        the result is the handle (0 when refused)
 *   ovColorEnable("CYAN", "ON")
 *   ovColorLevel("CYAN", "100")
 *   ovShutDown(3)
 */
#ifndef PHOTARC_ORVANTA_TEST_HOOKS_H
#define PHOTARC_ORVANTA_TEST_HOOKS_H

#include "legacy/OrvantaApi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Number of calls recorded since the last reset. */
ORVANTA_API int32_t ovsimCallCount(void);
/* Copies call `index` (0 first) and a NUL into buffer. Its length, or -1 when there is no such
 * call or it does not fit. */
ORVANTA_API int32_t ovsimCall(int32_t index, char* buffer, int32_t size);
/* Forgets the record and closes every simulated device, freeing all ports. */
ORVANTA_API void ovsimReset(void);

#ifdef __cplusplus
}

#include <string>
#include <vector>

namespace ovsim {

// The whole record, oldest call first.
inline std::vector<std::string> calls() {
    std::vector<std::string> lines;
    char line[256];
    for (int32_t i = 0; i < ovsimCallCount(); ++i)
        lines.push_back(ovsimCall(i, line, sizeof line) < 0 ? "(unreadable call)" : line);
    return lines;
}

}  // namespace ovsim
#endif

#endif
