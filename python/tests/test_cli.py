"""The command line: output and exit status of each command."""

import pytest

from conftest import run_cli


@pytest.mark.parametrize("transport", ["tcp", "serial"])
def test_commands_drive_the_device(simulator, transport, tmp_path):
    target = ["127.0.0.1", "--port", str(simulator.port)] if transport == "tcp" else [simulator.serial_path]
    assert run_cli(*target, "set", "RED", "250").stdout == ""
    run_cli(*target, "on", "4")
    assert run_cli(*target, "get", "4").stdout == "250\n"
    assert run_cli(*target, "raw", "GET CH 4").stdout == "A GET_CH_4 1\n"
    script = tmp_path / "two.chai"
    script.write_text("setIntensity(1, 2)\n")
    run_cli(*target, "script", str(script))

    info = run_cli(*target, "info").stdout.splitlines()
    assert info[0] == "model: PHOTARC SIM 5" and info[3].startswith("temperature: ")
    assert info[1].startswith("serial number: ") and info[2].startswith("firmware version: ")
    assert info[4:6] == ["0 VIOLET: intensity 0, off, 0.000 mW", "1 BLUE: intensity 2, off, 0.000 mW"]
    assert info[8].startswith("4 RED: intensity 250, on, ") and len(info) == 9

    run_cli(*target, "off", "all")
    assert run_cli(*target, "raw", "GET MULCH").stdout == "A GET_MULCH 0 0 0 0 0\n"


def test_failures_and_usage_mistakes(simulator):
    target = ["127.0.0.1", "--port", str(simulator.port)]
    run_cli(*target, "raw", "SET MULCHINT 1000 1000 1000 1000 1000")
    overload = run_cli(*target, "on", "all", check_status=1)
    assert overload.stderr == "error 63: Command is ignored because it would overload the power supply\n"
    assert run_cli(*target, "get", "PURPLE", check_status=1).stderr == "error -1: Invalid channel name PURPLE\n"
    refused = run_cli("127.0.0.1", "--port", "1", "info", check_status=1)
    assert refused.stderr == "error 11004: TCP connect to server failed: 111\n"
    for mistake in (["127.0.0.1"], [*target, "set", "RED", "bright"], [*target, "dim", "RED"]):
        assert "usage: photarc" in run_cli(*mistake, check_status=2).stderr


def test_legacy_device(com_port):
    info = run_cli(com_port, "--legacy", "2", "info").stdout.splitlines()
    assert info[:3] == ["model: KORV", "serial number: n/a", "firmware version: n/a"]
    assert info[4].endswith(": intensity 0, off, n/a mW")
    failure = run_cli(com_port, "--legacy", "NOSUCH", "info", check_status=1)
    assert failure.stderr == "error 11004: Unrecognized model NOSUCH\n"
