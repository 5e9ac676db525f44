"""The command line: output and exit status of each command, and how it ends."""

import signal
import subprocess

import pytest

from conftest import CLI_ENVIRONMENT, cli_command, run_cli, run_cli_in_bounds


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
    assert run_cli(*target, "raw", " ", check_status=1).stderr == "error 22: Invalid argument: empty command text\n"
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


@pytest.mark.parametrize("count", ["2000000000", "-1"])
def test_a_channel_count_beyond_reason_is_a_device_failure(fake_device, count):
    device = fake_device("tcp", lambda command: f"A NUMCH {count}" if command == "GET NUMCH" else "A X 1")
    for command in (["on", "all"], ["info"]):
        failed = run_cli_in_bounds(*device.cli_target, *command, check_status=1, memory_mb=500)
        assert failed.stderr == f"error -1: Channel count out of range (0 to 1024): {count}\n"


@pytest.mark.parametrize("command", ["raw", "script"])
def test_an_interrupt_ends_the_command_line_whatever_it_waits_for(fake_device, tmp_path, command):
    # The device keeps silent after the first command: a raw command waits for its reply, the
    # script runs on without end.
    device = fake_device("tcp", lambda text: "A MODEL X" if command == "script" else None)
    script = tmp_path / "forever.chai"
    script.write_text('executeCommand("GET MODEL")\nwhile (true) { }\n')
    arguments = ["raw", "GET MODEL"] if command == "raw" else ["script", str(script)]
    child = subprocess.Popen(cli_command(*device.cli_target, *arguments), stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, text=True, env=CLI_ENVIRONMENT,
                             preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL))
    try:
        assert device.next_command() == "GET MODEL"
        child.send_signal(signal.SIGINT)
        child.send_signal(signal.SIGINT)
        _, stderr = child.communicate(timeout=30)
    finally:
        if child.poll() is None:
            child.kill()
            child.communicate()
    own_lines = [line for line in stderr.splitlines() if not line.startswith("==")]  # not a sanitizer's notes
    assert (child.returncode, own_lines) == (130, ["interrupted"])
