"""The command line: ``photarc ADDRESS [--port N] [--baud N] [--legacy MODEL] COMMAND ...``."""

from __future__ import annotations

import argparse
import os
import signal
import sys
import threading
from typing import Callable, List, Optional, Tuple, TypeVar, Union

from . import panel
from ._engine import DEFAULT_PORT, LightEngine
from ._errors import DeviceError, PhotarcError, brief

T = TypeVar("T")

INTERRUPTED = 130  # the shell's status for a program ended by SIGINT
# Windows does not wake a waiting thread for Ctrl-C: the wait ends this often to let it through.
_WAKE_INTERVAL = 0.25


def _parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(prog="photarc", description="Drive a light engine from the command line.")
    parser.add_argument("address", help='serial port ("COM3", "/dev/ttyUSB0") or TCP host')
    parser.add_argument("--port", type=int, default=DEFAULT_PORT, help="TCP port (default %(default)s)")
    parser.add_argument("--baud", type=int, help="serial baud rate (default 115200, 9600 for --legacy)")
    parser.add_argument("--legacy", metavar="MODEL", help='an older device: model number or name ("TOVRA3", ...)')
    commands = parser.add_subparsers(dest="command", metavar="COMMAND", required=True)
    commands.add_parser("info", help="identity, temperature and every channel")
    commands.add_parser("get", help="a channel's intensity").add_argument("channel", metavar="CHANNEL")
    setter = commands.add_parser("set", help="set a channel's intensity")
    setter.add_argument("channel", metavar="CHANNEL")
    setter.add_argument("intensity", metavar="INTENSITY", type=int)
    for word in ("on", "off"):
        switch = commands.add_parser(word, help=f"switch a channel (or all) {word}")
        switch.add_argument("channel", metavar="CHANNEL|all")
    commands.add_parser("raw", help="send a raw command, print the reply").add_argument("text", metavar="TEXT")
    commands.add_parser("script", help="run a ChaiScript file against the engine").add_argument("file", metavar="FILE")
    _add_panel(commands)
    return parser


def _add_panel(commands: "argparse._SubParsersAction[argparse.ArgumentParser]") -> None:
    def seconds(text: str) -> float:
        value = float(text)
        if not 0 < value < float("inf"):
            raise argparse.ArgumentTypeError(f"{text!r} is not a positive number of seconds")
        return value

    def address(text: str) -> Tuple[str, int]:
        try:
            return panel.parse_listen(text)
        except ValueError as error:
            raise argparse.ArgumentTypeError(str(error)) from None

    serve = commands.add_parser("panel", help="serve a bench panel in the browser until Ctrl-C")
    serve.add_argument("--listen", metavar="HOST:PORT", type=address, default=panel.DEFAULT_LISTEN,
                       help="address to serve on (default 127.0.0.1:8300)")
    serve.add_argument("--interval", metavar="SECONDS", type=seconds, default=1.0,
                       help="reading interval (default 1)")
    serve.add_argument("--open", action="store_true", help="also open the page in the default browser")


def _channel_key(text: str) -> Union[int, str]:
    """A channel on the command line is an index when it is a number, else a name."""
    try:
        return int(text)
    except ValueError:
        return text


def _open(args: argparse.Namespace) -> LightEngine:
    if args.legacy is None:
        engine = LightEngine()
    else:
        engine = LightEngine.legacy(int(args.legacy) if args.legacy.isdigit() else args.legacy)
    try:
        engine.connect(args.address, args.port, args.baud)
    except BaseException:
        engine.close()
        raise
    return engine


def _or_unsupported(read: Callable[[], T], legacy: bool) -> Union[T, str]:
    """Older devices cannot answer every question; their gaps show as "n/a"."""
    try:
        return read()
    except DeviceError:
        if legacy:
            return "n/a"
        raise


