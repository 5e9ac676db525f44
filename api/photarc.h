/*
 * Photarc: control of multi-channel light engines.
 *
 * Every function returns an int32_t result: 0 on success, otherwise one of the PHOTARC_ codes
 * below. After a failure, orv_getLastErrorCode and orv_getLastErrorText give the handle's last
 * error (for device failures, the device's own error number and message).
 *
 * Conventions: flags going in mean true only when equal to 1; flags coming out are 1 or 0.
 * Text buffers are caller-owned; the size counts the terminating NUL and text is never
 * truncated. Arrays are caller-owned, except the power-reference array, which the library
 * allocates with malloc and the caller releases with free. No function keeps a pointer it
 * was given.
 */
#ifndef PHOTARC_H
#define PHOTARC_H

#include <stdint.h>

#if defined(_WIN32)
#if defined(PHOTARC_BUILDING)
#define PHOTARC_API __declspec(dllexport)
#else
#define PHOTARC_API __declspec(dllimport)
#endif
#else
#define PHOTARC_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* An opaque light-engine handle, created by a create function and released with
 * orv_deleteLightEngine. */
typedef void* OrvHandle;

#define PHOTARC_OK 0
#define PHOTARC_DEVICE_FAILURE 11001     /* operation failed: see the last error */
#define PHOTARC_CONNECTION_FAILURE 11004 /* connect or disconnect failed */
#define PHOTARC_TEXT_DOES_NOT_FIT 11005  /* orv_getAPIVersion / orv_getLastErrorText buffer too small */
#define PHOTARC_UNKNOWN_MODEL 11007      /* orv_createLegacyLightEngine: no such model number */
#define PHOTARC_UNKNOWN_DRIVER 11008     /* orv_getLegacy: neither legacy nor current driver */

/* ---- Handles, version, last error ------------------------------------------------------ */

/* Creates an unconnected engine for current (text-protocol) devices into *handle. 0; 11001 if
 * handle is NULL or memory runs out. The caller owns the handle. */
PHOTARC_API int32_t orv_createLightEngine(OrvHandle* handle);
/* Destroys any handle (closing its link). NULL is accepted. Always 0. */
PHOTARC_API int32_t orv_deleteLightEngine(OrvHandle handle);
/* Copies the library version ("1.1.16") into buffer of size bytes. 0, or 11005 if it does not fit. */
PHOTARC_API int32_t orv_getAPIVersion(char* buffer, int32_t size);
/* Stores the handle's last error code in *code. 0; 11001 for a NULL handle or pointer. */
PHOTARC_API int32_t orv_getLastErrorCode(OrvHandle handle, int32_t* code);
/* Copies the handle's last error text. 0; 11005 if it does not fit; 11001 for a NULL handle. */
PHOTARC_API int32_t orv_getLastErrorText(OrvHandle handle, char* buffer, int32_t size);
/* Clears the handle's last error (code 0, empty text). 0; 11001 for a NULL handle. */
PHOTARC_API int32_t orv_resetError(OrvHandle handle);

/* ---- Connection ------------------------------------------------------------------------- */

/* Opens a serial port ("COM3", or a device path on POSIX) at baudRate. 0 or 11004. */
PHOTARC_API int32_t orv_connectCOM(OrvHandle handle, const char* port, uint32_t baudRate);
/* Connects over TCP to a dotted IPv4 address and port. 0 or 11004. */
PHOTARC_API int32_t orv_connectTCP(OrvHandle handle, const char* address, uint16_t port);
/* Closes whatever link is open (nothing open is fine). 0 or 11004. */
PHOTARC_API int32_t orv_disconnect(OrvHandle handle);
/* Stores 1 in *connected when a link is open, else 0. 0; 11001 for NULL arguments. */
PHOTARC_API int32_t orv_getConnected(OrvHandle handle, int32_t* connected);
/* Sends "SHUTDOWN"; the reply is not examined. 0, or 11001 when the exchange itself fails. */
PHOTARC_API int32_t orv_shutDown(OrvHandle handle);
/* Sends "REBOOT"; the reply is not examined. 0, or 11001 when the exchange itself fails. */
PHOTARC_API int32_t orv_restart(OrvHandle handle);
/* Wakes the device. 0 or 11001. */
PHOTARC_API int32_t orv_wakeUp(OrvHandle handle);
/* Sends a raw protocol command and copies the whole reply into reply (size bytes). 0 or 11001. */
PHOTARC_API int32_t orv_executeCommand(OrvHandle handle, const char* command, char* reply, int32_t size);

/* ---- Identity and readings (texts copied into caller buffers; 0 or 11001) --------------- */

