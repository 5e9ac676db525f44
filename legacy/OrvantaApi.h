/*
 * The four functions of the closed legacy-protocol library OrvantaDLL64 that drive older
 * light engines. The library is linked at load time and these are imported by name.
 * Only the result of ovInit is relied on; the other results are not examined.
 */
#ifndef PHOTARC_ORVANTA_API_H
#define PHOTARC_ORVANTA_API_H

#include <stdint.h>

#if defined(_WIN32)
#if defined(ORVANTA_BUILDING)
#define ORVANTA_API __declspec(dllexport)
#else
#define ORVANTA_API __declspec(dllimport)
#endif
#else
#define ORVANTA_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* A device opened by ovInit; NULL means none. */
typedef void* OvDeviceHandle;

/* Opens the device of the given model on zero-based serial port `port` (COM1 is 0).
 * Non-NULL on success, NULL when the port or the model is not accepted. */
ORVANTA_API OvDeviceHandle ovInit(int32_t port, const char* model);
/* Switches the channel of that colour ("VIOLET", ...) "ON" or "OFF". */
ORVANTA_API int32_t ovColorEnable(const char* color, const char* state);
/* Sets the channel of that colour to a level given as decimal text, "0" to "100". */
ORVANTA_API int32_t ovColorLevel(const char* color, const char* level);
/* Closes a device that ovInit opened. */
ORVANTA_API int32_t ovShutDown(OvDeviceHandle device);

#ifdef __cplusplus
}
#endif

#endif
