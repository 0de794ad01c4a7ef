#!/usr/bin/python3
"""Builds razo's Debian package from a build tree and checks it as a user would meet it.

    tests/package/package_check.py --build-dir BUILD --app-id ID --version VERSION

It packages BUILD with CPack's DEB generator into a temporary folder, checks the control
fields and the file list (executable, desktop entry, icons, metadata, core, manual page,
changelog, copyright, the start at login; nothing that points back into the build tree or
the checkout), runs desktop-file-validate (launcher and autostart entries), `appstreamcli
validate --no-net`, `systemd-analyze --user verify` on the user unit (where systemd-analyze
is), the manual page through `man --warnings` (its options must be those of `razo --help`)
and lintian (no error or warning), extracts the package with `dpkg-deb -x`, runs the core's
login launcher twice (the second finds the first and ends with 0) and runs the extracted
razo with --screenshot, from a folder outside any checkout and with a fresh HOME, so that
it must find and start the core it was installed with.

Exit codes: 0 all checks passed; 1 a check failed; 77 skipped: dpkg-deb is missing, or the
package checks passed but razo's fixed core port 8765 already answers, so the run of the
extracted razo was left out rather than disturbing a core that is not ours.
"""

from __future__ import annotations

import argparse
import gzip
import os
import pathlib
import re
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time

SKIP = 77
CORE_PORT = 8765  # razo's client always talks to this port
ICON_SIZES = [16, 22, 24, 32, 48, 64, 128, 256, 512]
SECTIONS = ["overview", "messages", "chat", "settings"]
UNIT = "/usr/lib/systemd/user/razo-core.service"
LAUNCHER = "/usr/libexec/razo/razo-core"
MANUAL = "/usr/share/man/man1/razo.1.gz"
CHANGELOG = "/usr/share/doc/razo/changelog.gz"
COPYRIGHT = "/usr/share/doc/razo/copyright"
CORE_DIR = "/usr/share/razo"
RUN_TIMEOUT = 90.0  # razo --screenshot waits at most 30 s for its first refresh
EXIT_TIMEOUT = 10.0
POLL = 0.2


class CheckFailed(Exception):
    pass


def log(text: str) -> None:
    print(f"package: {text}", flush=True)


def run(cmd: list[str], **kwargs) -> subprocess.CompletedProcess:
    return subprocess.run(cmd, capture_output=True, text=True, timeout=300, **kwargs)


def autostart_entry(app_id: str) -> str:
    return f"{CORE_DIR}/autostart/{app_id}.Core.desktop"


def inside(root: pathlib.Path, path: str) -> pathlib.Path:
    return root / path.lstrip("/")


def free_port() -> int:
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def port_answers(port: int) -> bool:
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=0.5):
            return True
    except OSError:
        return False


def png_size(path: pathlib.Path) -> tuple[int, int] | None:
    head = path.read_bytes()[:24]
    if len(head) < 24 or head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", head[16:24])


def build_package(build: pathlib.Path, out: pathlib.Path) -> pathlib.Path:
    result = run(["cpack", "-G", "DEB", "-B", str(out), "--config", str(build / "CPackConfig.cmake")],
                 cwd=str(build))
    if result.returncode != 0:
        raise CheckFailed(f"cpack failed ({result.returncode}):\n{result.stdout}\n{result.stderr}")
    debs = sorted(out.glob("*.deb"))
    if len(debs) != 1:
        raise CheckFailed(f"cpack made {[d.name for d in debs]}, expected one .deb")
    return debs[0]


