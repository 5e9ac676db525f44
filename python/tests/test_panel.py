"""The bench panel's JSON API and command against photarc-sim over TCP: state, changes, device
errors, the security gate, bad input, the event stream and a link that drops and comes back."""

import logging
import os
import re
import signal
import subprocess
import sys
import threading

import pytest

import photarc
from conftest import PYTHON_DIR, PanelClient, next_state
from photarc.panel import Panel

OVERLOAD = "Error : Command is ignored because it would overload the power supply"


def device(simulator):
    """A second connection to the simulator, to see what reached the device."""
    return photarc.connect("127.0.0.1", simulator.port)


def test_state_matches_the_device_and_changes_reach_it(start_simulator, start_panel):
    sim = start_simulator("--model", "LAB 9", "--serial-number", "SN-7", "--firmware", "2.0", "--ip", "10.0.0.5",
                          "--channels", "CYAN,TEAL,RED", "--max-intensity", "400")
    client, _ = start_panel(sim)
    state = client.ok("GET", "/api/state")
    assert {key: state[key] for key in ("connected", "model", "serial_number", "firmware_version", "ip",
                                        "supply_power_w", "status_code", "max_intensity", "power_lock",
                                        "ttl_enabled", "ttl_polarity")} == {
        "connected": True, "model": "LAB 9", "serial_number": "SN-7", "firmware_version": "2.0", "ip": "10.0.0.5",
        "supply_power_w": 12.0, "status_code": 0, "max_intensity": 400, "power_lock": False,
        "ttl_enabled": False, "ttl_polarity": 1}
    assert isinstance(state["temperature"], float) and all(state["supports"].values())
    assert state["channels"] == [{"index": i, "name": name, "on": False, "intensity": 0, "power_mw": 0.0}
                                 for i, name in enumerate(["CYAN", "TEAL", "RED"])]

    red = client.ok("PUT", "/api/channels/RED", {"on": True, "intensity": 400})["channels"][2]
    assert red["on"] and red["intensity"] == 400 and red["power_mw"] > 0  # read back from the device
    client.ok("PUT", "/api/channels/0", {"intensity": 7})
    client.ok("PUT", "/api/channels", {"on": True})
    client.ok("PUT", "/api/power_lock", {"on": True})
    after = client.ok("PUT", "/api/ttl", {"enabled": True, "polarity": 0})
    assert (after["power_lock"], after["ttl_enabled"], after["ttl_polarity"]) == (True, True, 0)
    with device(sim) as engine:
        assert (engine.intensities, engine.states) == ([7, 0, 400], [True, True, True])
        assert (engine.power_lock, engine.ttl_enabled, engine.ttl_polarity) == (True, True, 0)
    assert client.ok("POST", "/api/command", {"text": "GET MODEL"}) == {"reply": "A GET_MODEL LAB 9\r\n"}
    client.ok("POST", "/api/command", {"text": "SET PWRLOCK 0"})
    assert client.ok("PUT", "/api/channels", {"intensity": 5})["channels"][1]["intensity"] == 5


def test_device_errors_come_back_with_code_and_text(simulator, start_panel):
    client, _ = start_panel(simulator)
    stream = client.events()
    client.ok("PUT", "/api/channels", {"intensity": 1000})
    status, answer = client.call("PUT", "/api/channels", {"on": True})
    assert (status, answer) == (409, {"error": {"result": 11001, "code": 63, "text": OVERLOAD}})
    # Every page hears the device's real state after the refusal.
    assert next_state(stream, lambda state: state["channels"][0]["intensity"] == 1000)["channels"][0]["on"] is False
    client.ok("PUT", "/api/power_lock", {"on": True})
    status, answer = client.call("PUT", "/api/channels/BLUE", {"intensity": 3})
    assert status == 409 and answer["error"]["code"] == 59
    with device(simulator) as engine:
        assert engine.states == [False] * 5 and engine.intensities == [1000] * 5


