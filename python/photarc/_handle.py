"""One handle of the library: the lock that serialises the calls on it, the calls, and its release.

A LightEngine owns one; each Channel of the engine acts through the same one.
"""

from __future__ import annotations

import ctypes
import threading
import weakref
from typing import Any, Callable, Optional, Tuple, Type, TypeVar

from . import _library as L
from . import _text
from ._errors import PhotarcError, failure

_lib = L.lib
_T = TypeVar("_T")

CLOSED = "operation on a closed LightEngine"
_ERANGE = 34
_COPY_FAILURE_TEXT = "Error in string copy"


class _Held:
    """The handle's value and lock, apart from the Handle so that its finalizer can keep them."""

    __slots__ = ("lock", "value")

    def __init__(self, value: int) -> None:
        self.lock = threading.Lock()
        self.value: Optional[int] = value


def _release(held: _Held, wait: bool) -> None:
    """Deletes the handle once.

    Without `wait` (garbage collection, interpreter exit) a call in progress on another thread
    keeps the handle: deleting it would wait for that call, which may wait for a silent device's
    reply, and only a program that is ending drops a handle that is in use.
    """
    if not held.lock.acquire(blocking=wait):
        return
    try:
        value, held.value = held.value, None
        if value is not None:
            _lib.orv_deleteLightEngine(value)
    finally:
        held.lock.release()


class Handle:
    """A library handle, safe to share between threads.

    Each call and the reading of its failure happen under the handle's lock, so an exception
    always carries the failure of its own call. After :meth:`close` every call raises
    ``ValueError``.
    """

    __slots__ = ("_held", "_finalizer", "__weakref__")

    def __init__(self, value: int) -> None:
        self._held = _Held(value)
        self._finalizer = weakref.finalize(self, _release, self._held, False)

    def close(self) -> None:
        """Deletes the handle once any call in progress has ended; closing again does nothing."""
        _release(self._held, True)

    @property
    def value(self) -> Optional[int]:
        """The handle as the library knows it; None once closed."""
        return self._held.value

    def _live(self) -> int:
        value = self._held.value
        if value is None:
            raise ValueError(CLOSED)
        return value

    def _failure(self, value: int, export: Callable[..., int], result: int) -> PhotarcError:
        code, text = self._last_error(value)
        return failure(export.__name__, result, code, text)

    def result(self, export: Callable[..., int], *arguments: Any) -> int:
        """Calls `export` and returns its result, whatever it is."""
        with self._held.lock:
            return int(export(self._live(), *arguments))

    def call(self, export: Callable[..., int], *arguments: Any) -> None:
        """Calls `export`; a failure raises the matching PhotarcError."""
        held = self._held
        with held.lock:
            value = held.value  # not _live(): this path is the hot one
            if value is None:
                raise ValueError(CLOSED)
            result = export(value, *arguments)
            if result:
                raise self._failure(value, export, result)

    def read(self, value_type: "Type[ctypes._SimpleCData[_T]]", export: Callable[..., int], *arguments: Any) -> _T:
        """Calls `export` with a last out-argument of `value_type` and returns its value."""
        value = value_type()
        self.call(export, *arguments, ctypes.byref(value))
        return value.value

    def read_int(self, export: Callable[..., int], *arguments: Any) -> int:
        return self.read(ctypes.c_int32, export, *arguments)

    def read_float(self, export: Callable[..., int], *arguments: Any) -> float:
        return self.read(ctypes.c_double, export, *arguments)

    def read_flag(self, export: Callable[..., int], *arguments: Any) -> bool:
        return self.read(ctypes.c_int32, export, *arguments) == 1

    def read_text(self, export: Callable[..., int], *arguments: Any, size: Optional[int] = None) -> str:
        """Calls `export` with a text buffer and its size as the last two arguments.

        By default the call is repeated with larger buffers until the text fits; with `size`
        it is made once, with a buffer of that size.
        """
        with self._held.lock:
            value = self._live()

            def did_not_fit(result: int) -> bool:
                code, text = self._last_error(value)
                return result == L.DEVICE_FAILURE and code == _ERANGE and text.startswith(_COPY_FAILURE_TEXT)

            def fill(buffer: "ctypes.Array[ctypes.c_char]", buffer_size: int) -> int:
                return int(export(value, *arguments, buffer, buffer_size))

            if size is None:
                result, text = _text.read_text(export.__name__, fill, did_not_fit)
            else:
                result, text = _text.read_text(export.__name__, fill, did_not_fit, size, size)
            if result:
                raise self._failure(value, export, result)
            return text

    def last_error(self) -> Tuple[int, str]:
        """The code and text of the handle's last failure."""
        with self._held.lock:
            return self._last_error(self._live())

    @staticmethod
    def _last_error(value: int) -> Tuple[int, str]:
        code = ctypes.c_int32()
        _lib.orv_getLastErrorCode(value, ctypes.byref(code))
        result, text = _text.read_text(
            "orv_getLastErrorText",
            lambda buffer, size: int(_lib.orv_getLastErrorText(value, buffer, size)),
            lambda result: result == L.TEXT_DOES_NOT_FIT,
        )
        return code.value, text
