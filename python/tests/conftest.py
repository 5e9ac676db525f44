"""Fixtures: the simulator program as a child, engines connected to it, devices of the tests' own,
our OrvantaDLL64's record, the command line as a child."""

from __future__ import annotations

import ctypes
import http.client
import itertools
import json
import os
import queue
import signal
import socket
import subprocess
import sys
import threading
import time
import tty
from pathlib import Path
from typing import Any, Callable, Dict, Iterator, List, Optional, Tuple
from urllib.parse import urlsplit

import pytest

PYTHON_DIR = Path(__file__).resolve().parents[1]
BUILD_DIR = Path(os.environ.get("PHOTARC_BUILD_DIR", PYTHON_DIR.parent / "build" / "default")).resolve()
# Absolute, since some tests run programs elsewhere.
os.environ["PHOTARC_LIBRARY"] = os.path.abspath(os.environ.get("PHOTARC_LIBRARY", BUILD_DIR / "api" / "libPhotarc.so.1"))
SIM = os.environ.get("PHOTARC_SIM", str(BUILD_DIR / "sim" / "gen3" / "photarc-sim"))
sys.path.insert(0, str(PYTHON_DIR))

try:
    import photarc
except ImportError as error:
    if not os.environ.get("PHOTARC_SANITIZED"):
        raise
    unloadable = f"the sanitized library cannot be loaded into Python: {error}"
else:
    unloadable = ""


def pytest_configure(config: pytest.Config) -> None:
    if unloadable:
        pytest.exit(unloadable, returncode=77)  # reported as skipped by ctest


def _end_with_parent() -> None:
    """A test process that dies (a sanitizer's abort, say) takes its simulators along."""
    PR_SET_PDEATHSIG = 1
    ctypes.CDLL(None).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


class Simulator:
    """A running photarc-sim: its serial path and TCP port, as it prints them."""

    def __init__(self, *options: str) -> None:
        self.process = subprocess.Popen([SIM, "--port", "0", *options], stdout=subprocess.PIPE, text=True,
                                        preexec_fn=_end_with_parent)
        assert self.process.stdout is not None
        self.serial_path = self.process.stdout.readline().strip()
        self.port = int(self.process.stdout.readline())

    def address(self, transport: str) -> Dict[str, object]:
        """Arguments of connect() for "tcp" or "serial"."""
        return {"address": "127.0.0.1", "port": self.port} if transport == "tcp" else {"address": self.serial_path}

    def stop(self) -> None:
        self.process.terminate()
        self.process.wait()
        assert self.process.stdout is not None
        self.process.stdout.close()


@pytest.fixture
def start_simulator() -> Iterator[Callable[..., Simulator]]:
    started: List[Simulator] = []

    def start(*options: str) -> Simulator:
        started.append(Simulator(*options))
        return started[-1]

    yield start
    for simulator in started:
        simulator.stop()


@pytest.fixture
def simulator(start_simulator: Callable[..., Simulator]) -> Simulator:
    return start_simulator()


@pytest.fixture(params=["tcp", "serial"])
def engine(request: pytest.FixtureRequest, simulator: Simulator) -> Iterator[photarc.LightEngine]:
    with photarc.connect(**simulator.address(request.param)) as connected:  # type: ignore[arg-type]
        yield connected


