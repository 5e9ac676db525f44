#include <photarc.h>
#include <stdio.h>
#include <string.h>

int main(void) {
    char version[16];
    OrvHandle handle = NULL;
    if (orv_getAPIVersion(version, (int32_t)sizeof version) != 0 || strcmp(version, "1.1.16") != 0) return 1;
    if (orv_createLightEngine(&handle) != 0) return 2;
    int32_t connected = -1;
    if (orv_getConnected(handle, &connected) != 0 || connected != 0) return 3;
    orv_deleteLightEngine(handle);
    printf("consumer c ok %s\n", version);
    return 0;
}
