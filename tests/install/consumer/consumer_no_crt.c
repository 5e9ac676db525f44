/* A host linked by a Microsoft-style linker against Photarc.lib, without any C runtime: the
 * import library alone has to bind the calls to Photarc.dll. Exit status 0 when they work. */
#include <photarc.h>

__declspec(dllimport) void __stdcall ExitProcess(unsigned int code);

void start(void) {
    char version[16];
    OrvHandle handle = 0;
    int32_t connected = -1;
    unsigned int failed = 1;
    if (orv_getAPIVersion(version, (int32_t)sizeof version) == 0 && version[0] == '1' &&
        orv_createLightEngine(&handle) == 0) {
        failed = orv_getConnected(handle, &connected) != 0 || connected != 0;
        orv_deleteLightEngine(handle);
    }
    ExitProcess(failed);
}
