"""Installing the package: pip without the network, and `cmake --install` into a prefix."""

import os
import shutil
import subprocess
import sys

from conftest import BUILD_DIR, PYTHON_DIR

SHOW = "import photarc; print(photarc.api_version(), photarc.library_path)"
# The bench panel's page and where its charting library is served from.
SHOW_PANEL = ("from photarc.panel._static import StaticFiles, chart_library; "
              "print(StaticFiles().get('/') is not None, chart_library())")


def run(*command, loads_library=False, **environment):
    # A sanitizer's runtime is preloaded only where the (sanitized) library is loaded: tools such
    # as cmake and pip may hang under it.
    dropped = ("PHOTARC_LIBRARY", "PYTHONPATH") + (() if loads_library else ("LD_PRELOAD",))
    env = {k: v for k, v in os.environ.items() if k not in dropped}
    done = subprocess.run(command, capture_output=True, text=True, env=dict(env, **environment), cwd="/")
    assert done.returncode == 0, done
    return done.stdout


def test_pip_installs_offline_into_a_virtual_environment(tmp_path):
    source = tmp_path / "source"  # pip builds in place: keep the worktree clean
    shutil.copytree(PYTHON_DIR, source, ignore=shutil.ignore_patterns("__pycache__", "tests"))
    venv = tmp_path / "venv"
    run(sys.executable, "-m", "venv", "--system-site-packages", str(venv))
    run(str(venv / "bin" / "pip"), "install", "--no-index", "--no-build-isolation", "--quiet", str(source))
    library = os.environ["PHOTARC_LIBRARY"]
    shown = run(str(venv / "bin" / "python"), "-c", SHOW, loads_library=True, PHOTARC_LIBRARY=library)
    assert shown == f"1.1.16 {library}\n"
    assert "usage: photarc" in run(str(venv / "bin" / "photarc"), "--help", loads_library=True, PHOTARC_LIBRARY=library)
    assert run(str(venv / "bin" / "python"), "-c", SHOW_PANEL, loads_library=True, PHOTARC_LIBRARY=library).startswith("True ")


def test_cmake_install_into_a_prefix_needs_no_variable(tmp_path, simulator):
    prefix = tmp_path / "venv"
    run(sys.executable, "-m", "venv", "--without-pip", str(prefix))
    run("cmake", "--install", str(BUILD_DIR), "--prefix", str(prefix))
    version, path = run(str(prefix / "bin" / "python"), "-c", SHOW, loads_library=True).split()
    assert version == "1.1.16" and os.path.realpath(path).startswith(os.path.realpath(prefix) + os.sep)
    page, chart = run(str(prefix / "bin" / "python"), "-c", SHOW_PANEL, loads_library=True).split()
    assert page == "True" and os.path.realpath(chart).startswith(os.path.realpath(prefix) + os.sep)  # its own copy
    command = (str(prefix / "bin" / "photarc"), "127.0.0.1", "--port", str(simulator.port), "get", "0")
    assert run(*command, loads_library=True) == "0\n"
