"""The latest state, handed to every open event stream: each follower waits for a newer one
than it last sent, so a slow client skips states instead of queueing them."""

from __future__ import annotations

import json
import threading
from typing import Any, Dict, Iterator, Optional


def event(state: Dict[str, Any]) -> bytes:
    """One Server-Sent Event named "state"."""
    return b"event: state\ndata: " + json.dumps(state, separators=(",", ":")).encode() + b"\n\n"


class Broadcaster:
    def __init__(self) -> None:
        self._changed = threading.Condition()
        self._latest: Optional[bytes] = None
        self._version = 0
        self._closed = False
        self._followers = 0

    def publish(self, state: Dict[str, Any]) -> None:
        message = event(state)  # encoded once for every follower
        with self._changed:
            self._latest = message
            self._version += 1
            self._changed.notify_all()

    def close(self) -> None:
        """Ends every follow()."""
        with self._changed:
            self._closed = True
            self._changed.notify_all()

    @property
    def followers(self) -> int:
        with self._changed:
            return self._followers

    def follow(self, keepalive: float) -> Iterator[Optional[bytes]]:
        """The latest event at once (when there is one), then each newer one; None when
        `keepalive` seconds passed without one. Ends when the broadcaster closes."""
        with self._changed:
            self._followers += 1
        try:
            seen = 0
            while True:
                with self._changed:
                    self._changed.wait_for(lambda: self._closed or self._version != seen, keepalive)
                    if self._closed:
                        return
                    message = self._latest if self._version != seen else None
                    seen = self._version
                yield message
        finally:
            with self._changed:
                self._followers -= 1
