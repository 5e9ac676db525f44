"""Text out of the library: buffers that grow until the whole text fits."""

from __future__ import annotations

import ctypes
from typing import Callable, Tuple

from ._checks import decode
from ._errors import logger

FIRST_SIZE = 1024
GROWTH = 8
LARGEST_SIZE = 1 << 26
#: Room for any reply the library hands back (a serial reply line is at most 1 MiB) and its NUL.
REPLY_SIZE = (1 << 20) + 1024

TextFill = Callable[["ctypes.Array[ctypes.c_char]", int], int]


def read_text(
    export: str, fill: TextFill, did_not_fit: Callable[[int], bool], size: int = FIRST_SIZE, largest: int = LARGEST_SIZE
) -> Tuple[int, str]:
    """Calls ``fill(buffer, size)`` until it succeeds or fails for another reason than size.

    The library never truncates: a text too long for the buffer is a failure that `did_not_fit`
    recognises from the result, and the call is then repeated with a larger buffer, up to
    `largest` bytes. Returns the last result and, on success, the text.
    """
    while True:
        buffer = ctypes.create_string_buffer(size)
        result = fill(buffer, size)
        if result == 0:
            return 0, decode(buffer.value)
        if size >= largest or not did_not_fit(result):
            return result, ""
        logger.debug("%s: the text did not fit into %d bytes; trying again with more", export, size)
        size = min(size * GROWTH, largest)
