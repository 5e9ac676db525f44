"""The bench panel: a local web page and JSON API over one connected :class:`~photarc.LightEngine`.

``photarc ADDRESS panel`` runs it; :class:`Panel` does the same inside a program. A reading loop
refreshes the engine's state at a fixed interval and pushes it to every open page (Server-Sent
Events); changes arrive through the JSON API, are carried out, read back and pushed.
"""

from __future__ import annotations

import logging
import signal
import sys
import threading
import webbrowser
from typing import Callable, Optional, Tuple

from .. import LightEngine
from ._api import Api
from ._broadcast import Broadcaster
from ._gate import Gate, parse_listen
from ._hub import EngineHub
from ._server import PanelServer, bind
from ._static import chart_library

__all__ = ["DEFAULT_LISTEN", "Panel", "parse_listen", "run"]

DEFAULT_LISTEN = ("127.0.0.1", 8300)
logger = logging.getLogger("photarc.panel")


class Panel:
    """Serves `engine` (connected; `connect` opens its link again for a reconnect) on `listen`.

    Reads the engine's identity, then listens (a failure raises :class:`~photarc.PhotarcError`
    or ``OSError`` before anything is served). :attr:`url` carries the run's secret.
    """

    def __init__(self, engine: LightEngine, connect: Callable[[], None],
                 listen: Tuple[str, int] = DEFAULT_LISTEN, interval: float = 1.0) -> None:
        if not interval > 0:
            raise ValueError(f"interval must be a positive number of seconds, not {interval}")
        self.broadcaster = Broadcaster()
        self.hub = EngineHub(engine, connect, self.broadcaster.publish)
        host = listen[0]
        self._server: PanelServer = bind(*listen, api=Api(self.hub), broadcaster=self.broadcaster,
                                         make_gate=lambda bound, port: Gate(host, bound, port))
        self.url = self._server.gate.url
        self._interval = interval
        self._stopping = threading.Event()
        self._loop = threading.Thread(target=self._read, name="photarc-panel-reading", daemon=True)
        self._loop.start()
        self._serving: Optional[threading.Thread] = None

    def _read(self) -> None:
        while True:
            try:
                self.hub.refresh()
            except ValueError:  # the engine was closed under us: the panel is going away
                return
            if self._stopping.wait(self._interval):
                return

    def serve_forever(self) -> None:
        """Serves until :meth:`close` (from another thread) or an exception such as Ctrl-C."""
        self._server.serve_forever(poll_interval=0.25)

    def start(self) -> "Panel":
        """Serves on a thread of its own."""
        self._serving = threading.Thread(target=self.serve_forever, name="photarc-panel", daemon=True)
        self._serving.start()
        return self

    def close(self, wait: float = 5.0) -> None:
        """Stops serving and reading; ends every event stream. The engine stays open."""
        self._stopping.set()
        self.broadcaster.close()
        if self._serving is not None:
            self._server.shutdown()
            self._serving.join(wait)
        self._server.server_close()
        self._loop.join(wait)

    def __enter__(self) -> "Panel":
        return self

    def __exit__(self, *exception: object) -> None:
        self.close()


def _interrupt(signum: int, frame: object) -> None:
    raise KeyboardInterrupt


def _stop_on_terminate() -> None:
    """A termination request (a service manager's, `kill`) ends the panel as Ctrl-C does."""
    if hasattr(signal, "SIGTERM") and threading.current_thread() is threading.main_thread():
        signal.signal(signal.SIGTERM, _interrupt)


def run(engine: LightEngine, connect: Callable[[], None], listen: Tuple[str, int], interval: float,
        open_browser: bool) -> int:
    """The ``panel`` command: prints the address to open and serves until Ctrl-C; the exit status."""
    try:
        panel = Panel(engine, connect, listen, interval)
    except OSError as error:
        print(f"error: cannot listen on {listen[0]}:{listen[1]}: {error.strerror or error}", file=sys.stderr)
        return 1
    if chart_library() is None:
        print("warning: the charting library (dygraphs) was not found; the page shows no chart", file=sys.stderr)
    print(panel.url, flush=True)
    _stop_on_terminate()
    if open_browser:
        webbrowser.open(panel.url)
    try:
        panel.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        panel.close()
    return 0