PHOTARC_API int32_t orv_getModel(OrvHandle handle, char* buffer, int32_t size);
PHOTARC_API int32_t orv_getSerialNumber(OrvHandle handle, char* buffer, int32_t size);
PHOTARC_API int32_t orv_getVersion(OrvHandle handle, char* buffer, int32_t size);
PHOTARC_API int32_t orv_getIP(OrvHandle handle, char* buffer, int32_t size);
PHOTARC_API int32_t orv_setIP(OrvHandle handle, const char* address);
PHOTARC_API int32_t orv_getTemperature(OrvHandle handle, double* temperature);
PHOTARC_API int32_t orv_getStatusCode(OrvHandle handle, int32_t* status);
PHOTARC_API int32_t orv_getMaximumIntensity(OrvHandle handle, int32_t* maximum);
PHOTARC_API int32_t orv_getNumberOfChannels(OrvHandle handle, int32_t* count);
/* Colour name of a channel (0-based). */
PHOTARC_API int32_t orv_getChannelName(OrvHandle handle, int32_t channel, char* buffer, int32_t size);
/* Channel index of a colour name (exact, case-sensitive). */
PHOTARC_API int32_t orv_getChannelIndex(OrvHandle handle, const char* name, int32_t* channel);

/* ---- Channels and intensities (0 or 11001) ---------------------------------------------- */

PHOTARC_API int32_t orv_setChannel(OrvHandle handle, int32_t channel, int32_t on);
PHOTARC_API int32_t orv_getChannel(OrvHandle handle, int32_t channel, int32_t* on);
/* on[i] switches channel i; count elements are passed (none when count <= 0). */
PHOTARC_API int32_t orv_setMultipleChannels(OrvHandle handle, const int32_t* on, int32_t count);
/* Writes at most count states (1/0) from the front of on; the rest is left untouched. */
PHOTARC_API int32_t orv_getMultipleChannels(OrvHandle handle, int32_t* on, int32_t count);
PHOTARC_API int32_t orv_setIntensity(OrvHandle handle, int32_t channel, int32_t intensity);
PHOTARC_API int32_t orv_getIntensity(OrvHandle handle, int32_t channel, int32_t* intensity);
/* intensities[i] for channel i; count elements are passed (none when count <= 0). */
PHOTARC_API int32_t orv_setMultipleIntensities(OrvHandle handle, const int32_t* intensities, int32_t count);
/* Writes at most count intensities from the front of intensities; the rest is left untouched. */
PHOTARC_API int32_t orv_getMultipleIntensities(OrvHandle handle, int32_t* intensities, int32_t count);

/* ---- Power and triggering (0 or 11001) -------------------------------------------------- */

PHOTARC_API int32_t orv_getPowerLock(OrvHandle handle, int32_t* locked);
PHOTARC_API int32_t orv_setPowerLock(OrvHandle handle, int32_t lock);
PHOTARC_API int32_t orv_getChannelPowerCount(OrvHandle handle, int32_t channel, int32_t* counts);
PHOTARC_API int32_t orv_getChannelPowerMW(OrvHandle handle, int32_t channel, double* milliwatts);
PHOTARC_API int32_t orv_setPowerReference(OrvHandle handle, const int32_t* reference, int32_t count);
/* Allocates *reference with malloc (caller frees with free) and stores its length in *count. */
PHOTARC_API int32_t orv_getPowerReference(OrvHandle handle, int32_t** reference, int32_t* count);
PHOTARC_API int32_t orv_getSupplyPowerW(OrvHandle handle, double* watts);
PHOTARC_API int32_t orv_setTTLEnable(OrvHandle handle, int32_t enable);
PHOTARC_API int32_t orv_getTTLEnable(OrvHandle handle, int32_t* enabled);
/* 1 = positive (active high), any other value = negative. */
PHOTARC_API int32_t orv_setTTLPolarity(OrvHandle handle, int32_t positive);
PHOTARC_API int32_t orv_getTTLPolarity(OrvHandle handle, int32_t* positive);

/* ---- Older devices ---------------------------------------------------------------------- */

/* Creates an engine for legacy model number 1..10 (10 = TOVRA3). 0; 11007 for an unknown number
 * (nothing created); 11001 if handle is NULL. */
PHOTARC_API int32_t orv_createLegacyLightEngine(OrvHandle* handle, int32_t model);
/* Creates an engine for a model name ("TOVRA3" or a legacy model; checked at connect). 0;
 * 11001 if a pointer is NULL. */
PHOTARC_API int32_t orv_createLegacyLightEngineByName(OrvHandle* handle, const char* model);
/* Stores 1 for a legacy engine, 0 for a current-device engine; 11008 for a TOVRA3 engine. */
PHOTARC_API int32_t orv_getLegacy(OrvHandle handle, int32_t* legacy);

/* ---- Scripts ---------------------------------------------------------------------------- */

/* Runs a ChaiScript file against the handle's engine, or, with a NULL handle, lets the script
 * construct its own "Gen3LightEngine" (failures are then printed on standard output).
 * 0, or 11001 with the failure as the handle's last error. */
PHOTARC_API int32_t orv_executeScript(OrvHandle handle, const char* scriptPath);

#ifdef __cplusplus
}
#endif

#endif /* PHOTARC_H */
