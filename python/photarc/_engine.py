"""LightEngine: one handle of the library, safe to share between threads."""

from __future__ import annotations

import ctypes
import os
from typing import Any, Callable, List, Optional, Tuple, Union

from . import _checks
from . import _library as L
from ._channel import Channel
from ._errors import failure
from ._handle import CLOSED, Handle
from ._text import REPLY_SIZE

_lib = L.lib

DEFAULT_PORT = 8095
DEFAULT_BAUD = 115200
LEGACY_DEFAULT_BAUD = 9600
MAX_CHANNELS = 1024


def _create(export: Callable[..., int], *arguments: Any) -> int:
    handle = ctypes.c_void_p()
    result = export(ctypes.byref(handle), *arguments)
    if result:
        unknown = result == L.UNKNOWN_MODEL
        detail = f"unknown legacy model number {arguments[0]}" if unknown else "no engine was created"
        raise failure(export.__name__, result, result, detail)
    assert handle.value is not None
    return handle.value


def is_serial_address(address: str) -> bool:
    """Serial ports are "COM..." names or device paths; anything else is a TCP host."""
    return address.startswith(("COM", "/"))


class LightEngine:
    """A light engine reached through the library.

    ``LightEngine()`` makes an unconnected engine for current devices; :meth:`legacy` makes one
    for older devices. Properties read the device on every access. One engine may be used from
    several threads: each library call and the reading of its failure happen under the engine's
    lock, so an exception always carries the failure of its own call. :meth:`close` (or leaving a
    ``with`` block, or garbage collection) releases the handle; any use afterwards raises
    ``ValueError``. At interpreter exit a handle that another thread is using is left to the
    operating system rather than waited for.
    """

    def __init__(self) -> None:
        self._adopt(_create(_lib.orv_createLightEngine), DEFAULT_BAUD)

    @classmethod
    def legacy(cls, model: Union[int, str]) -> "LightEngine":
        """An unconnected engine for an older device, by model number or model name ("TOVRA3", ...).

        An unknown number raises :class:`PhotarcError` with result 11007; an unknown name is
        refused only when the engine connects.
        """
        if isinstance(model, str):
            handle = _create(_lib.orv_createLegacyLightEngineByName, _checks.text(model, "model"))
        else:
            handle = _create(_lib.orv_createLegacyLightEngine, _checks.integer(model, "model"))
        engine = cls.__new__(cls)
        engine._adopt(handle, LEGACY_DEFAULT_BAUD)
        return engine

    def _adopt(self, handle: int, default_baud: int) -> None:
        # Shared with every Channel made from this engine.
        self._handle = Handle(handle)
        self._default_baud = default_baud

    # ---- life cycle ----------------------------------------------------------------------

    def close(self) -> None:
        """Deletes the handle, closing any link, once a call in progress has ended; closing again does nothing."""
        self._handle.close()

    @property
    def closed(self) -> bool:
        """True once :meth:`close` has run."""
        return self._handle.value is None

    def __enter__(self) -> "LightEngine":
        if self.closed:
            raise ValueError(CLOSED)
        return self

    def __exit__(self, *exception: object) -> None:
        self.close()

    def __repr__(self) -> str:
        value = self._handle.value
        state = "closed" if value is None else f"handle 0x{value:x}"
        return f"<photarc.LightEngine {state}>"

    # ---- arrays of one value per channel -------------------------------------------------

    def _per_channel(self, values: List[int], what: str) -> "ctypes.Array[ctypes.c_int32]":
        count = self.channel_count
        if len(values) != count:
            raise ValueError(f"{what} needs one value per channel ({count}), not {len(values)}")
        return (ctypes.c_int32 * count)(*values)

    def _channel_array(self, export: Callable[..., int]) -> List[int]:
        count = self.channel_count
        values = (ctypes.c_int32 * count)()
        self._handle.call(export, values, count)
        return list(values)

    # ---- connection ----------------------------------------------------------------------

    def connect(self, address: str, port: int = DEFAULT_PORT, baud: Optional[int] = None) -> None:
        """Connects to a device: a serial port ("COM3", "/dev/ttyUSB0") at `baud`, else a TCP host at `port`.

        `baud` defaults to 115200, or 9600 for an engine made by :meth:`legacy`. Raises
        :class:`LinkError` when the link cannot be opened.
        """
        encoded = _checks.text(address, "address")
        checked_port = _checks.integer(port, "port", 0, _checks.UINT16_MAX)
        checked_baud = self._default_baud if baud is None else _checks.integer(baud, "baud", 0, _checks.UINT32_MAX)
        if is_serial_address(address):
            self._handle.call(_lib.orv_connectCOM, encoded, checked_baud)
        else:
            self._handle.call(_lib.orv_connectTCP, encoded, checked_port)

    def disconnect(self) -> None:
        """Closes the link (nothing open is fine)."""
        self._handle.call(_lib.orv_disconnect)

    @property
    def connected(self) -> bool:
        """True while a link is open."""
        return self._handle.read_flag(_lib.orv_getConnected)

    @property
    def is_legacy(self) -> bool:
        """True for an engine made by :meth:`legacy` (older devices, TOVRA3 included)."""
        value = ctypes.c_int32()
        result = self._handle.result(_lib.orv_getLegacy, ctypes.byref(value))
        if result == L.UNKNOWN_DRIVER:  # a TOVRA3 engine: neither of the two kinds the library names
            return True
        if result:
            raise failure("orv_getLegacy", result, result, "the engine's kind is unknown")
        return value.value == 1

    # ---- identity and readings -----------------------------------------------------------

    @property
    def model(self) -> str:
        """The device's model name."""
        return self._handle.read_text(_lib.orv_getModel)

    @property
    def serial_number(self) -> str:
        """The device's serial number."""
        return self._handle.read_text(_lib.orv_getSerialNumber)

    @property
    def firmware_version(self) -> str:
        """The device's firmware version."""
        return self._handle.read_text(_lib.orv_getVersion)

    @property
    def ip(self) -> str:
        """The device's IPv4 address (settable)."""
        return self._handle.read_text(_lib.orv_getIP)

    @ip.setter
    def ip(self, address: str) -> None:
        self._handle.call(_lib.orv_setIP, _checks.text(address, "ip"))

    @property
    def temperature(self) -> float:
        """The device's temperature."""
        return self._handle.read_float(_lib.orv_getTemperature)

    @property
    def status_code(self) -> int:
        """The device's status code."""
        return self._handle.read_int(_lib.orv_getStatusCode)

    @property
    def max_intensity(self) -> int:
        """The largest intensity a channel accepts."""
        return self._handle.read_int(_lib.orv_getMaximumIntensity)

    @property
    def channel_count(self) -> int:
        """The number of channels; a device's count below 0 or above 1024 raises :class:`DeviceError`."""
        count = self._handle.read_int(_lib.orv_getNumberOfChannels)
        if not 0 <= count <= MAX_CHANNELS:  # lists are sized from it
            raise failure("orv_getNumberOfChannels", L.DEVICE_FAILURE, -1,
                          f"Channel count out of range (0 to {MAX_CHANNELS}): {count}")
        return count

    @property
    def channel_names(self) -> List[str]:
        """The channels' colour names, by index."""
        return [self._handle.read_text(_lib.orv_getChannelName, index) for index in range(self.channel_count)]

    @property
    def supply_power_w(self) -> float:
        """The power drawn from the supply, in watts."""
        return self._handle.read_float(_lib.orv_getSupplyPowerW)

    # ---- channels ------------------------------------------------------------------------

    def channel(self, name_or_index: Union[str, int]) -> Channel:
        """The channel with this colour name (exact, case-sensitive) or index (from 0).

        An unknown name or index raises :class:`DeviceError`.
        """
        if isinstance(name_or_index, str):
            name = name_or_index
            index = self._handle.read_int(_lib.orv_getChannelIndex, _checks.text(name, "channel name"))
        else:
            index = _checks.integer(name_or_index, "channel")
            name = self._handle.read_text(_lib.orv_getChannelName, index)
        return Channel(self, index, name)

    @property
    def channels(self) -> List[Channel]:
        """Every channel, by index."""
        return [Channel(self, index, name) for index, name in enumerate(self.channel_names)]

    @property
    def intensities(self) -> List[int]:
        """Every channel's intensity, by index (settable with one value per channel)."""
        return self._channel_array(_lib.orv_getMultipleIntensities)

    @intensities.setter
    def intensities(self, values: List[int]) -> None:
        array = self._per_channel(_checks.integer_list(values, "intensities"), "intensities")
        self._handle.call(_lib.orv_setMultipleIntensities, array, len(array))

    @property
    def states(self) -> List[bool]:
        """Every channel's on/off state, by index (settable with one value per channel)."""
        return [value == 1 for value in self._channel_array(_lib.orv_getMultipleChannels)]

    @states.setter
    def states(self, values: List[bool]) -> None:
        array = self._per_channel(_checks.flag_list(values, "states"), "states")
        self._handle.call(_lib.orv_setMultipleChannels, array, len(array))

    # ---- power and triggering ------------------------------------------------------------

    @property
    def power_lock(self) -> bool:
        """Whether the power lock is on (settable)."""
        return self._handle.read_flag(_lib.orv_getPowerLock)

    @power_lock.setter
    def power_lock(self, locked: bool) -> None:
        self._handle.call(_lib.orv_setPowerLock, _checks.flag(locked, "power_lock"))

    @property
    def power_reference(self) -> List[int]:
        """The power reference values (settable)."""
        pointer = ctypes.POINTER(ctypes.c_int32)()
        count = ctypes.c_int32()
        self._handle.call(_lib.orv_getPowerReference, ctypes.byref(pointer), ctypes.byref(count))
        try:
            return pointer[: count.value] if pointer else []
        finally:
            L.free(ctypes.cast(pointer, ctypes.c_void_p))

    @power_reference.setter
    def power_reference(self, values: List[int]) -> None:
        checked = _checks.integer_list(values, "power_reference")
        self._handle.call(_lib.orv_setPowerReference, (ctypes.c_int32 * len(checked))(*checked), len(checked))

    @property
    def ttl_enabled(self) -> bool:
        """Whether TTL triggering is enabled (settable)."""
        return self._handle.read_flag(_lib.orv_getTTLEnable)

    @ttl_enabled.setter
    def ttl_enabled(self, enabled: bool) -> None:
        self._handle.call(_lib.orv_setTTLEnable, _checks.flag(enabled, "ttl_enabled"))

    @property
    def ttl_polarity(self) -> int:
        """The TTL polarity: 1 positive (active high), 0 negative (settable)."""
        return self._handle.read_int(_lib.orv_getTTLPolarity)

    @ttl_polarity.setter
    def ttl_polarity(self, polarity: int) -> None:
        self._handle.call(_lib.orv_setTTLPolarity, _checks.flag(polarity, "ttl_polarity"))

    # ---- device control ------------------------------------------------------------------

    def command(self, text: str) -> str:
        """Sends a raw protocol command and returns the device's whole reply.

        The command goes out exactly once: the reply is read into a buffer that holds the longest
        reply the library can return.
        """
        return self._handle.read_text(_lib.orv_executeCommand, _checks.text(text, "command"), size=REPLY_SIZE)

    def run_script(self, path: Union[str, "os.PathLike[str]"]) -> None:
        """Runs a ChaiScript file whose global functions act on this engine."""
        self._handle.call(_lib.orv_executeScript, _checks.path(path))

    def shutdown(self) -> None:
        """Sends the shutdown command (the reply is not examined)."""
        self._handle.call(_lib.orv_shutDown)

    def restart(self) -> None:
        """Sends the restart command (the reply is not examined)."""
        self._handle.call(_lib.orv_restart)

    def wake_up(self) -> None:
        """Wakes the device."""
        self._handle.call(_lib.orv_wakeUp)

    @property
    def last_error(self) -> Tuple[int, str]:
        """The code and text of the handle's last failure ((0, "") after a success)."""
        return self._handle.last_error()
