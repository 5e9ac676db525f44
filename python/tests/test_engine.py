"""LightEngine and Channel against the simulator (TCP and pseudo-terminal), devices of the tests'
own and our OrvantaDLL64."""

import subprocess
import sys
import threading

import pytest

import photarc
from conftest import CLI_ENVIRONMENT


def test_identity_and_readings(start_simulator):
    sim = start_simulator("--model", "LAB ENGINE 7", "--serial-number", "SN-42", "--firmware", "9.8.7",
                          "--ip", "10.1.2.3", "--channels", "CYAN,GREEN,RED", "--max-intensity", "500")
    for transport in ("tcp", "serial"):
        with photarc.connect(**sim.address(transport)) as engine:
            assert engine.connected and not engine.is_legacy
            assert (engine.model, engine.serial_number, engine.firmware_version, engine.ip) == (
                "LAB ENGINE 7", "SN-42", "9.8.7", "10.1.2.3")
            assert (engine.max_intensity, engine.channel_count) == (500, 3)
            assert engine.channel_names == ["CYAN", "GREEN", "RED"]
            assert [(c.index, c.name) for c in engine.channels] == [(0, "CYAN"), (1, "GREEN"), (2, "RED")]
            assert isinstance(engine.temperature, float) and engine.supply_power_w == 12.0
            assert engine.status_code == 0
            engine.disconnect()
            assert not engine.connected


def test_settings_reach_the_device(engine):
    engine.ip = "172.16.0.9"
    engine.power_reference = [100, 200, 300, 400, 500]
    engine.ttl_enabled = True
    engine.ttl_polarity = 0
    engine.intensities = [10, 20, 30, 40, 50]
    engine.states = [True, False, True, False, False]
    assert engine.command("GET MULCHINT").split()[2:] == ["10", "20", "30", "40", "50"]
    assert engine.command("GET MULCH").split()[2:] == ["1", "0", "1", "0", "0"]
    assert (engine.ip, engine.power_reference, engine.ttl_enabled, engine.ttl_polarity) == (
        "172.16.0.9", [100, 200, 300, 400, 500], True, 0)
    assert engine.intensities == [10, 20, 30, 40, 50]
    assert engine.states == [True, False, True, False, False]
    engine.power_lock = True
    assert engine.power_lock
    with pytest.raises(photarc.DeviceError) as refused:  # the lock holds intensities
        engine.channel(0).intensity = 1
    assert refused.value.code == 59


def test_channel_objects(engine):
    red = engine.channel("RED")
    assert (red.index, red.name) == (4, "RED") and engine.channel(4).name == "RED"
    assert red.power_count == 0 and red.power_mw == 0.0
    red.intensity = 800
    red.on = True
    assert engine.command("GET CHINT 4").split()[2] == "800" and engine.command("GET CH 4").split()[2] == "1"
    assert (red.intensity, red.on) == (800, True)
    assert red.power_count > 0 and red.power_mw > 0.0
    assert engine.states == [False, False, False, False, True]
    red.on = False
    assert not red.on


def test_device_control(engine):
    engine.shutdown()
    with pytest.raises(photarc.DeviceError) as asleep:
        engine.channel(0).on = True
    assert asleep.value.code == 58
    engine.wake_up()
    engine.channel(0).on = True
    engine.restart()
    assert engine.states == [False] * 5


def test_texts_longer_than_1024_characters(start_simulator):
    model = "WIDE " + "M" * 3000
    with photarc.connect(start_simulator("--model", model).serial_path) as engine:
        assert engine.model == model
        assert engine.command("GET MODEL").rstrip() == f"A GET_MODEL {model}"


def test_a_command_goes_out_once_whatever_the_length_of_its_reply(fake_device):
    replies = {"SET A": "A SET_A " + "Z" * 5000, "SET B": "A SET_B " + "Z" * ((1 << 20) - len("A SET_B "))}
    device = fake_device("serial", replies.get)
    with photarc.connect(**device.address) as engine:
        for command, reply in replies.items():
            assert engine.command(command) == reply
            assert device.received() == [command]


@pytest.mark.parametrize("transport", ["tcp", "serial"])
def test_a_program_ends_while_its_thread_waits_for_a_silent_device(fake_device, transport):
    device = fake_device(transport, lambda command: None)
    program = (
        "import sys, threading, photarc\n"
        "engine = photarc.connect(*sys.argv[1:2], *map(int, sys.argv[2:]))\n"
        "threading.Thread(target=engine.command, args=('GET MODEL',), daemon=True).start()\n"
        "sys.stdin.readline()\n"
    )
    port = [str(device.address["port"])] if transport == "tcp" else []
    child = subprocess.Popen([sys.executable, "-c", program, str(device.address["address"]), *port],
                             stdin=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=CLI_ENVIRONMENT)
    try:
        assert device.next_command() == "GET MODEL"
        _, stderr = child.communicate("\n", timeout=30)  # far less than the reply time-out
    finally:
        if child.poll() is None:
            child.kill()
            child.communicate()
    assert (child.returncode, stderr) == (0, "")


