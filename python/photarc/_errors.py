"""The exceptions the package raises for failures the library reports."""

from __future__ import annotations

import logging
from typing import Any, Tuple

from . import _library

logger = logging.getLogger("photarc")
logger.addHandler(logging.NullHandler())

# Setters report a device's refusal as "Error : <message>"; the message alone reads better.
_NOISE_PREFIX = "Error : "


def brief(code: int, text: str) -> str:
    """"error <code>: <text>", the way messages and the command line show a failure."""
    shown = text[len(_NOISE_PREFIX) :] if text.startswith(_NOISE_PREFIX) else text
    return f"error {code}: {shown}"


class PhotarcError(Exception):
    """A call into the Photarc library failed.

    ``result`` is what the library call returned (11001, 11004, 11005, 11007 or 11008);
    ``code`` and ``text`` are the engine's last error after the failure: for a device that refused
    a command, its own error number (for example 63) and message; -1 for failures the library
    detected itself.
    """

    _kind = ""

    def __init__(self, result: int, code: int, text: str) -> None:
        self.result = result
        self.code = code
        self.text = text
        super().__init__(self._kind + brief(code, text))

    def __reduce__(self) -> Tuple[Any, ...]:
        return (type(self), (self.result, self.code, self.text))


class DeviceError(PhotarcError):
    """An operation on a device failed (result 11001): refused by the device or by the library."""

    _kind = "device "


class LinkError(PhotarcError):
    """Opening or closing the link to a device failed (result 11004)."""

    _kind = "link "


def failure(export: str, result: int, code: int, text: str) -> PhotarcError:
    """Logs a failed library call and returns the exception that reports it."""
    logger.debug("%s failed: result %d, code %d, %s", export, result, code, text)
    if result == _library.DEVICE_FAILURE:
        return DeviceError(result, code, text)
    if result == _library.CONNECTION_FAILURE:
        return LinkError(result, code, text)
    return PhotarcError(result, code, text)
