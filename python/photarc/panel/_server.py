"""The HTTP side: one thread per connection (standard library only, so that the Windows archive
needs nothing else), the security gate before any handler, the page's files and the event stream."""

from __future__ import annotations

import json
import logging
import socket
import sys
from contextlib import closing
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from typing import Any, Callable, Dict, Optional, Tuple
from urllib.parse import parse_qs, urlsplit

from ._api import MAX_BODY, Api
from ._broadcast import Broadcaster
from ._gate import Gate
from ._refusal import Refusal, bad_input
from ._static import StaticFiles

logger = logging.getLogger("photarc.panel")

KEEPALIVE_SECONDS = 15.0
# A connection that sends nothing (or takes nothing of an event stream) for this long is closed,
# so clients that went away do not hold a thread for ever.
IDLE_SECONDS = 60.0
_READING = frozenset({"GET", "HEAD", "OPTIONS"})
_PAGE_HEADERS = {
    "Content-Security-Policy": "default-src 'self'; style-src 'self' 'unsafe-inline'; img-src 'self' data:; "
                               "frame-ancestors 'none'; base-uri 'none'; form-action 'none'",
    "X-Frame-Options": "DENY",
    "Referrer-Policy": "no-referrer",
}


class PanelServer(ThreadingHTTPServer):
    daemon_threads = True
    # On Windows the address-reuse option would let another program take over the port in use.
    allow_reuse_address = sys.platform != "win32"

    def __init__(self, address: Tuple[str, int], family: int, api: Api, broadcaster: Broadcaster,
                 make_gate: Callable[[str, int], Gate]) -> None:
        self.address_family = family
        super().__init__(address, _Handler)
        self.api = api
        self.broadcaster = broadcaster
        self.static = StaticFiles()
        bound, port = self.server_address[:2]
        self.gate = make_gate(bound, port)


class _Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "photarc-panel"
    timeout = IDLE_SECONDS
    # An event stream's writes follow each other closely; with Nagle's algorithm each would wait
    # for the client's delayed acknowledgement of the one before (some 40 ms).
    disable_nagle_algorithm = True
    server: PanelServer

    def __getattr__(self, name: str) -> Any:
        # Every method reaches the gate; methods no route knows are answered 405 there.
        if name.startswith("do_"):
            return self._answer
        raise AttributeError(name)

    # ---- one request ---------------------------------------------------------------------

    def _answer(self) -> None:
        url = urlsplit(self.path)
        try:
            self.server.gate.check_host(self.headers.get("Host"))
            body = self._body()
            if url.path == "/api" or url.path.startswith("/api/"):
                self._api(url.path, url.query, body)
            else:
                self._static(url.path)
        except Refusal as refusal:
            self._json(refusal.status, refusal.body(), refusal.headers)
        except OSError:
            self.close_connection = True  # the client went away
        except Exception:  # a fault of ours must not end the server
            logger.exception("the panel failed to answer %s %s", self.command, url.path)
            self._json(500, Refusal(500, "The panel failed; see its log").body())

    def _body(self) -> bytes:
        if "Transfer-Encoding" in self.headers:
            self.close_connection = True
            raise bad_input("Send the body with a Content-Length")
        length_text = self.headers.get("Content-Length", "0").strip()
        if not length_text.isdigit():
            self.close_connection = True
            raise bad_input("Bad Content-Length")
        length = int(length_text)
        if length > MAX_BODY:
            self.close_connection = True  # the body is not read: the connection cannot go on
            raise bad_input(f"The body is larger than {MAX_BODY} bytes", status=413)
        return self.rfile.read(length) if length else b""

    def _api(self, path: str, query: str, body: bytes) -> None:
        gate = self.server.gate
        if self.command not in _READING:
            gate.check_origin(self.headers.get("Origin"))
        token = parse_qs(query).get("token", [None])[-1] if path == "/api/events" else None
        gate.check_secret(self.headers.get("Authorization"), token)
        answer, streams = self.server.api.route(self.command, path)
        if streams:
            self._stream()
        else:
            self._json(200, answer(body))

    def _static(self, path: str) -> None:
        found = self.server.static.get(path)
        if found is None:
            raise bad_input(f"No such page: {path}", status=404)
        if self.command != "GET":
            raise Refusal(405, f"{self.command} is not allowed on {path}", headers={"Allow": "GET"})
        content, content_type = found
        self._send(200, content, content_type, _PAGE_HEADERS)

    def _stream(self) -> None:
        self.close_connection = True
        self.send_response(200)
        for name, value in (("Content-Type", "text/event-stream"), ("Cache-Control", "no-store"),
                            ("Connection", "close")):
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(b"retry: 2000\n\n")
        with closing(self.server.broadcaster.follow(KEEPALIVE_SECONDS)) as messages:
            for message in messages:
                self.wfile.write(message or b": keepalive\n\n")

    # ---- writing -------------------------------------------------------------------------

    def _json(self, status: int, payload: Any, headers: Optional[Dict[str, str]] = None) -> None:
        content = json.dumps(payload, separators=(",", ":")).encode()
        self._send(status, content, "application/json", {"Cache-Control": "no-store", **(headers or {})})

    def _send(self, status: int, content: bytes, content_type: str, headers: Dict[str, str]) -> None:
        lines = [f"{self.protocol_version} {status} {self.responses.get(status, ('',))[0]}",
                 f"Server: {self.version_string()}", f"Date: {self.date_time_string()}",
                 f"Content-Type: {content_type}", f"Content-Length: {len(content)}", "X-Content-Type-Options: nosniff",
                 *(f"{name}: {value}" for name, value in headers.items())]
        if self.close_connection:
            lines.append("Connection: close")
        # One write: the client has the whole answer in one segment, without waiting for a second.
        self.wfile.write("\r\n".join(lines).encode("latin-1") + b"\r\n\r\n" + content)
        self.log_request(status)

    def send_error(self, code: int, message: Optional[str] = None, explain: Optional[str] = None) -> None:
        """Requests too malformed to reach a handler get a JSON error too."""
        self.close_connection = True
        try:
            self._json(code, Refusal(code, message or "Bad request").body())
        except OSError:
            pass

    def log_message(self, format: str, *args: Any) -> None:
        # Request lines carry the event stream's secret: never write it anywhere.
        text = format % args
        logger.debug("%s %s", self.address_string(), text.replace(self.server.gate.secret, "<secret>"))


def bind(host: str, port: int, **parts: Any) -> PanelServer:
    """A server listening on host:port (a name, an IPv4 or an IPv6 address)."""
    family, _, _, _, address = socket.getaddrinfo(host, port, type=socket.SOCK_STREAM)[0]
    return PanelServer(address[:2], family, **parts)
