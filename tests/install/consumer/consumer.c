#include <photarc.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* With a TCP port as argument, also drives the simulator listening there on 127.0.0.1. */
static int driveSimulator(OrvHandle handle, const char* port) {
    char model[64];
    int32_t intensity = -1;
    if (orv_connectTCP(handle, "127.0.0.1", (uint16_t)atoi(port)) != 0) return 4;
    if (orv_getModel(handle, model, (int32_t)sizeof model) != 0 || model[0] == '\0') return 5;
    if (orv_setIntensity(handle, 0, 2) != 0 || orv_getIntensity(handle, 0, &intensity) != 0 || intensity != 2) return 6;
    if (orv_disconnect(handle) != 0) return 7;
    printf("consumer c drove %s\n", model);
    return 0;
}

int main(int argc, char** argv) {
    char version[16];
    OrvHandle handle = NULL;
    if (orv_getAPIVersion(version, (int32_t)sizeof version) != 0 || strcmp(version, "1.1.16") != 0) return 1;
    if (orv_createLightEngine(&handle) != 0) return 2;
    int32_t connected = -1;
    if (orv_getConnected(handle, &connected) != 0 || connected != 0) return 3;
    const int driven = argc > 1 ? driveSimulator(handle, argv[1]) : 0;
    orv_deleteLightEngine(handle);
    if (driven != 0) return driven;
    printf("consumer c ok %s\n", version);
    return 0;
}
