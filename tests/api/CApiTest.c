/* The public header is plain C: a C11 translation unit includes it and calls a few exports
 * through the shared library. Prints one closing line that ctest parses. */
#include <stdio.h>
#include <string.h>

#include "photarc.h"

static int failures = 0;
#define CHECK(cond)                                               \
    do {                                                          \
        if (!(cond)) {                                            \
            printf("FAILED: %s (line %d)\n", #cond, __LINE__);   \
            ++failures;                                           \
        }                                                         \
    } while (0)

int main(void) {
    char version[16];
    CHECK(orv_getAPIVersion(version, (int32_t)sizeof version) == PHOTARC_OK);
    CHECK(strcmp(version, "1.1.16") == 0);

    OrvHandle handle = NULL;
    CHECK(orv_createLightEngine(&handle) == PHOTARC_OK);
    CHECK(handle != NULL);

    int32_t connected = -1;
    CHECK(orv_getConnected(handle, &connected) == PHOTARC_OK);
    CHECK(connected == 0);

    int32_t channels = -1;
    CHECK(orv_getNumberOfChannels(handle, &channels) == PHOTARC_DEVICE_FAILURE);
    CHECK(channels == -1);
    int32_t code = 0;
    char text[64];
    CHECK(orv_getLastErrorCode(handle, &code) == PHOTARC_OK);
    CHECK(code == -1);
    CHECK(orv_getLastErrorText(handle, text, (int32_t)sizeof text) == PHOTARC_OK);
    CHECK(strcmp(text, "Not connected") == 0);
    CHECK(orv_resetError(handle) == PHOTARC_OK);
    CHECK(orv_deleteLightEngine(handle) == PHOTARC_OK);

    printf("%d passed, %d failed\n", failures == 0 ? 1 : 0, failures == 0 ? 0 : 1);
    return failures == 0 ? 0 : 1;
}
