"""Finding and loading the Photarc library, and the prototypes of its exports."""

from __future__ import annotations

import ctypes
import os
import sys
import warnings
from pathlib import Path
from typing import Callable, List, Optional, Tuple

#: The library's file name as the system loader knows it.
LIBRARY_FILE_NAME = "Photarc.dll" if sys.platform == "win32" else "libPhotarc.so.1"

_PACKAGE_DIR = Path(__file__).resolve().parent
# Written by `cmake --install`: the path of the prefix's library, relative to this directory.
_INSTALLED_LOCATION_FILE = _PACKAGE_DIR / "installed-library.txt"

# Result codes of the exports.
SUCCESS = 0
DEVICE_FAILURE = 11001
CONNECTION_FAILURE = 11004
TEXT_DOES_NOT_FIT = 11005
UNKNOWN_MODEL = 11007
UNKNOWN_DRIVER = 11008

_handle = ctypes.c_void_p
_i32 = ctypes.c_int32
_i32_out = ctypes.POINTER(ctypes.c_int32)
_double_out = ctypes.POINTER(ctypes.c_double)
_text_in = ctypes.c_char_p
_text_out = ctypes.POINTER(ctypes.c_char)

# Argument types of every export, in the header's order; each returns an int32_t result.
_PROTOTYPES = {
    "orv_createLightEngine": (ctypes.POINTER(_handle),),
    "orv_deleteLightEngine": (_handle,),
    "orv_getAPIVersion": (_text_out, _i32),
    "orv_getLastErrorCode": (_handle, _i32_out),
    "orv_getLastErrorText": (_handle, _text_out, _i32),
    "orv_resetError": (_handle,),
    "orv_connectCOM": (_handle, _text_in, ctypes.c_uint32),
    "orv_connectTCP": (_handle, _text_in, ctypes.c_uint16),
    "orv_disconnect": (_handle,),
    "orv_getConnected": (_handle, _i32_out),
    "orv_shutDown": (_handle,),
    "orv_restart": (_handle,),
    "orv_wakeUp": (_handle,),
    "orv_executeCommand": (_handle, _text_in, _text_out, _i32),
    "orv_getModel": (_handle, _text_out, _i32),
    "orv_getSerialNumber": (_handle, _text_out, _i32),
    "orv_getVersion": (_handle, _text_out, _i32),
    "orv_getIP": (_handle, _text_out, _i32),
    "orv_setIP": (_handle, _text_in),
    "orv_getTemperature": (_handle, _double_out),
    "orv_getStatusCode": (_handle, _i32_out),
    "orv_getMaximumIntensity": (_handle, _i32_out),
    "orv_getNumberOfChannels": (_handle, _i32_out),
    "orv_getChannelName": (_handle, _i32, _text_out, _i32),
    "orv_getChannelIndex": (_handle, _text_in, _i32_out),
    "orv_setChannel": (_handle, _i32, _i32),
    "orv_getChannel": (_handle, _i32, _i32_out),
    "orv_setMultipleChannels": (_handle, _i32_out, _i32),
    "orv_getMultipleChannels": (_handle, _i32_out, _i32),
    "orv_setIntensity": (_handle, _i32, _i32),
    "orv_getIntensity": (_handle, _i32, _i32_out),
    "orv_setMultipleIntensities": (_handle, _i32_out, _i32),
    "orv_getMultipleIntensities": (_handle, _i32_out, _i32),
    "orv_getPowerLock": (_handle, _i32_out),
    "orv_setPowerLock": (_handle, _i32),
    "orv_getChannelPowerCount": (_handle, _i32, _i32_out),
    "orv_getChannelPowerMW": (_handle, _i32, _double_out),
    "orv_setPowerReference": (_handle, _i32_out, _i32),
    "orv_getPowerReference": (_handle, ctypes.POINTER(_i32_out), _i32_out),
    "orv_getSupplyPowerW": (_handle, _double_out),
    "orv_setTTLEnable": (_handle, _i32),
    "orv_getTTLEnable": (_handle, _i32_out),
    "orv_setTTLPolarity": (_handle, _i32),
    "orv_getTTLPolarity": (_handle, _i32_out),
    "orv_createLegacyLightEngine": (ctypes.POINTER(_handle), _i32),
    "orv_createLegacyLightEngineByName": (ctypes.POINTER(_handle), _text_in),
    "orv_getLegacy": (_handle, _i32_out),
    "orv_executeScript": (_handle, _text_in),
}


def _installed_location() -> Optional[Path]:
    """The prefix's library recorded at installation, when the package was installed that way."""
    try:
        relative = _INSTALLED_LOCATION_FILE.read_text(encoding="utf-8").strip()
    except OSError:
        return None
    return (_PACKAGE_DIR / relative) if relative else None


def _candidates() -> List[Tuple[str, str]]:
    """The places to load the library from, in order, each with how to name it in a message."""
    places: List[Tuple[str, str]] = []
    from_environment = os.environ.get("PHOTARC_LIBRARY")
    if from_environment:
        places.append((from_environment, f"PHOTARC_LIBRARY={from_environment}"))
    beside = [_PACKAGE_DIR / LIBRARY_FILE_NAME]
    installed = _installed_location()
    if installed is not None:
        beside.append(installed)
    for path in beside:
        places.append((str(path), f"{path} (beside the package)"))
    places.append((LIBRARY_FILE_NAME, f"{LIBRARY_FILE_NAME} (system loader)"))
    return places


def _load() -> Tuple[ctypes.CDLL, str]:
    failures: List[str] = []
    for target, description in _candidates():
        if os.path.dirname(target) and not os.path.exists(target):
            failures.append(f"{description}: no such file")
            continue
        try:
            library = ctypes.CDLL(target)
        except OSError as error:
            failures.append(f"{description}: {error}")
            continue
        missing = [name for name in _PROTOTYPES if not hasattr(library, name)]
        if missing:
            # Some other library by that name or path: as good as none.
            failures.append(f"{description}: not the Photarc library (it lacks {missing[0]})")
            continue
        if failures and os.environ.get("PHOTARC_LIBRARY"):
            # An explicit choice that failed deserves a word even when a later place worked.
            warnings.warn(f"photarc: using {target}; tried first: " + "; ".join(failures), RuntimeWarning, stacklevel=3)
        return library, target
    raise ImportError("photarc: the Photarc library could not be loaded; tried:\n  " + "\n  ".join(failures))


def _declare(library: ctypes.CDLL) -> None:
    for name, argument_types in _PROTOTYPES.items():
        function = getattr(library, name)
        function.argtypes = argument_types
        function.restype = _i32


def _c_free() -> Callable[[ctypes.c_void_p], None]:
    """The C runtime's `free`, for the one array the library allocates for its caller."""
    if sys.platform == "win32":
        runtime = ctypes.CDLL("msvcrt")
    else:
        runtime = ctypes.CDLL(None)
    free = runtime.free
    free.argtypes = (ctypes.c_void_p,)
    free.restype = None
    return free


lib, library_path = _load()
_declare(lib)
free = _c_free()
