"""The door every request passes before a handler sees it: the run's secret, the `Host` the
request was sent to (against DNS rebinding) and the `Origin` of changes (against other pages in
the same browser)."""

from __future__ import annotations

import hmac
import ipaddress
import secrets
import socket
from typing import Optional, Set, Tuple
from urllib.parse import urlsplit

from ._refusal import EACCES, Refusal

SECRET_BYTES = 32  # 256 bits


def split_authority(text: str) -> Tuple[str, Optional[int]]:
    """"host:port", "[v6]:port" or a bare host as (host, port or None); ValueError when malformed."""
    if text.startswith("["):
        host, bracket, rest = text[1:].partition("]")
        if not bracket or (rest and not rest.startswith(":")):
            raise ValueError(f"malformed address {text!r}")
        port_text = rest[1:] if rest else None
    elif text.count(":") == 1:
        host, port_text = text.split(":")
    elif ":" in text:
        raise ValueError(f"an IPv6 address needs brackets: [{text}]")
    else:
        host, port_text = text, None
    if not host:
        raise ValueError(f"no host in {text!r}")
    if port_text is None:
        return host, None
    if not port_text.isdigit() or not 0 <= int(port_text) <= 65535:
        raise ValueError(f"bad port in {text!r}")
    return host, int(port_text)


def parse_listen(text: str) -> Tuple[str, int]:
    """The panel's --listen value: HOST:PORT (an IPv6 host in brackets)."""
    host, port = split_authority(text)
    if port is None:
        raise ValueError(f"{text!r} has no port (HOST:PORT)")
    return host, port


def url_host(host: str) -> str:
    return f"[{host}]" if ":" in host else host


def _ip(host: str) -> Optional[ipaddress._BaseAddress]:
    try:
        return ipaddress.ip_address(host)
    except ValueError:
        return None


class Gate:
    """Checks for one listening address; `bound` is the address the socket got."""

    def __init__(self, given_host: str, bound: str, port: int) -> None:
        self.secret = secrets.token_urlsafe(SECRET_BYTES)
        self._secret = self.secret.encode()
        self._port = port
        bound_ip = _ip(bound)
        self._any_ip = bool(bound_ip and bound_ip.is_unspecified)
        names: Set[str] = {given_host.lower(), bound.lower()}
        if bound_ip and (bound_ip.is_loopback or bound_ip.is_unspecified):
            names |= {"localhost", "127.0.0.1" if bound_ip.version == 4 else "::1"}
        if self._any_ip:
            # Reached through any of this machine's addresses: IP literals and its own names.
            names |= {socket.gethostname().lower(), socket.getfqdn().lower()}
        self._names = names
        shown = "127.0.0.1" if self._any_ip and bound_ip and bound_ip.version == 4 else (
            "::1" if self._any_ip else given_host)
        self.url = f"http://{url_host(shown)}:{port}/?token={self.secret}"

    def _own_authority(self, authority: str) -> bool:
        try:
            host, port = split_authority(authority.strip())
        except ValueError:
            return False
        if (80 if port is None else port) != self._port:
            return False
        host = host.lower()
        return host in self._names or (self._any_ip and _ip(host) is not None)

    def check_host(self, host: Optional[str]) -> None:
        if not host or not self._own_authority(host):
            raise Refusal(403, "This panel answers only requests sent to its own address", code=EACCES)

    def check_origin(self, origin: Optional[str]) -> None:
        """A change may come from the panel's own page or from a program (which sends no Origin)."""
        if origin is None:
            return
        parts = urlsplit(origin)
        if parts.scheme != "http" or not self._own_authority(parts.netloc) or parts.path not in ("", "/"):
            raise Refusal(403, "Changes are accepted only from the panel's own page", code=EACCES)

    def check_secret(self, authorization: Optional[str], query_token: Optional[str] = None) -> None:
        offered = query_token
        if authorization:
            scheme, _, value = authorization.strip().partition(" ")
            offered = value.strip() if scheme.lower() == "bearer" else None
        if offered is None or not hmac.compare_digest(offered.encode("utf-8", "replace"), self._secret):
            raise Refusal(401, "Missing or wrong secret (Authorization: Bearer SECRET)", code=EACCES,
                          headers={"WWW-Authenticate": "Bearer"})
