"""Command line of the core: ``python3 -m msgrelay.cli --config PATH desktop --host H --port P ...``."""

from __future__ import annotations

import argparse
import errno
import json
import os
import pathlib
import signal
import sys
import threading
import urllib.request

from . import __version__
from . import faults as fault_injection, network
from .core import Core
from .http.peers import listening_uids
from .http.server import Server
from .logfile import RotatingOutput

DEFAULT_CONFIG = pathlib.Path.home() / "Library" / "Application Support" / "Quillmere" / "bridge.config.json"


_output = RotatingOutput()


def log(line: str) -> None:
    """One line to standard output (razo's launcher sends it to the core log; see logfile.py);
    a full disk or a closed log never stops the core. Written whole, line and newline at once,
    so that the request threads' lines never run into each other."""
    _output.write(line)


def build_parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(prog="msgrelay", description="本地消息核心（演示版）")
    parser.add_argument("--config", default=str(DEFAULT_CONFIG), help="configuration file (JSON)")
    parser.add_argument("--version", action="version", version=f"msgrelay {__version__}")
    commands = parser.add_subparsers(dest="command")
    desktop = commands.add_parser("desktop", help="serve the desktop front end")
    desktop.add_argument("--host", default="127.0.0.1")
    desktop.add_argument("--port", default="8765")
    desktop.add_argument("--no-browser", action="store_true", help="accepted; this core never opens a browser")
    desktop.add_argument("--no-native-window", action="store_true", help="accepted; this core has no window")
    return parser


def _port(text: str) -> int:
    port = int(text.strip())
    if not 0 <= port <= 65535:
        raise ValueError(text)
    return port


def port_taken(host: str, port: int, owners=listening_uids) -> int:
    """The exit status of a core that found its port in use.  Only a core of this account that
    answers is left to serve (0: the second core started at login, or by razo, ends without an
    error, so that nothing restarts it in a loop); a port held by another account, or by an owner
    that cannot be found, is never sent anything and is a failure."""
    uids = owners(port)
    others = sorted({uid for uid in uids or () if uid != os.geteuid()})
    if others:
        log(f"msgrelay: port {port} is held by another account (uid {', '.join(map(str, others))}); "
            "this core sends it nothing and will not use it")
        return 1
    if not uids:
        log(f"msgrelay: port {port} is in use and no listening socket of this account holds it; "
            "this core will not use it")
        return 1
    if core_answers(host, port):
        log(f"msgrelay: a core already answers on port {port}; leaving it to serve")
        return 0
    log(f"msgrelay: cannot listen on {host}:{port}: the port is held by another program of this account")
    return 1


def core_answers(host: str, port: int, timeout: float = 2.0) -> bool:
    """Whether a core already answers on the port (asked only of this account's listener)."""
    address = "127.0.0.1" if host in network.WILDCARD_HOSTS else host
    if ":" in address:
        address = f"[{address}]"
    opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))  # never through a proxy
    try:
        with opener.open(f"http://{address}:{port}/api/auth/status", timeout=timeout) as reply:
            return reply.status == 200 and json.load(reply).get("ready") is True
    except (OSError, ValueError, AttributeError):
        return False


def main(argv: list[str] | None = None) -> int:
    args, unknown = build_parser().parse_known_args(argv)
    if args.command not in (None, "desktop"):
        return 2
    if unknown:
        log(f"msgrelay: ignoring unknown arguments {' '.join(unknown)}")
    host = os.environ.get("MSGRELAY_HOST") or getattr(args, "host", "127.0.0.1")
    raw_port = os.environ.get("MSGRELAY_PORT") or getattr(args, "port", "8765")
    try:
        port = _port(raw_port)
    except ValueError:
        log(f"msgrelay: invalid port {raw_port!r}")
        return 2

    faults = fault_injection.from_environment(os.environ, log=log)
    # The port first: a core that cannot listen touches neither the configuration nor the messages.
    try:
        server = Server((host, port), None, faults, log=log)
    except OSError as error:
        if error.errno == errno.EADDRINUSE:
            return port_taken(host, port)
        log(f"msgrelay: cannot listen on {host}:{port}: {error.strerror or error}")
        return 1
    core = Core(args.config, host, server.server_address[1], log=log,
                bus_address=os.environ.get("DBUS_SESSION_BUS_ADDRESS") or None)
    server.core = core  # the real port above, also when port 0 was asked for

    def stop(signum, _frame):
        log(f"msgrelay: {signal.Signals(signum).name} received, stopping")
        threading.Thread(target=server.shutdown, daemon=True).start()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    log(f"msgrelay listening on http://{host}:{core.port}")
    log(f"msgrelay: configuration {core.config.path}")
    log(f"msgrelay: messages {core.messages.path}")
    if faults:
        log(f"msgrelay: fault injection active: {faults.describe()}")
    core.start()
    try:
        server.serve_forever(poll_interval=0.2)
    finally:
        server.server_close()
        core.close()
    log("msgrelay: stopped")
    return 0


if __name__ == "__main__":
    sys.exit(main())