def check_control(deb: pathlib.Path, version: str) -> None:
    fields = {}
    for name in ["Package", "Version", "Architecture", "Maintainer", "Section", "Depends", "Description"]:
        fields[name] = run(["dpkg-deb", "-f", str(deb), name]).stdout.strip()
    log(f"control: {fields['Package']} {fields['Version']} {fields['Architecture']}; Depends: {fields['Depends']}")
    arch = run(["dpkg", "--print-architecture"]).stdout.strip()
    problems = []
    if deb.name != f"razo_{version}_{arch}.deb":
        problems.append(f"file name {deb.name}, expected razo_{version}_{arch}.deb")
    if fields["Package"] != "razo" or fields["Version"] != version:
        problems.append(f"package {fields['Package']} {fields['Version']}, expected razo {version}")
    for name in ["Maintainer", "Section", "Description"]:
        if not fields[name]:
            problems.append(f"no {name}")
    depends = [d.strip() for d in fields["Depends"].split(",")]
    for needed in ["python3 (>= 3.11)", "python3-jeepney", "python3-icu"]:
        if needed not in depends:
            problems.append(f"Depends lacks {needed}")
    if not any(d.startswith("libqt6widgets6") for d in depends) or not any(d.startswith("libc6") for d in depends):
        problems.append("Depends lacks the computed library dependencies (libqt6widgets6, libc6)")
    if problems:
        raise CheckFailed("; ".join(problems))


def check_files(deb: pathlib.Path, app_id: str) -> None:
    listing = run(["dpkg-deb", "-c", str(deb)]).stdout.splitlines()
    paths = {line.split()[-1].lstrip(".") for line in listing if line.split()}
    required = [
        "/usr/bin/razo",
        f"/usr/share/applications/{app_id}.desktop",
        f"/usr/share/metainfo/{app_id}.metainfo.xml",
        f"/usr/share/icons/hicolor/scalable/apps/{app_id}.svg",
        "/usr/share/razo/msgrelay/cli.py",
        "/usr/share/razo/msgrelay/__init__.py",
        UNIT, LAUNCHER, autostart_entry(app_id), MANUAL, CHANGELOG, COPYRIGHT,
    ] + [f"/usr/share/icons/hicolor/{s}x{s}/apps/{app_id}.png" for s in ICON_SIZES]
    missing = [p for p in required if p not in paths]
    stray = [p for p in paths if "project-root" in p or "__pycache__" in p or p.endswith(".pyc")]
    if missing or stray:
        raise CheckFailed(f"missing {missing}; should not be there {stray}")
    log(f"{len(paths)} entries, all required ones present")


def check_tree(root: pathlib.Path, app_id: str, forbidden: list[str]) -> None:
    problems = []
    for size in ICON_SIZES:
        got = png_size(root / f"usr/share/icons/hicolor/{size}x{size}/apps/{app_id}.png")
        if got != (size, size):
            problems.append(f"{size}x{size} icon is {got}")
    # Nothing installed may lead back to where it was built (a very short path such as
    # "/src" would match unrelated text, so those are left out).
    needles = [p.encode() for p in forbidden if len(p) >= 6]
    for path in root.rglob("*"):
        if path.is_file() and not path.is_symlink():
            data = path.read_bytes()
            for needle in needles:
                if needle in data:
                    problems.append(f"{path.relative_to(root)} mentions {needle.decode()}")
    razo = root / "usr/bin/razo"
    if not os.access(razo, os.X_OK):
        problems.append("usr/bin/razo is not executable")
    for tool, args in [("desktop-file-validate", [str(root / f"usr/share/applications/{app_id}.desktop")]),
                       ("desktop-file-validate", [str(inside(root, autostart_entry(app_id)))]),
                       ("appstreamcli", ["validate", "--no-net", "--explain",
                                         str(root / f"usr/share/metainfo/{app_id}.metainfo.xml")])]:
        if not shutil.which(tool):
            problems.append(f"{tool} is not installed (scripts/install-deps.sh installs it)")
            continue
        result = run([tool] + args)
        output = (result.stdout + result.stderr).strip()
        if result.returncode != 0 or (tool == "desktop-file-validate" and output):
            problems.append(f"{tool} rejects it:\n{output}")
        else:
            log(f"{tool}: {output.splitlines()[-1] if output else 'no remarks'}")
    if problems:
        raise CheckFailed("\n".join(problems))