def _info(engine: LightEngine) -> None:
    legacy = engine.is_legacy
    print(f"model: {engine.model}")
    print(f"serial number: {_or_unsupported(lambda: engine.serial_number, legacy)}")
    print(f"firmware version: {_or_unsupported(lambda: engine.firmware_version, legacy)}")
    print(f"temperature: {engine.temperature}")
    for channel in engine.channels:
        power = _or_unsupported(lambda: f"{channel.power_mw:.3f}", legacy)
        state = "on" if channel.on else "off"
        print(f"{channel.index} {channel.name}: intensity {channel.intensity}, {state}, {power} mW")


def _switch(engine: LightEngine, target: str, on: bool) -> None:
    if target == "all":
        engine.states = [on] * engine.channel_count
    else:
        engine.channel(_channel_key(target)).on = on


def _run(engine: LightEngine, args: argparse.Namespace) -> None:
    if args.command == "info":
        _info(engine)
    elif args.command == "get":
        print(engine.channel(_channel_key(args.channel)).intensity)
    elif args.command == "set":
        engine.channel(_channel_key(args.channel)).intensity = args.intensity
    elif args.command in ("on", "off"):
        _switch(engine, args.channel, args.command == "on")
    elif args.command == "raw":
        print(engine.command(args.text).rstrip("\r\n"))
    elif args.command == "script":
        engine.run_script(args.file)


def _interrupted(signal_number: int, frame: object) -> None:
    """Ends the program at once: a library call in progress (a silent device, a script without end)
    cannot be stopped, and waiting for it, or for the handle it holds, could take for ever."""
    print("interrupted", file=sys.stderr, flush=True)
    try:
        sys.stdout.flush()  # what was printed so far
    except (OSError, ValueError):
        pass
    os._exit(INTERRUPTED)


def _stop_on_interrupt() -> None:
    """Makes SIGINT end the program (unless it was set to be ignored, as for background jobs)."""
    if threading.current_thread() is threading.main_thread() and signal.getsignal(signal.SIGINT) != signal.SIG_IGN:
        signal.signal(signal.SIGINT, _interrupted)


def _on_worker(work: Callable[[], T]) -> T:
    """Runs `work` on another thread and waits for it where a signal can still be handled.

    A library call blocks the thread that makes it, and Python runs signal handlers on the main
    thread only. Whatever `work` raises is raised here; otherwise its result is returned.
    """
    outcome: List[Tuple[bool, object]] = []

    def run() -> None:
        try:
            outcome.append((True, work()))
        except BaseException as error:  # handed to the main thread
            outcome.append((False, error))

    worker = threading.Thread(target=run, name="photarc-command", daemon=True)
    worker.start()
    while worker.is_alive():
        worker.join(_WAKE_INTERVAL)
    done, value = outcome[0]
    if not done:
        raise value  # type: ignore[misc]
    return value  # type: ignore[return-value]


def _open_and_run(args: argparse.Namespace) -> None:
    with _open(args) as engine:
        _run(engine, args)


def _serve_panel(args: argparse.Namespace) -> int:
    """The panel serves on this thread until Ctrl-C, which closes the engine and ends with 0.
    Connecting may wait on a silent device, so it runs where an interrupt ends the program at once,
    and so does a second Ctrl-C while the engine closes."""
    engine = _on_worker(lambda: _open(args))
    with engine:
        interruptible = signal.getsignal(signal.SIGINT) == _interrupted
        if interruptible:
            signal.signal(signal.SIGINT, signal.default_int_handler)
        try:
            return panel.run(engine, lambda: engine.connect(args.address, args.port, args.baud),
                             args.listen, args.interval, args.open)
        finally:
            if interruptible:
                signal.signal(signal.SIGINT, _interrupted)


def main(argv: Optional[List[str]] = None) -> int:
    """Runs the command line; returns the exit status (0 success, 1 failure, 2 usage, 130 interrupted)."""
    _stop_on_interrupt()
    parser = _parser()
    args = parser.parse_args(argv)
    try:
        if args.command == "panel":
            return _serve_panel(args)
        _on_worker(lambda: _open_and_run(args))
    except PhotarcError as error:
        print(brief(error.code, error.text), file=sys.stderr)
        return 1
    except (TypeError, ValueError) as error:
        parser.error(str(error))
    return 0