class FakeDevice:
    """A device of the test's own, over TCP or a pseudo-terminal: every command it receives is
    recorded and answered with ``answer(command)`` (None: no answer at all)."""

    def __init__(self, transport: str, answer: Callable[[str], Optional[str]]) -> None:
        self._answer = answer
        self._commands: "queue.Queue[str]" = queue.Queue()
        if transport == "tcp":
            self._listener = socket.create_server(("127.0.0.1", 0))
            port = self._listener.getsockname()[1]
            self.address: Dict[str, object] = {"address": "127.0.0.1", "port": port}
            self.cli_target = ["127.0.0.1", "--port", str(port)]
            serve = self._serve_tcp
        else:
            self._master, self._slave = os.openpty()
            tty.setraw(self._slave)
            path = os.ttyname(self._slave)
            self.address = {"address": path}
            self.cli_target = [path]
            serve = self._serve_serial
        self._worker = threading.Thread(target=serve, daemon=True)
        self._worker.start()

    def next_command(self, limit: float = 30) -> str:
        """The next command the device received, waiting for it up to `limit` seconds."""
        return self._commands.get(timeout=limit)

    def received(self) -> List[str]:
        """The commands received and not yet taken."""
        commands = []
        while not self._commands.empty():
            commands.append(self._commands.get())
        return commands

    def _reply(self, command: str, send: Callable[[bytes], None]) -> None:
        self._commands.put(command)
        reply = self._answer(command)
        if reply is not None:
            send((reply + "\r\n").encode())

    def _serve_tcp(self) -> None:
        while True:
            try:
                client, _ = self._listener.accept()
            except OSError:
                return
            with client:
                while True:
                    try:
                        command = client.recv(4096)
                    except OSError:
                        break
                    if not command:
                        break
                    self._reply(command.decode(), client.sendall)

    def _serve_serial(self) -> None:
        def send(data: bytes) -> None:
            while data:
                data = data[os.write(self._master, data):]

        pending = b""
        while True:
            try:
                data = os.read(self._master, 65536)
            except OSError:  # every slave end is closed
                return
            if not data:
                return
            pending += data
            while b"\n" in pending:
                line, pending = pending.split(b"\n", 1)
                self._reply(line.decode(), send)

    def close(self) -> None:
        """Stops the device once the engines using it have let go of it."""
        if hasattr(self, "_listener"):
            self._listener.shutdown(socket.SHUT_RDWR)
            self._listener.close()
        else:
            os.close(self._slave)
        self._worker.join(30)
        assert not self._worker.is_alive(), "the device's link is still in use"
        if not hasattr(self, "_listener"):
            os.close(self._master)


@pytest.fixture
def fake_device() -> Iterator[Callable[..., FakeDevice]]:
    started: List[FakeDevice] = []

    def start(transport: str, answer: Callable[[str], Optional[str]]) -> FakeDevice:
        started.append(FakeDevice(transport, answer))
        return started[-1]

    yield start
    for device in started:
        device.close()


_free_ports = itertools.count(1)


@pytest.fixture
def com_port() -> str:
    """A serial port of our OrvantaDLL64 that no earlier test of this process opened."""
    number = next(_free_ports)
    if number > 16:
        pytest.fail("more legacy tests than simulated serial ports")
    return f"COM{number}"


class OrvantaRecord:
    """The calls our OrvantaDLL64 received (the instance the loaded library links to)."""

    def __init__(self) -> None:
        self.library = ctypes.CDLL("libOrvantaDLL64.so")
        self.library.ovsimCall.argtypes = (ctypes.c_int32, ctypes.c_char_p, ctypes.c_int32)

    def calls(self) -> List[str]:
        buffer = ctypes.create_string_buffer(256)
        lines = []
        for index in range(self.library.ovsimCallCount()):
            assert self.library.ovsimCall(index, buffer, len(buffer)) >= 0
            lines.append(buffer.value.decode())
        return lines


@pytest.fixture
def orvanta() -> OrvantaRecord:
    return OrvantaRecord()


def cli_command(*arguments: str) -> List[str]:
    return [sys.executable, "-m", "photarc", *arguments]


CLI_ENVIRONMENT = dict(os.environ, PYTHONPATH=str(PYTHON_DIR))


def run_cli(*arguments: str, check_status: int = 0) -> subprocess.CompletedProcess:
    """`python3 -m photarc ARGUMENTS`, asserting its exit status."""
    done = subprocess.run(cli_command(*arguments), capture_output=True, text=True, env=CLI_ENVIRONMENT)
    assert done.returncode == check_status, done
    return done