def check_login_start(root: pathlib.Path, work: pathlib.Path, app_id: str) -> None:
    """The user unit and the autostart entry both run the launcher, which starts the core as
    razo does; the unit belongs to the graphical session and restarts on failure, boundedly."""
    unit = inside(root, UNIT).read_text(encoding="utf-8")
    entry = inside(root, autostart_entry(app_id)).read_text(encoding="utf-8")
    launcher = inside(root, LAUNCHER)
    problems = []
    for line in (f"ExecStart={LAUNCHER}", "PartOf=graphical-session.target", "After=graphical-session.target",
                 "WantedBy=graphical-session.target", "Restart=on-failure", "StartLimitBurst=5"):
        if line not in unit.splitlines():
            problems.append(f"the unit lacks {line}")
    for line in (f"Exec={LAUNCHER}", f"TryExec={LAUNCHER}"):
        if line not in entry.splitlines():
            problems.append(f"the autostart entry lacks {line}")
    if not os.access(launcher, os.X_OK):
        problems.append(f"{LAUNCHER} is not executable")
    if shutil.which("systemd-analyze"):
        # The unit as systemd would load it once installed: its ExecStart points into the
        # extracted tree, its manual page is looked up there.
        copy = work / "verify" / "razo-core.service"
        runtime = work / "verify-run"
        copy.parent.mkdir()
        runtime.mkdir(mode=0o700)
        copy.write_text(unit.replace(f"ExecStart={LAUNCHER}", f"ExecStart={launcher}"), encoding="utf-8")
        env = dict(os.environ, XDG_RUNTIME_DIR=str(runtime), MANPATH=str(root / "usr/share/man"))
        result = run(["systemd-analyze", "--user", "verify", str(copy)], env=env)
        output = (result.stdout + result.stderr).strip()
        if result.returncode != 0 or output:
            problems.append(f"systemd-analyze verify rejects the unit ({result.returncode}):\n{output}")
        else:
            log("systemd-analyze --user verify: no remarks")
    else:
        log("systemd-analyze is not installed: the unit was checked by its lines only")
    if problems:
        raise CheckFailed("\n".join(problems))


def check_docs(root: pathlib.Path, version: str, env: dict) -> None:
    """The manual page renders without warnings and lists exactly the options of razo --help;
    the changelog starts at this version; the copyright file is machine-readable."""
    problems = []
    page = inside(root, MANUAL)
    result = run(["man", "--warnings", "-E", "UTF-8", "-l", "-Tutf8", "-Z", str(page)],
                 env=dict(env, LC_ALL="C.UTF-8"))
    if result.returncode != 0 or result.stderr.strip():
        problems.append(f"man --warnings on razo.1.gz ({result.returncode}): {result.stderr.strip()}")
    source = gzip.decompress(page.read_bytes()).decode("utf-8")
    options_section = source.split(".SH OPTIONS", 1)[-1].split("\n.SH ", 1)[0]
    documented = set(re.findall(r"--([a-z][a-z-]*)", options_section.replace("\\-", "-")))
    helped = run([str(root / "usr/bin/razo"), "--help"], env=env)
    offered = set(re.findall(r"--([a-z][a-z-]*)", helped.stdout))
    if helped.returncode != 0 or not offered:
        problems.append(f"razo --help said nothing usable ({helped.returncode}): {helped.stdout}{helped.stderr}")
    elif documented != offered:
        problems.append(f"razo.1 documents --{', --'.join(sorted(documented))}; "
                        f"razo --help offers --{', --'.join(sorted(offered))}")
    changelog = gzip.decompress(inside(root, CHANGELOG).read_bytes()).decode("utf-8")
    if not changelog.startswith(f"razo ({version}) "):
        problems.append(f"the changelog starts with {changelog.splitlines()[0]!r}, not razo ({version})")
    copyright_text = inside(root, COPYRIGHT).read_text(encoding="utf-8")
    if not copyright_text.startswith("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"):
        problems.append("the copyright file is not machine-readable (no Format line)")
    if problems:
        raise CheckFailed("\n".join(problems))
    log(f"razo.1 documents --{', --'.join(sorted(documented))} as razo --help does; changelog at {version}")


