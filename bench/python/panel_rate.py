"""The bench panel against photarc-sim over TCP.

1. `GET /api/state` through the panel (one kept-alive HTTP connection) against the same reads
   made through the package directly, on a second connection to the same simulator: the panel's
   cost per request is the difference of the medians.
2. Clients following the event stream (20 at a 1 s interval for a minute by default): the
   panel's CPU use then, against the same time with none, and the events each client received.
"""

import argparse
import http.client
import os
import statistics
import subprocess
import sys
import threading
import time
from pathlib import Path
from urllib.parse import urlsplit

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "python"))
import photarc  # noqa: E402
from photarc.panel._hub import EngineHub  # noqa: E402


def per_call_ms(call, count):
    start = time.perf_counter()
    for _ in range(count):
        call()
    return 1000 * (time.perf_counter() - start) / count


def cpu_seconds(pid):
    """User and system time of a process so far (Linux)."""
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def follow(host, port, token, seconds, counts, index):
    connection = http.client.HTTPConnection(host, port, timeout=30)
    connection.request("GET", f"/api/events?token={token}")
    response = connection.getresponse()
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        line = response.readline()
        if not line:
            break
        if line.startswith(b"event: state"):
            counts[index] += 1
    connection.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--sim", required=True, help="the photarc-sim program")
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--requests", type=int, default=200, help="requests per round and side")
    parser.add_argument("--clients", type=int, default=20)
    parser.add_argument("--seconds", type=float, default=60.0, help="how long the clients follow")
    args = parser.parse_args()

    simulator = subprocess.Popen([args.sim, "--port", "0"], stdout=subprocess.PIPE, text=True)
    panel = None
    try:
        simulator.stdout.readline()
        port = simulator.stdout.readline().strip()
        environment = dict(os.environ, PYTHONPATH=str(Path(__file__).resolve().parents[2] / "python"))
        panel = subprocess.Popen([sys.executable, "-m", "photarc", "127.0.0.1", "--port", port, "panel",
                                  "--listen", "127.0.0.1:0", "--interval", "1"],
                                 stdout=subprocess.PIPE, text=True, env=environment)
        url = urlsplit(panel.stdout.readline().strip())
        token = url.query.split("token=", 1)[1]
        web = http.client.HTTPConnection(url.hostname, url.port, timeout=30)

        def through_panel():
            web.request("GET", "/api/state", headers={"Authorization": f"Bearer {token}"})
            response = web.getresponse()
            response.read()
            assert response.status == 200

        with photarc.connect("127.0.0.1", int(port)) as engine:
            hub = EngineHub(engine, lambda: None, lambda state: None)
            per_call_ms(through_panel, 20)  # warm up both paths
            per_call_ms(hub.state, 20)
            panel_ms, direct_ms = [], []
            for _ in range(args.rounds):
                panel_ms.append(per_call_ms(through_panel, args.requests))
                direct_ms.append(per_call_ms(hub.state, args.requests))
        web.close()
        through, direct = statistics.median(panel_ms), statistics.median(direct_ms)
        print(f"GET /api/state  panel {through:6.2f} ms   package directly {direct:6.2f} ms   "
              f"panel adds {through - direct:5.2f} ms a request   ({args.rounds} rounds of {args.requests}, medians)")

        idle_start = cpu_seconds(panel.pid)
        quiet = min(args.seconds, 10.0)
        time.sleep(quiet)  # the panel alone, reading once a second
        idle = (cpu_seconds(panel.pid) - idle_start) / quiet
        counts = [0] * args.clients
        clients = [threading.Thread(target=follow, args=(url.hostname, url.port, token, args.seconds, counts, i))
                   for i in range(args.clients)]
        busy_start = cpu_seconds(panel.pid)
        for client in clients:
            client.start()
        for client in clients:
            client.join()
        busy = (cpu_seconds(panel.pid) - busy_start) / args.seconds
        print(f"event stream   {args.clients} clients for {args.seconds:.0f} s at 1 s: panel CPU {100 * busy:5.2f}% "
              f"of a core (none following: {100 * idle:5.2f}%), events per client {min(counts)} to {max(counts)}")
    finally:
        for process in (panel, simulator):
            if process is not None:
                process.terminate()
                process.wait()


if __name__ == "__main__":
    main()