def test_an_older_device_shows_what_its_family_can_do(com_port):
    engine = photarc.LightEngine.legacy("VEXOR7")
    engine.connect(com_port)
    with engine, Panel(engine, lambda: engine.connect(com_port), ("127.0.0.1", 0)).start() as panel:
        client = PanelClient(panel.url)
        state = client.ok("PUT", "/api/channels/YELLOW", {"on": True, "intensity": 100})
        assert state["model"] == "VEXOR7" and len(state["channels"]) == 7 and state["max_intensity"] == 100
        assert [state[key] for key in ("serial_number", "ip", "temperature", "power_lock", "ttl_polarity")] == [None] * 5
        assert not any(state["supports"].values())
        assert state["channels"][5] == {"index": 5, "name": "YELLOW", "on": True, "intensity": 100, "power_mw": None}
        status, answer = client.call("PUT", "/api/power_lock", {"on": True})
        assert (status, answer["error"]["code"], answer["error"]["text"]) == (
            409, -1, "Function not supported by Legacy protocol.")


def test_only_the_panels_own_requests_pass(simulator, start_panel, caplog):
    client, panel = start_panel(simulator)
    token = client.token
    assert len(token) >= 22  # at least 128 bits
    on = {"on": True}
    own = f"http://127.0.0.1:{client.port}"
    caplog.set_level(logging.DEBUG, logger="photarc.panel")
    refused = [
        (401, "PUT", "/api/channels/RED", {}, None),
        (401, "PUT", "/api/channels/RED", {}, token[:-1] + "x"),
        (401, "PUT", "/api/channels/RED", {"Authorization": f"Basic {token}"}, None),
        (401, "GET", f"/api/state?token={token}", {}, None),  # only the event stream takes it there
        (401, "GET", "/api/events?token=wrong", {}, None),
        (403, "GET", "/api/state", {"Host": f"attacker.example:{client.port}"}, ""),
        (403, "GET", "/", {"Host": "127.0.0.1:1"}, None),
        (403, "PUT", "/api/channels/RED", {"Origin": "http://attacker.example"}, ""),
        (403, "PUT", "/api/channels/RED", {"Origin": "null"}, ""),
    ]
    for status, method, path, headers, key in refused:
        answer = client.call(method, path, on if method == "PUT" else None, token=key, headers=headers)
        assert answer == (status, {"error": {"result": 0, "code": 13, "text": answer[1]["error"]["text"]}}), path
    with device(simulator) as engine:
        assert engine.states == [False] * 5  # nothing reached the device
    assert client.call("GET", "/api/state", headers={"Host": f"localhost:{client.port}"})[0] == 200
    assert client.call("PUT", "/api/channels/RED", on, headers={"Origin": own})[0] == 200
    assert client.call("GET", "/api/state", headers={"Origin": "http://attacker.example"})[0] == 200
    assert next(client.events(f"/api/events?token={token}"))["connected"]
    assert caplog.records and not any(token in record.getMessage() for record in caplog.records)


def test_bad_input_is_refused_before_the_device(simulator, start_panel):
    client, _ = start_panel(simulator)
    cases = [
        (404, "PUT", "/api/channels/PURPLE", {"on": True}),
        (404, "PUT", "/api/channels/5", {"on": True}),
        (404, "PUT", "/api/channels/red", {"on": True}),
        (404, "GET", "/api/nothing", None),
        (404, "GET", "/nothing.html", None),
        (405, "GET", "/api/channels", None),
        (405, "DELETE", "/api/state", None),
        (405, "BREW", "/api/command", None),
        (400, "PUT", "/api/channels/RED", {"intensity": 1001}),
        (400, "PUT", "/api/channels/RED", {"intensity": -1}),
        (400, "PUT", "/api/channels/RED", {"intensity": 5.5}),
        (400, "PUT", "/api/channels/RED", {"intensity": "5"}),
        (400, "PUT", "/api/channels", {"intensity": True}),
        (400, "PUT", "/api/channels/RED", {"on": 1}),
        (400, "PUT", "/api/channels/RED", {"of": True}),
        (400, "PUT", "/api/channels/RED", {}),
        (400, "PUT", "/api/channels/RED", [True]),
        (400, "PUT", "/api/channels/RED", b"{\"on\": tru"),
        (400, "PUT", "/api/channels/RED", b"[" * 60000),
        (400, "PUT", "/api/ttl", {"polarity": 2}),
        (400, "PUT", "/api/ttl", {"polarity": 1.0}),
        (400, "POST", "/api/command", {"text": "SET CH 0 1\nSET CH 1 1"}),
        (400, "POST", "/api/command", {"text": ""}),
        (413, "PUT", "/api/channels/RED", b" " * (64 * 1024 + 1)),
    ]
    for status, method, path, body in cases:
        answer = client.call(method, path, body)
        assert answer[0] == status and answer[1]["error"]["result"] == 0 and answer[1]["error"]["code"] == 22, (
            method, path, body, answer)
    assert client.call("POST", "/api/command", {"text": "A\rB"})[1]["error"]["text"] == (
        "Invalid argument: line break in command text")
    with device(simulator) as engine:
        assert engine.states == [False] * 5 and engine.intensities == [0] * 5
    assert client.ok("GET", "/api/state")["connected"]  # still serving