def run_cli_in_bounds(*arguments: str, check_status: int, memory_mb: int, seconds: float = 60):
    """run_cli, with the child's resident memory watched: beyond `memory_mb`, or `seconds`, it is
    killed and the test fails."""
    child = subprocess.Popen(cli_command(*arguments), stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                             env=CLI_ENVIRONMENT)
    deadline = time.monotonic() + seconds
    peak = 0
    while True:
        try:
            stdout, stderr = child.communicate(timeout=0.05)
            break
        except subprocess.TimeoutExpired:
            try:
                with open(f"/proc/{child.pid}/status") as status:
                    rss = next(int(line.split()[1]) for line in status if line.startswith("VmRSS:"))
            except (OSError, StopIteration):
                rss = 0
            peak = max(peak, rss // 1024)
            if peak > memory_mb or time.monotonic() > deadline:
                child.kill()
                child.communicate()
                pytest.fail(f"the command line took {peak} MB or more than {seconds} s")
    done = subprocess.CompletedProcess(child.args, child.returncode, stdout, stderr)
    assert done.returncode == check_status, done
    return done


class PanelClient:
    """Requests to a running bench panel, carrying its secret unless told otherwise."""

    def __init__(self, url: str) -> None:
        parts = urlsplit(url)
        self.url, self.host, self.port = url, parts.hostname or "", parts.port or 80
        self.token = parts.query.split("token=", 1)[1]

    def call(self, method: str, path: str, body: Any = None, token: Optional[str] = "",
             headers: Optional[Dict[str, str]] = None) -> Tuple[int, Any]:
        """(status, decoded JSON); `body` goes as JSON unless it is bytes; token None sends none."""
        sent = dict(headers or {})
        if token is not None:
            sent.setdefault("Authorization", f"Bearer {token or self.token}")
        data = body if isinstance(body, bytes) or body is None else json.dumps(body).encode()
        connection = http.client.HTTPConnection(self.host, self.port, timeout=30)
        try:
            connection.request(method, path, body=data, headers=sent)
            response = connection.getresponse()
            return response.status, json.loads(response.read() or b"null")
        finally:
            connection.close()

    def ok(self, method: str, path: str, body: Any = None) -> Any:
        status, answer = self.call(method, path, body)
        assert status == 200, answer
        return answer

    def events(self, path: Optional[str] = None) -> Iterator[Any]:
        """The event stream: each state as a dict, each keepalive as None."""
        connection = http.client.HTTPConnection(self.host, self.port, timeout=30)
        connection.request("GET", path or f"/api/events?token={self.token}")
        response = connection.getresponse()
        assert response.status == 200 and response.getheader("Content-Type") == "text/event-stream"
        try:
            while True:
                line = response.readline()
                if not line:
                    return
                if line.startswith(b"data: "):
                    yield json.loads(line[6:])
                elif line.startswith(b": keepalive"):
                    yield None
        finally:
            connection.close()


def next_state(stream: Iterator[Any], wanted: Callable[[Any], bool], within: int = 200) -> Any:
    """The first state of `stream` that is `wanted` (states come at each reading interval)."""
    for _, state in zip(range(within), stream):
        if state is not None and wanted(state):
            return state
    raise AssertionError("no such state arrived")


@pytest.fixture
def start_panel() -> Iterator[Callable[..., Tuple[PanelClient, Any]]]:
    """Serves an engine connected to a simulator (TCP) in this process: (client, Panel)."""
    from photarc.panel import Panel

    opened: List[Tuple[Any, Any]] = []

    def start(simulator: Simulator, interval: float = 0.2) -> Tuple[PanelClient, Any]:
        engine = photarc.connect("127.0.0.1", simulator.port)
        panel = Panel(engine, lambda: engine.connect("127.0.0.1", simulator.port), ("127.0.0.1", 0), interval)
        opened.append((panel.start(), engine))
        return PanelClient(panel.url), panel

    yield start
    for panel, engine in opened:
        panel.close()
        engine.close()
