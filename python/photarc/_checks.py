"""Argument checks and conversions done before anything reaches the library."""

from __future__ import annotations

import operator
import os
from typing import Any, Iterable, List, Union

INT32_MIN = -(2**31)
INT32_MAX = 2**31 - 1
UINT16_MAX = 2**16 - 1
UINT32_MAX = 2**32 - 1


def integer(value: Any, what: str, low: int = INT32_MIN, high: int = INT32_MAX) -> int:
    """`value` as an int within [low, high]; TypeError for a non-integer (bools included)."""
    if isinstance(value, bool) or not hasattr(type(value), "__index__"):
        raise TypeError(f"{what} must be an int, not {type(value).__name__}")
    number = operator.index(value)
    if not low <= number <= high:
        raise ValueError(f"{what} must be between {low} and {high}, not {number}")
    return number


def flag(value: Any, what: str) -> int:
    """1 or 0 for a bool (or the ints 1 and 0)."""
    if isinstance(value, bool):
        return int(value)
    if isinstance(value, int) and value in (0, 1):
        return value
    if isinstance(value, int):
        raise ValueError(f"{what} must be True or False (or 1 or 0), not {value}")
    raise TypeError(f"{what} must be a bool, not {type(value).__name__}")


def _encoded(raw: bytes, what: str) -> bytes:
    if b"\0" in raw:
        raise ValueError(f"{what} must not contain a NUL character")
    return raw


def text(value: Any, what: str) -> bytes:
    """A str as the library's NUL-terminated bytes."""
    if not isinstance(value, str):
        raise TypeError(f"{what} must be a str, not {type(value).__name__}")
    return _encoded(value.encode("utf-8"), what)


def path(value: Union[str, "os.PathLike[str]"]) -> bytes:
    """A file path (str or path-like) as bytes for the library."""
    if not isinstance(value, (str, bytes, os.PathLike)):
        raise TypeError(f"path must be a str or a path-like object, not {type(value).__name__}")
    return _encoded(os.fsencode(value), "path")


def _items(values: Any, what: str) -> List[Any]:
    if isinstance(values, (str, bytes)) or not isinstance(values, Iterable):
        raise TypeError(f"{what} must be a list, not {type(values).__name__}")
    return list(values)


def integer_list(values: Any, what: str) -> List[int]:
    """A list of int32 values."""
    return [integer(value, f"{what}[{i}]") for i, value in enumerate(_items(values, what))]


def flag_list(values: Any, what: str) -> List[int]:
    """A list of bools as 1/0 values."""
    return [flag(value, f"{what}[{i}]") for i, value in enumerate(_items(values, what))]


def decode(raw: bytes) -> str:
    """Library text as str; bytes that are not UTF-8 are replaced rather than refused."""
    return raw.decode("utf-8", errors="replace")
