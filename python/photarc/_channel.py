"""Channel: one colour channel of a light engine."""

from __future__ import annotations

from typing import Protocol

from . import _checks
from . import _library as L
from ._handle import Handle

_lib = L.lib


class HandleOwner(Protocol):
    """What a channel belongs to: a LightEngine, whose handle the channel shares."""

    _handle: Handle


class Channel:
    """One channel of a :class:`LightEngine`, fixed by its index and colour name.

    Each attribute but ``name`` and ``index`` reads or writes the device on every access.
    """

    __slots__ = ("_handle", "_index", "_name")

    def __init__(self, engine: HandleOwner, index: int, name: str) -> None:
        self._handle = engine._handle
        self._index = index
        self._name = name

    @property
    def name(self) -> str:
        """The channel's colour name ("RED", ...)."""
        return self._name

    @property
    def index(self) -> int:
        """The channel's index, from 0."""
        return self._index

    @property
    def intensity(self) -> int:
        """The channel's intensity (settable)."""
        return self._handle.read_int(_lib.orv_getIntensity, self._index)

    @intensity.setter
    def intensity(self, value: int) -> None:
        self._handle.call(_lib.orv_setIntensity, self._index, _checks.integer(value, "intensity"))

    @property
    def on(self) -> bool:
        """Whether the channel is switched on (settable)."""
        return self._handle.read_flag(_lib.orv_getChannel, self._index)

    @on.setter
    def on(self, value: bool) -> None:
        self._handle.call(_lib.orv_setChannel, self._index, _checks.flag(value, "on"))

    @property
    def power_mw(self) -> float:
        """The channel's optical power in milliwatts."""
        return self._handle.read_float(_lib.orv_getChannelPowerMW, self._index)

    @property
    def power_count(self) -> int:
        """The channel's optical power in raw sensor counts."""
        return self._handle.read_int(_lib.orv_getChannelPowerCount, self._index)

    def __repr__(self) -> str:
        return f"<photarc.Channel {self._index} {self._name}>"