def test_event_streams_follow_changes_and_let_go_of_clients(simulator, start_panel):
    client, panel = start_panel(simulator)
    streams = [client.events() for _ in range(3)]
    assert all(next(stream)["connected"] for stream in streams)
    client.ok("PUT", "/api/channels/GREEN", {"on": True})
    for stream in streams:
        assert next_state(stream, lambda state: state["channels"][3]["on"])
    assert panel.broadcaster.followers == 3
    for stream in streams:
        stream.close()
    released = threading.Event()

    def watch():  # a stream ends at its next write once its client is gone
        while panel.broadcaster.followers and not released.wait(0.05):
            pass
        released.set()

    watcher = threading.Thread(target=watch)
    watcher.start()
    watcher.join(10)
    assert panel.broadcaster.followers == 0


def test_a_dropped_link_is_shown_and_can_be_reconnected(start_simulator, start_panel):
    sim = start_simulator()
    client, _ = start_panel(sim)
    stream = client.events()
    sim.stop()
    lost = next_state(stream, lambda state: not state["connected"])
    assert lost["link_error"] and lost["model"] == "PHOTARC SIM 5" and lost["channels"][0]["on"] is None
    status, answer = client.call("PUT", "/api/channels/RED", {"on": True})
    assert status == 503 and answer["error"]["text"].startswith("Not connected")
    status, answer = client.call("POST", "/api/reconnect")
    assert status == 503 and answer["error"]["result"] == 11004
    start_simulator("--port", str(sim.port), "--channels", "RED")
    assert client.ok("POST", "/api/reconnect")["channels"] == [
        {"index": 0, "name": "RED", "on": False, "intensity": 0, "power_mw": 0.0}]
    assert client.ok("PUT", "/api/channels/RED", {"on": True})["connected"]
    assert next_state(stream, lambda state: state["connected"] and state["channels"][0]["on"])


def run_panel(*arguments, **environment):
    command = [sys.executable, "-m", "photarc", *arguments]
    return subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                            env={**os.environ, "PYTHONPATH": str(PYTHON_DIR), **environment})


def test_command_line_serves_until_interrupted(simulator, tmp_path):
    browser = tmp_path / "browser"  # the default browser for --open: says what it was asked to open
    browser.write_text('#!/bin/sh\necho "opened $1"\n')
    browser.chmod(0o755)
    panel = run_panel("127.0.0.1", "--port", str(simulator.port), "panel", "--listen", "127.0.0.1:0", "--open",
                      BROWSER=str(browser))
    try:
        url = panel.stdout.readline().strip()
        assert re.fullmatch(r"http://127\.0\.0\.1:\d+/\?token=[\w-]{43}", url), url
        assert panel.stdout.readline() == f"opened {url}\n"
        client = PanelClient(url)
        assert client.ok("GET", "/api/state")["model"] == "PHOTARC SIM 5"
        taken = run_panel("127.0.0.1", "--port", str(simulator.port), "panel", "--listen", f"127.0.0.1:{client.port}")
        assert taken.wait(60) == 1 and taken.communicate()[1].startswith("error: cannot listen on 127.0.0.1:")
    finally:
        panel.send_signal(signal.SIGINT)
        out, err = panel.communicate(timeout=60)
    assert (panel.returncode, out, err) == (0, "", "")

    refused = run_panel("127.0.0.1", "--port", "1", "panel")
    out, err = refused.communicate(timeout=60)
    assert refused.returncode == 1 and err == "error 11004: TCP connect to server failed: 111\n"
    assert "http://" not in out
