"""The one engine the panel owns. Every use of it, from request threads and from the reading
loop, runs under one lock, so a change and the state read back after it are never interleaved
with other traffic; every change is published to the event streams."""

from __future__ import annotations

import logging
import math
import threading
import time
from contextlib import contextmanager
from typing import Any, Callable, Dict, Iterator, List, Optional

from .. import Channel, LightEngine, PhotarcError
from ._refusal import EBUSY, Refusal

logger = logging.getLogger("photarc.panel")

# The library's results, and the code of failures it detects itself (rather than the device).
DEVICE_FAILURE = 11001
LINK_FAILURE = 11004
LIBRARY_DETECTED = -1
NOT_CONNECTED = "Not connected"

# What an engine family can read or do beyond switching channels and setting intensities.
# Older devices (TOVRA3 included) answer none of these from the device: their temperature and
# status are constants of the driver, so the panel shows them as unknown.
CAPABILITIES = ("serial_number", "firmware_version", "ip", "temperature", "supply_power_w", "status_code",
                "power_mw", "power_lock", "ttl", "command")


def _finite(value: float) -> Optional[float]:
    """A reading as JSON can carry it: a device that answers "nan" or "inf" reads as unknown."""
    return value if math.isfinite(value) else None


class Identity:
    """What does not change while a link is open, read once per connection."""

    def __init__(self, engine: LightEngine, supports: Dict[str, bool]) -> None:
        self.model = engine.model
        self.serial_number = engine.serial_number if supports["serial_number"] else None
        self.firmware_version = engine.firmware_version if supports["firmware_version"] else None
        self.max_intensity = engine.max_intensity
        self.channels: List[Channel] = engine.channels