def test_legacy_engine(orvanta, com_port):
    with photarc.LightEngine.legacy("VEXOR7") as engine:
        assert engine.is_legacy and not engine.connected and engine.channel_count == 0
        engine.connect(com_port)
        assert engine.channel_names == ["VIOLET", "BLUE", "CYAN", "TEAL", "GREEN", "YELLOW", "RED"]
        engine.channel("BLUE").intensity = 40
        engine.channel(2).on = True
        assert orvanta.calls()[-2:] == ['ovColorLevel("BLUE", "40")', 'ovColorEnable("CYAN", "ON")']
        assert engine.intensities == [0, 40, 0, 0, 0, 0, 0] and engine.states[:3] == [False, False, True]
        with pytest.raises(photarc.DeviceError) as unsupported:
            engine.serial_number
        assert (unsupported.value.code, unsupported.value.text) == (-1, "Function not supported by Legacy protocol.")
    assert photarc.LightEngine.legacy(8).model == "VEXORX"
    assert photarc.LightEngine.legacy("TOVRA3").is_legacy and photarc.LightEngine.legacy(10).is_legacy


def test_scripts(engine, simulator, tmp_path):
    script = tmp_path / "ramp.chai"
    script.write_text("for (var i = 0; i < 5; ++i) { setIntensity(i, 100 * i) }\n")
    engine.run_script(script)
    assert engine.intensities == [0, 100, 200, 300, 400]
    script.write_text("setIntensity(0, 7)\nnoSuchFunction()\n")
    with pytest.raises(photarc.DeviceError) as failed:
        engine.run_script(str(script))
    assert failed.value.code == -1 and failed.value.text.startswith(f"{script}#2#")
    assert engine.channel(0).intensity == 7

    script.write_text(f'var e = Gen3LightEngine()\ne.connectTCP("127.0.0.1", {simulator.port})\n'
                      'e.setIntensity(3, 33)\n')
    photarc.run_script(script)
    assert engine.channel(3).intensity == 33
    with pytest.raises(photarc.DeviceError):
        photarc.run_script(tmp_path / "missing.chai")


def test_closed_engine_refuses_every_use(simulator):
    engine = photarc.connect("127.0.0.1", simulator.port)
    channel = engine.channel(0)
    with engine:
        pass
    engine.close()
    assert engine.closed
    uses = [lambda: engine.model, lambda: engine.connected, lambda: engine.is_legacy, lambda: engine.last_error,
            lambda: engine.channel(0), lambda: engine.command("GET MODEL"), engine.disconnect,
            lambda: engine.connect("127.0.0.1", simulator.port), lambda: setattr(engine, "intensities", [0] * 5),
            lambda: channel.intensity, lambda: setattr(channel, "on", True)]
    for use in uses:
        with pytest.raises(ValueError):
            use()


def test_python_side_mistakes_never_reach_the_library(engine):
    first = engine.channel(0)
    with pytest.raises(photarc.DeviceError):
        engine.channel("PURPLE")
    mistakes = [
        (TypeError, lambda: setattr(first, "intensity", "500")),
        (ValueError, lambda: setattr(first, "intensity", 2**31)),
        (ValueError, lambda: setattr(first, "on", 2)),
        (TypeError, lambda: engine.channel(1.0)),
        (ValueError, lambda: engine.command("GET\0MODEL")),
        (TypeError, lambda: engine.connect("127.0.0.1", "8095")),
        (TypeError, lambda: setattr(engine, "intensities", "12345")),
        (TypeError, lambda: setattr(engine, "power_reference", [1, None])),
        (TypeError, lambda: photarc.LightEngine.legacy(2.0)),
    ]
    for error, mistake in mistakes:
        with pytest.raises(error):
            mistake()
    assert engine.last_error == (-1, "Invalid channel name PURPLE")  # no call cleared it
    for wrong in ([True] * 4, [True] * 6):
        with pytest.raises(ValueError):
            engine.states = wrong
    assert engine.states == [False] * 5


def test_threads_share_one_engine(engine):
    failures = []

    def ramp(index):
        channel = engine.channel(index)
        for value in range(index, 400, 7):
            channel.intensity = value
            if channel.intensity != value:
                failures.append((index, value))

    def refused():
        for _ in range(50):
            try:
                photarc.Channel(engine, 9, "NINTH").intensity = 1
            except photarc.DeviceError as error:
                if (error.code, error.text) != (51, "Error : Invalid channel index"):
                    failures.append((error.code, error.text))

    threads = [threading.Thread(target=ramp, args=(i,)) for i in range(5)] + [threading.Thread(target=refused)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert failures == []
