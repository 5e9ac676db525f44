"""Failures as exceptions, their log lines, and where the package looks for the library."""

import logging
import os
import pickle
import shutil
import socket
import subprocess
import sys

import pytest

import photarc
from conftest import PYTHON_DIR


def refused_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def overload(engine):
    engine.intensities = [1000] * 5
    engine.states = [True] * 5


FAILURES = {
    "overload": (overload, photarc.DeviceError, 11001, 63,
                 "Error : Command is ignored because it would overload the power supply",
                 "device error 63: Command is ignored because it would overload the power supply"),
    "unknown channel": (lambda engine: engine.channel("PURPLE"), photarc.DeviceError, 11001, -1,
                        "Invalid channel name PURPLE", "device error -1: Invalid channel name PURPLE"),
    "refused": (lambda engine: engine.connect("127.0.0.1", refused_port()), photarc.LinkError, 11004, 11004,
                "TCP connect to server failed: 111", "link error 11004: TCP connect to server failed: 111"),
    "unknown model": (lambda engine: photarc.LightEngine.legacy(11), photarc.PhotarcError, 11007, 11007,
                      "unknown legacy model number 11", "error 11007: unknown legacy model number 11"),
}


@pytest.mark.parametrize("name", FAILURES)
def test_failures_carry_result_code_and_text(name, engine, caplog):
    act, kind, result, code, text, message = FAILURES[name]
    with caplog.at_level(logging.DEBUG, logger="photarc"), pytest.raises(kind) as raised:
        act(engine)
    error = raised.value
    assert (type(error), error.result, error.code, error.text, str(error)) == (kind, result, code, text, message)
    assert isinstance(error, photarc.PhotarcError)
    assert f"result {result}, code {code}, {text}" in caplog.text
    copy = pickle.loads(pickle.dumps(error))
    assert (type(copy), copy.result, copy.code, copy.text) == (kind, result, code, text)
    if result == 11001:
        assert engine.last_error == (code, text)


def test_library_lookup_order(tmp_path):
    def import_photarc(package_parent, **environment):
        env = {k: v for k, v in os.environ.items() if k != "PHOTARC_LIBRARY"}
        env.update(environment, PYTHONPATH=str(package_parent))
        return subprocess.run([sys.executable, "-c", "import photarc; print(photarc.library_path)"],
                              capture_output=True, text=True, env=env, cwd=tmp_path)

    library = os.environ["PHOTARC_LIBRARY"]
    wrong = import_photarc(PYTHON_DIR, PHOTARC_LIBRARY=str(tmp_path / "nowhere.so"))
    assert wrong.returncode != 0 and "ImportError" in wrong.stderr
    tried = wrong.stderr[wrong.stderr.index("tried:"):]
    places = [f"PHOTARC_LIBRARY={tmp_path / 'nowhere.so'}", str(PYTHON_DIR / "photarc" / "libPhotarc.so.1"),
              "libPhotarc.so.1 (system loader)"]
    assert [tried.index(place) for place in places] == sorted(tried.index(place) for place in places)

    # A library that loads but is not ours counts as none.
    other = import_photarc(PYTHON_DIR, PHOTARC_LIBRARY="libc.so.6")
    assert other.returncode != 0 and "ImportError" in other.stderr and "AttributeError" not in other.stderr
    assert "PHOTARC_LIBRARY=libc.so.6: not the Photarc library (it lacks orv_createLightEngine)" in other.stderr

    # An installed package finds the library through its note, with no variable.
    installed = tmp_path / "site"
    shutil.copytree(PYTHON_DIR / "photarc", installed / "photarc", ignore=shutil.ignore_patterns("__pycache__"))
    (installed / "photarc" / "installed-library.txt").write_text(os.path.relpath(library, installed / "photarc"))
    found = import_photarc(installed)
    assert found.returncode == 0, found.stderr
    assert os.path.samefile(found.stdout.strip(), library)
    assert import_photarc(installed, PHOTARC_LIBRARY=library).stdout.strip() == library
    # ... and past a library that is not ours, saying so.
    past_other = import_photarc(installed, PHOTARC_LIBRARY="libc.so.6")
    assert os.path.samefile(past_other.stdout.strip(), library)
    assert "not the Photarc library" in past_other.stderr
