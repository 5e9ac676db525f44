"""The JSON API: which path and method do what, and the checks every body passes before the
engine is touched. Independent of HTTP: the server hands in the method, path and body."""

from __future__ import annotations

import json
import re
from typing import Any, Callable, Dict, Optional, Tuple
from urllib.parse import unquote

from .. import Channel, LightEngine
from ._hub import EngineHub
from ._refusal import Refusal, bad_input

MAX_BODY = 64 * 1024
EVENTS = "/api/events"

Handler = Callable[[Any, Dict[str, Any]], Any]
Check = Callable[[Any, str], Any]


def _flag(value: Any, what: str) -> bool:
    if not isinstance(value, bool):
        raise bad_input(f"{what} must be true or false")
    return value


def _polarity(value: Any, what: str) -> int:
    if isinstance(value, bool) or not isinstance(value, int) or value not in (0, 1):
        raise bad_input(f"{what} must be 0 (negative) or 1 (positive)")
    return value


def _command_text(value: Any, what: str) -> str:
    if not isinstance(value, str) or not value.strip():
        raise bad_input(f"{what} must be a command text")
    if "\n" in value or "\r" in value:
        # As the library itself refuses it: the device would take the rest as a second command.
        raise bad_input("Invalid argument: line break in command text")
    if "\0" in value:
        raise bad_input(f"{what} must not contain a NUL character")
    return value


def parse_body(body: bytes, checks: Dict[str, Check], optional: bool = False) -> Dict[str, Any]:
    """A JSON object whose keys are among `checks` (at least one unless `optional`), each checked."""
    if not body.strip() and optional:
        return {}
    try:
        fields = json.loads(body)
    except (ValueError, RecursionError) as error:  # RecursionError: absurdly nested arrays
        raise bad_input(f"The body is not valid JSON: {error}") from None
    if not isinstance(fields, dict):
        raise bad_input("The body must be a JSON object")
    expected = f"expected {' and/or '.join(map(repr, checks))}" if checks else "this request takes none"
    unknown = sorted(set(fields) - set(checks))
    if unknown:
        raise bad_input(f"Unknown field {unknown[0]!r} ({expected})")
    if not fields and not optional:
        raise bad_input(f"Nothing to change ({expected})")
    return {name: checks[name](value, name) for name, value in fields.items()}


# (body field, attribute), in the order they are set. Intensity first: a channel switched on at a
# new intensity never flashes the old one.
_CHANNEL = (("intensity", "intensity"), ("on", "on"))
_EVERY_CHANNEL = (("intensity", "intensities"), ("on", "states"))


def _assign(target: Any, fields: Dict[str, Any], attributes: Tuple[Tuple[str, str], ...],
            value_of: Callable[[Any], Any] = lambda value: value) -> None:
    """Sets the attribute of each field the body has."""
    for field, attribute in attributes:
        if field in fields:
            setattr(target, attribute, value_of(fields[field]))


class Api:
    def __init__(self, hub: EngineHub) -> None:
        self._hub = hub
        # (path pattern, {method: (handler, body checks or None for no body)})
        channel = {"on": _flag, "intensity": self._intensity}
        self._routes: Tuple[Tuple[re.Pattern, Dict[str, Tuple[Handler, Optional[Dict[str, Check]]]]], ...] = (
            (re.compile(r"/api/state"), {"GET": (self._state, None)}),
            (re.compile(re.escape(EVENTS)), {"GET": (self._state, None)}),  # the server streams instead
            (re.compile(r"/api/channels"), {"PUT": (self._all_channels, channel)}),
            (re.compile(r"/api/channels/(?P<key>[^/]+)"), {"PUT": (self._one_channel, channel)}),
            (re.compile(r"/api/power_lock"), {"PUT": (self._power_lock, {"on": _flag})}),
            (re.compile(r"/api/ttl"), {"PUT": (self._ttl, {"enabled": _flag, "polarity": _polarity})}),
            (re.compile(r"/api/command"), {"POST": (self._command, {"text": _command_text})}),
            (re.compile(r"/api/reconnect"), {"POST": (self._reconnect, {})}),
        )

    def route(self, method: str, path: str) -> Tuple[Callable[[bytes], Any], bool]:
        """The call that answers `method` on `path`, given the body, and whether it is the event
        stream; 404 or 405 when there is none."""
        for pattern, methods in self._routes:
            match = pattern.fullmatch(path)
            if not match:
                continue
            if method not in methods:
                raise Refusal(405, f"{method} is not allowed on {path} (allowed: {', '.join(methods)})",
                              headers={"Allow": ", ".join(methods)})
            handler, checks = methods[method]
            params = {name: unquote(value, errors="replace") for name, value in match.groupdict().items()}

            def answer(body: bytes) -> Any:
                fields = parse_body(body, checks, optional=not checks) if checks is not None else {}
                return handler(params, fields)

            return answer, path == EVENTS
        raise bad_input(f"No such path: {path}", status=404)

    # ---- checks that need the engine's identity -----------------------------------------

    def _intensity(self, value: Any, what: str) -> int:
        highest = self._hub.identity.max_intensity
        if isinstance(value, bool) or not isinstance(value, int):
            raise bad_input(f"{what} must be an integer from 0 to {highest}")
        if not 0 <= value <= highest:
            raise bad_input(f"{what} {value} is outside 0 to {highest}")
        return value

    # ---- handlers ------------------------------------------------------------------------

    def _state(self, params: Dict[str, str], fields: Dict[str, Any]) -> Any:
        return self._hub.state()

    def _channel(self, key: str) -> Channel:
        channels = self._hub.identity.channels
        index = self._hub.channel_index(key)
        if index is None:
            names = ", ".join(channel.name for channel in channels)
            raise bad_input(f"No channel {key!r} (channels: {names}, or their indexes)", status=404)
        return channels[index]

    def _one_channel(self, params: Dict[str, str], fields: Dict[str, Any]) -> Any:
        self._channel(params["key"])  # an unknown channel is refused before waiting for the engine
        # Again under the lock, since a reconnect may change the channels.
        return self._hub.change(lambda engine: _assign(self._channel(params["key"]), fields, _CHANNEL))

    def _all_channels(self, params: Dict[str, str], fields: Dict[str, Any]) -> Any:
        def apply(engine: LightEngine) -> None:
            count = len(self._hub.identity.channels)
            _assign(engine, fields, _EVERY_CHANNEL, lambda value: [value] * count)

        return self._hub.change(apply)

    def _power_lock(self, params: Dict[str, str], fields: Dict[str, Any]) -> Any:
        return self._hub.change(lambda engine: _assign(engine, fields, (("on", "power_lock"),)))

    def _ttl(self, params: Dict[str, str], fields: Dict[str, Any]) -> Any:
        return self._hub.change(lambda engine: _assign(engine, fields, (("enabled", "ttl_enabled"),
                                                                        ("polarity", "ttl_polarity"))))

    def _command(self, params: Dict[str, str], fields: Dict[str, Any]) -> Any:
        return {"reply": self._hub.command(fields["text"])}

    def _reconnect(self, params: Dict[str, str], fields: Dict[str, Any]) -> Any:
        return self._hub.reconnect()