def check_lintian(deb: pathlib.Path) -> None:
    if not shutil.which("lintian"):
        raise CheckFailed("lintian is not installed (scripts/install-deps.sh installs it)")
    result = run(["lintian", "--fail-on", "error,warning", "--tag-display-limit", "0", "--show-overrides", str(deb)])
    lines = [line for line in result.stdout.splitlines() if line.strip()]
    if result.returncode != 0 or any(line[:2] in ("E:", "W:") for line in lines):
        raise CheckFailed(f"lintian ({result.returncode}):\n{result.stdout}{result.stderr}")
    log(f"lintian: no error or warning ({len(lines)} line(s) of overrides and remarks: {'; '.join(lines)})")


def run_launcher(root: pathlib.Path, work: pathlib.Path, env: dict) -> None:
    """The launcher of the unit and the autostart entry, run twice on one free port: the first
    starts the core (support folder created, output appended to its log); the second finds it
    answering and ends with 0, so that systemd does not restart it."""
    text = inside(root, LAUNCHER).read_text(encoding="utf-8")
    moved = text.replace(f'"{CORE_DIR}"', f'"{root / CORE_DIR.lstrip("/")}"')
    if moved == text:
        raise CheckFailed(f"the launcher does not start the core in {CORE_DIR}")
    copy = work / "razo-core"
    copy.write_text(moved, encoding="utf-8")
    copy.chmod(0o755)
    home = work / "launcher-home"
    home.mkdir()
    port = free_port()
    env = dict(env, HOME=str(home), MSGRELAY_PORT=str(port))
    env.pop("DBUS_SESSION_BUS_ADDRESS", None)  # not this session's notifications
    core_log = home / "Library/Application Support/Quillmere/native-core.log"
    first = subprocess.Popen([str(copy)], env=env, cwd=str(work), stdin=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + 20
        while not port_answers(port) and first.poll() is None and time.monotonic() < deadline:
            time.sleep(POLL)
        if not port_answers(port):
            raise CheckFailed(f"the launcher's core does not listen on {port} (exit {first.poll()})")
        second = run([str(copy)], env=env, cwd=str(work))
        text = core_log.read_text(encoding="utf-8", errors="replace") if core_log.exists() else ""
        if second.returncode != 0 or f"already answers on port {port}" not in text:
            raise CheckFailed(f"a second launcher beside a running core ended with {second.returncode}:\n{text[-1500:]}")
        if f"msgrelay listening on http://127.0.0.1:{port}" not in text:
            raise CheckFailed(f"the launcher's core did not log to {core_log}:\n{text[-1500:]}")
    finally:
        stop({first.pid})
    log(f"the login launcher started the core on {port}; a second one left it serving and ended with 0")


def clean_environment() -> dict:
    """This environment without what would lead razo or its core elsewhere; offscreen, and the
    core listens on loopback only."""
    env = {k: v for k, v in os.environ.items()
           if k not in {"QUILLMERE_PROJECT_DIR", "QUILLMERE_BUNDLED_CORE", "PYTHONPATH", "MSGRELAY_PORT",
                        "MSGRELAY_FAULTS", "DISPLAY", "WAYLAND_DISPLAY"}}
    env.update(QT_QPA_PLATFORM="offscreen", MSGRELAY_HOST="127.0.0.1")
    return env


def processes_in(folder: pathlib.Path) -> set[int]:
    """This user's processes whose working directory is `folder`."""
    found = set()
    for entry in pathlib.Path("/proc").iterdir():
        if entry.name.isdigit():
            try:
                if os.stat(entry).st_uid == os.getuid() and pathlib.Path(os.readlink(entry / "cwd")) == folder:
                    found.add(int(entry.name))
            except OSError:
                pass
    return found


def stop(pids: set[int]) -> None:
    for sig in (signal.SIGTERM, signal.SIGKILL):
        for pid in pids:
            try:
                os.kill(pid, sig)
            except ProcessLookupError:
                pass
        deadline = time.monotonic() + EXIT_TIMEOUT
        while any(pathlib.Path(f"/proc/{p}").exists() for p in pids) and time.monotonic() < deadline:
            time.sleep(POLL)


def run_installed(root: pathlib.Path, work: pathlib.Path, version: str) -> None:
    razo = root / "usr/bin/razo"
    home, runtime, shots, cwd = work / "home", work / "run", work / "shots", work / "elsewhere"
    for folder in (home, cwd):
        folder.mkdir()
    runtime.mkdir(mode=0o700)
    env = dict(clean_environment(), HOME=str(home), XDG_RUNTIME_DIR=str(runtime))

    result = run([str(razo), "--version"], env=env, cwd=str(cwd))
    if result.returncode != 0 or result.stdout.strip() != f"razo {version}":
        raise CheckFailed(f"razo --version said {result.stdout.strip()!r} ({result.returncode})")

    core_folder = (root / "usr/share/razo").resolve()
    proc = subprocess.Popen([str(razo), "--screenshot", str(shots)], env=env, cwd=str(cwd),
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    cores: set[int] = set()
    deadline = time.monotonic() + RUN_TIMEOUT
    try:
        while proc.poll() is None and time.monotonic() < deadline:
            cores |= processes_in(core_folder)
            time.sleep(POLL)
        if proc.poll() is None:
            proc.kill()
            raise CheckFailed(f"razo --screenshot did not finish within {RUN_TIMEOUT:.0f} s")
        out, err = proc.communicate()
    finally:
        cores |= processes_in(core_folder)
        stop(cores)  # whatever razo left running of the package's core
    if proc.returncode != 0:
        raise CheckFailed(f"razo --screenshot exited with {proc.returncode}:\n{out}\n{err}")
    written = [pathlib.Path(line) for line in out.split()]
    expected = [shots / f"{s}.png" for s in SECTIONS]
    if written != expected:
        raise CheckFailed(f"razo wrote {written}, expected {expected}")
    for path in expected:
        size = png_size(path)
        if not size or size[0] < 1120 or size[1] < 760:
            raise CheckFailed(f"{path.name} is not a window-sized PNG ({size})")
    if not cores:
        raise CheckFailed("razo did not start the core installed with it (no process ran in usr/share/razo)")
    core_log = home / "Library/Application Support/Quillmere/native-core.log"
    text = core_log.read_text(encoding="utf-8", errors="replace") if core_log.exists() else ""
    for line in (f"msgrelay listening on http://127.0.0.1:{CORE_PORT}", "GET /api/state 200", "GET /api/events 200"):
        if line not in text:
            raise CheckFailed(f"the core's log lacks “{line}”:\n{text[-2000:]}")
    log(f"installed razo started the packaged core (pid {sorted(cores)}) and wrote {', '.join(p.name for p in expected)}")


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--source-dir", required=True)
    parser.add_argument("--app-id", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--keep", action="store_true", help="keep the temporary folder and say where")
    args = parser.parse_args()

    for tool in ("dpkg-deb", "cpack"):
        if not shutil.which(tool):
            print(f"package: SKIPPED: {tool} is missing (scripts/install-deps.sh installs it)")
            return SKIP
    build = pathlib.Path(args.build_dir).resolve()
    source = pathlib.Path(args.source_dir).resolve()
    work = pathlib.Path(tempfile.mkdtemp(prefix="razo-package-"))
    try:
        deb = build_package(build, work / "out")
        log(f"built {deb.name} ({deb.stat().st_size // 1024} KiB)")
        check_control(deb, args.version)
        check_files(deb, args.app_id)
        root = work / "root"
        result = run(["dpkg-deb", "-x", str(deb), str(root)])
        if result.returncode != 0:
            raise CheckFailed(f"dpkg-deb -x failed: {result.stderr}")
        check_tree(root, args.app_id, [str(source), str(build)])
        check_login_start(root, work, args.app_id)
        env = clean_environment()
        check_docs(root, args.version, env)
        check_lintian(deb)
        run_launcher(root, work, env)
        if port_answers(CORE_PORT):
            print(f"package: SKIPPED the run of the extracted razo: 127.0.0.1:{CORE_PORT} already answers "
                  "(a core that is not ours); every package check before it passed")
            return SKIP
        run_installed(root, work, args.version)
    except CheckFailed as failure:
        log(f"FAILED: {failure}")
        return 1
    finally:
        if args.keep:
            log(f"kept {work}")
        else:
            shutil.rmtree(work, ignore_errors=True)
    log("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
