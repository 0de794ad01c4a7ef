#!/usr/bin/python3
"""razo's command line and its single-instance hand-over, run as real processes.

    tests/app/razo_cli_check.py --razo PATH --version VERSION

1. Options, without any display (no DISPLAY, no WAYLAND_DISPLAY, no QT_QPA_PLATFORM): --help,
   --version and usage mistakes must answer without a GUI.
2. Hand-over, on the offscreen platform with a private runtime folder: a second razo asks the
   first to bring its window forward (and, started with --show-message, to show that message)
   and exits 0; the first stays. (The socket protocol, a
   stale socket file and a silent first razo are covered by tst_singleinstance.)

The razo processes are given a stand-in project folder whose core exits at once, so they
never start a real core; their client still looks at 127.0.0.1:8765, so step 2 is skipped
(exit 77) when something answers there.
"""

from __future__ import annotations

import argparse
import os
import pathlib
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

SKIP = 77
WAIT = 15.0
POLL = 0.1


class CheckFailed(Exception):
    pass


def log(text: str) -> None:
    print(f"razo-cli: {text}", flush=True)


def check_options(razo: str, version: str, env: dict[str, str]) -> None:
    # (arguments, exit status, text expected on stdout, text expected on stderr)
    cases = [
        (["--version"], 0, f"razo {version}\n", ""),
        (["-v"], 0, f"razo {version}\n", ""),
        (["--help"], 0, "--screenshot <DIR>", ""),
        (["-h"], 0, "Usage: razo [options]", ""),
        (["--bogus"], 2, "", "razo: Unknown option 'bogus'.\nTry 'razo --help' for more information.\n"),
        (["stray"], 2, "", "Unexpected argument 'stray'."),
        (["--screenshot"], 2, "", "Missing value after '--screenshot'."),
        (["--help"], 0, "--show-message <ID>", ""),
        (["--show-message", "12a"], 2, "", "--show-message needs a message id (a positive whole number)."),
        (["--show-message", "0"], 2, "", "--show-message needs a message id"),
    ]
    for args, status, out, err in cases:  # an expected text ending in a line break is the whole output
        result = subprocess.run([razo] + args, env=env, capture_output=True, text=True, timeout=WAIT)
        shown = f"razo {' '.join(args)}"
        if result.returncode != status:
            raise CheckFailed(f"{shown}: exit {result.returncode}, expected {status}\n{result.stdout}{result.stderr}")
        if out and (result.stdout != out if out.endswith("\n") else out not in result.stdout):
            raise CheckFailed(f"{shown}: stdout {result.stdout!r} lacks {out!r}")
        if err and err not in result.stderr:
            raise CheckFailed(f"{shown}: stderr {result.stderr!r} lacks {err!r}")
        log(f"{shown} → {status}")


def wait_for(what: str, probe) -> None:
    deadline = time.monotonic() + WAIT
    while not probe():
        if time.monotonic() > deadline:
            raise CheckFailed(f"timed out: {what}")
        time.sleep(POLL)


def check_handover(razo: str, work: pathlib.Path, env: dict[str, str]) -> None:
    runtime = work / "run"
    runtime.mkdir(mode=0o700)
    project = work / "project"
    (project / "msgrelay").mkdir(parents=True)
    (project / "msgrelay" / "__init__.py").write_text("")
    (project / "msgrelay" / "cli.py").write_text("raise SystemExit(0)\n")  # a core that is gone at once
    env = dict(env, XDG_RUNTIME_DIR=str(runtime), HOME=str(work), XDG_CONFIG_HOME=str(work / ".config"),
               QT_QPA_PLATFORM="offscreen",
               QUILLMERE_PROJECT_DIR=str(project), QT_LOGGING_RULES="razo.app.info=true")
    socket_file = runtime / "razo-nodisplay.socket"
    started: list[subprocess.Popen] = []

    def start(name: str, extra: dict[str, str] | None = None, args: tuple = ()) -> subprocess.Popen:
        with open(work / f"{name}.log", "w") as out:
            proc = subprocess.Popen([razo, *args], env=dict(env, **(extra or {})), stdout=out,
                                    stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, cwd=str(work))
        started.append(proc)
        return proc

    def output(name: str) -> str:
        return (work / f"{name}.log").read_text(errors="replace")

    try:
        first = start("first")
        wait_for("the first razo listens", socket_file.exists)
        second = start("second", {"XDG_ACTIVATION_TOKEN": "token-42"}, ("--show-message", "42"))
        if second.wait(timeout=WAIT) != 0:
            raise CheckFailed(f"the second razo exited with {second.returncode}:\n{output('second')}")
        wait_for("the first razo brings its window forward",
                 lambda: "brought the window to the front (activation token given)" in output("first"))
        if "asked for the window and message 42" not in output("first"):
            raise CheckFailed(f"the first razo was not asked for message 42:\n{output('first')}")
        if first.poll() is not None:
            raise CheckFailed(f"the first razo ended ({first.returncode}):\n{output('first')}")
        log("a second start handed over to the first and exited 0; the first raised its window")
        first.send_signal(signal.SIGTERM)
        first.wait(timeout=WAIT)
        if socket_file.exists():
            raise CheckFailed("razo ended on SIGTERM but left its socket file behind")
    finally:
        for proc in started:
            if proc.poll() is None:
                proc.send_signal(signal.SIGTERM)
                try:
                    proc.wait(timeout=WAIT)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--razo", required=True)
    parser.add_argument("--version", required=True)
    args = parser.parse_args()

    env = {k: v for k, v in os.environ.items()
           if k not in {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_ACTIVATION_TOKEN",
                        "QUILLMERE_PROJECT_DIR", "QUILLMERE_BUNDLED_CORE", "MSGRELAY_PORT", "MSGRELAY_FAULTS"}}
    work = pathlib.Path(tempfile.mkdtemp(prefix="razo-cli-"))
    try:
        check_options(args.razo, args.version, env)
        try:
            with socket.create_connection(("127.0.0.1", 8765), timeout=0.5):
                print("razo-cli: SKIPPED the hand-over: 127.0.0.1:8765 answers, and a razo under test "
                      "must not talk to a core that is not ours; the option checks passed")
                return SKIP
        except OSError:
            pass
        check_handover(args.razo, work, env)
    except (CheckFailed, subprocess.TimeoutExpired) as failure:
        log(f"FAILED: {failure}")
        return 1
    finally:
        shutil.rmtree(work, ignore_errors=True)
    log("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
