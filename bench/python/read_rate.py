"""Reads per second of ``channel.intensity`` through the photarc package, alternating with the
same reads made by C code straight through the library, on one engine connected over TCP to
photarc-sim. Prints the medians of several rounds and the package's share of the C rate."""

import argparse
import ctypes
import statistics
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "python"))
import photarc  # noqa: E402

BATCH = 100  # reads between two looks at the clock, on both sides


def rate(read_batch, seconds):
    count = 0
    start = now = time.perf_counter()
    end = start + seconds
    while now < end:
        read_batch()
        count += BATCH
        now = time.perf_counter()
    return count / (now - start)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--sim", required=True, help="the photarc-sim program")
    parser.add_argument("--native", required=True, help="the benchmark's C library (bench_read_intensities)")
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--seconds", type=float, default=0.5)
    args = parser.parse_args()

    native = ctypes.CDLL(args.native).bench_read_intensities
    native.argtypes = (ctypes.c_void_p, ctypes.c_int32, ctypes.c_int32)
    simulator = subprocess.Popen([args.sim, "--port", "0"], stdout=subprocess.PIPE, text=True)
    try:
        simulator.stdout.readline()
        port = int(simulator.stdout.readline())
        with photarc.connect("127.0.0.1", port) as engine:
            channel = engine.channel(0)

            def through_package():
                for _ in range(BATCH):
                    channel.intensity

            def through_c():
                # The same engine's handle, so both sides share one connection.
                if native(engine._handle.value, 0, BATCH) != 0:
                    raise RuntimeError("a read through the library failed")

            rate(through_package, args.seconds / 5)  # warm up both paths
            rate(through_c, args.seconds / 5)
            package_rates, c_rates = [], []
            for _ in range(args.rounds):
                package_rates.append(rate(through_package, args.seconds))
                c_rates.append(rate(through_c, args.seconds))
    finally:
        simulator.terminate()
        simulator.wait()
    package, c = statistics.median(package_rates), statistics.median(c_rates)
    print(f"TCP  package {package:9.0f}/s   C {c:9.0f}/s   package/C {100 * package / c:5.1f}%   "
          f"({args.rounds} rounds of {args.seconds:.2f} s, medians)")


if __name__ == "__main__":
    main()
