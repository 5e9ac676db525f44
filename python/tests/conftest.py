"""Fixtures: the simulator program as a child, engines connected to it, our OrvantaDLL64's record."""

from __future__ import annotations

import ctypes
import itertools
import os
import signal
import subprocess
import sys
from pathlib import Path
from typing import Callable, Dict, Iterator, List

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


def run_cli(*arguments: str, check_status: int = 0) -> subprocess.CompletedProcess:
    """`python3 -m photarc ARGUMENTS`, asserting its exit status."""
    environment = dict(os.environ, PYTHONPATH=str(PYTHON_DIR))
    done = subprocess.run([sys.executable, "-m", "photarc", *arguments],
                          capture_output=True, text=True, env=environment)
    assert done.returncode == check_status, done
    return done
