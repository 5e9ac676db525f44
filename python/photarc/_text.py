"""Text out of the library: buffers that grow until the whole text fits."""

from __future__ import annotations

import ctypes
from typing import Callable, Tuple

from ._checks import decode
from ._errors import logger

FIRST_SIZE = 1024
GROWTH = 8
LARGEST_SIZE = 1 << 26

TextFill = Callable[["ctypes.Array[ctypes.c_char]", int], int]


def read_text(export: str, fill: TextFill, did_not_fit: Callable[[int], bool]) -> Tuple[int, str]:
    """Calls ``fill(buffer, size)`` until it succeeds or fails for another reason than size.

    The library never truncates: a text too long for the buffer is a failure that `did_not_fit`
    recognises from the result, and the call is then repeated with a larger buffer. Returns the
    last result and, on success, the text.
    """
    size = FIRST_SIZE
    while True:
        buffer = ctypes.create_string_buffer(size)
        result = fill(buffer, size)
        if result == 0:
            return 0, decode(buffer.value)
        if size >= LARGEST_SIZE or not did_not_fit(result):
            return result, ""
        logger.debug("%s: the text did not fit into %d bytes; trying again with more", export, size)
        size = min(size * GROWTH, LARGEST_SIZE)
