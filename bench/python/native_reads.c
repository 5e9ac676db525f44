/* The C side of the Python benchmark: intensity reads straight through the library, in a loop
 * that never returns to Python. */
#include "api/photarc.h"

/* Reads `channel`'s intensity `count` times on `handle`: 0, or the first failing result. */
__attribute__((visibility("default"))) int32_t bench_read_intensities(OrvHandle handle, int32_t channel,
                                                                     int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        int32_t intensity = 0;
        const int32_t result = orv_getIntensity(handle, channel, &intensity);
        if (result != PHOTARC_OK) return result;
    }
    return PHOTARC_OK;
}
