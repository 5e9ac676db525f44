"""Channel: one colour channel of a light engine."""

from __future__ import annotations

import ctypes
from typing import TYPE_CHECKING

from . import _checks
from . import _library as L

if TYPE_CHECKING:
    from ._engine import LightEngine

_lib = L.lib
_c_int32 = ctypes.c_int32


class Channel:
    """One channel of a :class:`LightEngine`, fixed by its index and colour name.

    Each attribute but ``name`` and ``index`` reads or writes the device on every access.
    """

    __slots__ = ("_engine", "_index", "_name")

    def __init__(self, engine: "LightEngine", index: int, name: str) -> None:
        self._engine = engine
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
        return self._engine._read(_c_int32, _lib.orv_getIntensity, self._index)

    @intensity.setter
    def intensity(self, value: int) -> None:
        self._engine._call(_lib.orv_setIntensity, self._index, _checks.integer(value, "intensity"))

    @property
    def on(self) -> bool:
        """Whether the channel is switched on (settable)."""
        return self._engine._bool(_lib.orv_getChannel, self._index)

    @on.setter
    def on(self, value: bool) -> None:
        self._engine._call(_lib.orv_setChannel, self._index, _checks.flag(value, "on"))

    @property
    def power_mw(self) -> float:
        """The channel's optical power in milliwatts."""
        return self._engine._float(_lib.orv_getChannelPowerMW, self._index)

    @property
    def power_count(self) -> int:
        """The channel's optical power in raw sensor counts."""
        return self._engine._int(_lib.orv_getChannelPowerCount, self._index)

    def __repr__(self) -> str:
        return f"<photarc.Channel {self._index} {self._name}>"