class EngineHub:
    """`connect` opens the engine's link again (with the arguments it was first opened with)."""

    def __init__(self, engine: LightEngine, connect: Callable[[], None],
                 publish: Callable[[Dict[str, Any]], None], wait_limit: float = 10.0) -> None:
        self._engine = engine
        self._connect = connect
        self._publish = publish
        self._wait_limit = wait_limit
        self._lock = threading.Lock()
        self._older = engine.is_legacy
        self.supports = {name: not self._older for name in CAPABILITIES}
        self._link_error: Optional[str] = None
        self.identity = Identity(engine, self.supports)

    # ---- serialising ---------------------------------------------------------------------

    @contextmanager
    def _exclusive(self) -> Iterator[LightEngine]:
        if not self._lock.acquire(timeout=self._wait_limit):
            raise Refusal(503, "The engine is still busy with an earlier request", code=EBUSY)
        try:
            yield self._engine
        finally:
            self._lock.release()

    # ---- channels, without device traffic ------------------------------------------------

    def channel_index(self, key: str) -> Optional[int]:
        """The index of a channel given by index ("0") or exact name ("RED"); None if none."""
        channels = self.identity.channels
        if key.isdigit() and key.isascii():
            index = int(key)
            return index if index < len(channels) else None
        return next((channel.index for channel in channels if channel.name == key), None)

    # ---- reading -------------------------------------------------------------------------

    def _offline_state(self) -> Dict[str, Any]:
        identity = self.identity
        return {
            "connected": False, "model": identity.model, "serial_number": identity.serial_number,
            "firmware_version": identity.firmware_version, "ip": None, "temperature": None,
            "supply_power_w": None, "status_code": None, "max_intensity": identity.max_intensity,
            "power_lock": None, "ttl_enabled": None, "ttl_polarity": None, "supports": dict(self.supports),
            "channels": [{"index": c.index, "name": c.name, "on": None, "intensity": None, "power_mw": None}
                         for c in identity.channels],
            "link_error": self._link_error, "time": time.time(),
        }

    def _read_state(self, engine: LightEngine) -> Dict[str, Any]:
        """The state read from the device now (under the lock)."""
        if not engine.connected:
            return self._offline_state()
        can = self.supports
        states, intensities = engine.states, engine.intensities
        if len(states) != len(self.identity.channels):
            self.identity = Identity(engine, self.supports)  # another device on the same serial port
        state = self._offline_state()
        state.update({
            "connected": True,
            "ip": engine.ip if can["ip"] else None,
            "temperature": _finite(engine.temperature) if can["temperature"] else None,
            "supply_power_w": _finite(engine.supply_power_w) if can["supply_power_w"] else None,
            "status_code": engine.status_code if can["status_code"] else None,
            "power_lock": engine.power_lock if can["power_lock"] else None,
            "ttl_enabled": engine.ttl_enabled if can["ttl"] else None,
            "ttl_polarity": engine.ttl_polarity if can["ttl"] else None,
        })
        for row, channel, on, intensity in zip(state["channels"], self.identity.channels, states, intensities):
            row["on"] = on
            row["intensity"] = intensity
            row["power_mw"] = _finite(channel.power_mw) if can["power_mw"] else None
        return state

    def _current(self, engine: LightEngine) -> Dict[str, Any]:
        """The state read now (under the lock); a link found lost reads as not connected."""
        try:
            return self._read_state(engine)
        except PhotarcError as error:
            self._after_failure(engine, error)
            if not engine.connected:
                return self._offline_state()
            raise self._refusal(engine, error) from None

    def state(self) -> Dict[str, Any]:
        with self._exclusive() as engine:
            return self._current(engine)

    def refresh(self) -> None:
        """One tick of the reading loop: read and publish; a failure waits for the next tick."""
        try:
            with self._exclusive() as engine:
                self._publish(self._current(engine))
        except Refusal as refusal:
            logger.debug("reading the engine failed: %s", refusal.text)

    # ---- changing ------------------------------------------------------------------------

    def _require_link(self, engine: LightEngine) -> None:
        if not engine.connected:
            raise Refusal(503, NOT_CONNECTED + (f" (the link was lost: {self._link_error})" if self._link_error else ""),
                          result=DEVICE_FAILURE, code=LIBRARY_DETECTED)

    def change(self, action: Callable[[LightEngine], Any]) -> Dict[str, Any]:
        """Carries out `action` and answers the state read back; every tab hears of it, also
        when the device refused (so a control that failed shows the device's real state)."""
        with self._exclusive() as engine:
            self._require_link(engine)
            failure: Optional[Refusal] = None
            try:
                action(engine)
            except PhotarcError as error:
                self._after_failure(engine, error)
                failure = self._refusal(engine, error)
            try:
                state = self._current(engine)
            except Refusal as unread:
                failure = failure or unread
            else:
                self._publish(state)
        if failure is not None:
            raise failure
        return state

    def command(self, text: str) -> str:
        """Sends a raw command; answers the device's reply."""
        replies: List[str] = []
        self.change(lambda engine: replies.append(engine.command(text)))
        return replies[0]

    def reconnect(self) -> Dict[str, Any]:
        """Closes the link and opens it again; the identity is read anew."""
        with self._exclusive() as engine:
            try:
                engine.disconnect()
            except PhotarcError:
                pass  # closing a dead link may fail; opening it again is what counts
            try:
                self._connect()
                self.identity = Identity(engine, self.supports)
                self._link_error = None
            except PhotarcError as error:
                self._after_failure(engine, error)
                if engine.connected:
                    raise self._refusal(engine, error) from None
                self._link_error = error.text
                self._publish(self._offline_state())
                raise Refusal(503, error.text, result=error.result, code=error.code) from None
            state = self._current(engine)
            self._publish(state)
            return state

    # ---- failures ------------------------------------------------------------------------

    def _after_failure(self, engine: LightEngine, error: PhotarcError) -> None:
        """A failure the library found itself on a current device may be a dead link (a device
        switched off, a cable pulled): if the device does not answer a plain question either,
        the link is closed and shown as lost until the user reconnects."""
        if self._older or error.code != LIBRARY_DETECTED or not engine.connected:
            return
        try:
            engine.status_code
        except PhotarcError as probe:
            if probe.code == LIBRARY_DETECTED:
                logger.warning("the link to the engine is lost: %s", error.text)
                self._link_error = error.text
                try:
                    engine.disconnect()
                except PhotarcError:
                    pass

    def _refusal(self, engine: LightEngine, error: PhotarcError) -> Refusal:
        status = 503 if error.result == LINK_FAILURE or not engine.connected else 409
        return Refusal(status, error.text, result=error.result, code=error.code)
