"""Control of multi-channel light engines through the Photarc library.

>>> import photarc
>>> with photarc.connect("192.168.1.20") as engine:
...     engine.channel("RED").intensity = 500

The library is found through the environment variable ``PHOTARC_LIBRARY`` (a file path), then
beside this package (where ``cmake --install`` records it), then through the system loader.
Failed library calls are logged at DEBUG level on the ``photarc`` logger.
"""

from __future__ import annotations

import os
from typing import Union

from . import _checks
from . import _library
from ._channel import Channel
from ._engine import DEFAULT_BAUD, DEFAULT_PORT, LightEngine
from ._errors import DeviceError, LinkError, PhotarcError, failure
from ._text import read_text

__all__ = [
    "Channel",
    "DeviceError",
    "LightEngine",
    "LinkError",
    "PhotarcError",
    "api_version",
    "connect",
    "library_path",
    "run_script",
]

__version__ = "1.1.16"

#: Where the loaded library came from (a path, or the name the system loader resolved).
library_path: str = _library.library_path


def api_version() -> str:
    """The library's version text ("1.1.16")."""
    result, text = read_text(
        "orv_getAPIVersion", _library.lib.orv_getAPIVersion, lambda result: result == _library.TEXT_DOES_NOT_FIT
    )
    if result:
        raise failure("orv_getAPIVersion", result, result, "the version text could not be read")
    return text


def connect(address: str, port: int = DEFAULT_PORT, baud: int = DEFAULT_BAUD) -> LightEngine:
    """A new engine for a current device, connected to `address`.

    An address starting with "COM" or "/" is a serial port opened at `baud`; anything else is a
    TCP host reached at `port`. Raises :class:`LinkError` when the link cannot be opened.
    """
    engine = LightEngine()
    try:
        engine.connect(address, port, baud)
    except BaseException:
        engine.close()
        raise
    return engine


def run_script(path: Union[str, "os.PathLike[str]"]) -> None:
    """Runs a ChaiScript file that builds its own engines (``Gen3LightEngine()``).

    A failure raises :class:`DeviceError`; the library prints its reason on standard output,
    since no engine exists to keep it.
    """
    encoded = _checks.path(path)
    result = _library.lib.orv_executeScript(None, encoded)
    if result:
        raise failure("orv_executeScript", result, -1, "the script failed (its error is printed on standard output)")
