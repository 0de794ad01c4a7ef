#!/usr/bin/python3
"""Drives razo the way a screen reader would: through the AT-SPI accessibility bus.

Run it under a private session bus and a virtual X server (it turns Qt's accessibility on for
razo itself, QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 and QT_ACCESSIBILITY=1):

    dbus-run-session -- xvfb-run -a -s "-screen 0 1366x768x24 -noreset" \
        /usr/bin/python3 tests/a11y/atspi_check.py [--razo PATH] [--list]

(-noreset: the accessibility bus connects to the X server for a moment; the server must not reset
when it leaves, or razo's own connection could fail.)

It launches razo (which starts the stand-in core on 127.0.0.1:8765), waits for the
application "razo" on the registry, lists its controls, presses the sidebar's "消息" through
the Action interface, looks for the page heading and the status footer's text, visits every
section looking for controls without a name, and finally quits razo with Ctrl+Q (sent through the
accessibility bus's keyboard), checks that the core it started outlived it (razo leaves its core
running for the next start-up), and stops that core.
On the way it works the timeline's segments through their Toggle action (the heading and
the list must follow), and on "设置" it sets a text field and a multi-line editor through the
EditableText interface, toggles a switch, presses "保存全部设置" and reads the configuration
file the core then writes (under the temporary HOME), which must carry all three changes.

Exit codes: 0 all checks passed; 1 a check failed (the reason is printed); 77 skipped because
there is no X display, no accessibility bus, or something already answers on port 8765 (most
likely the user's own core, which this check must not disturb).
"""

from __future__ import annotations

import argparse
import json
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
CORE_HOST = "127.0.0.1"
CORE_PORT = 8765  # razo's client always talks to this port

SECTIONS = ["首页", "消息", "助手", "设置"]
TOOLBAR = ["刷新", "配置目录"]
MESSAGES_HEADING = "最近 7 天消息"
PRESETS = ["全部", "待办", "重要", "会议", "稍后"]  # the timeline's "分类" segments
SOURCES = ["全部", "微信", "企业微信"]  # its "来源" segments
MEETING_HEADING = "会议相关"
MESSAGE_LIST = "消息列表"
# What the settings check types, and where the core's configuration file is under HOME.
TYPED_NAME = "无障碍检查"
TYPED_KEYWORD = "读屏关键词"
CONFIG_FILE = pathlib.Path("Library", "Application Support", "Quillmere", "bridge.config.json")
SERVICE_STATUSES = ["准备启动", "正在启动本地核心", "已连接本地核心", "运行中", "连接不稳定", "启动失败"]

BUTTON_ROLES = {"push button", "toggle button", "radio button", "check box", "push button menu"}
# Controls a user operates; each needs a name a screen reader can speak.
INTERACTIVE_ROLES = BUTTON_ROLES | {
    "combo box",
    "entry",
    "password text",
    "spin button",
    "slider",
    "page tab",
    "link",
    "list",
    "list box",
    "table",
    "tree",
    "tree table",
    "list item",
    "table cell",
}
TEXT_ROLES = {"label", "static", "status bar", "text", "heading", "paragraph"}

WINDOW_TIMEOUT = 40.0  # razo on the registry with its sidebar and toolbar
PAGE_TIMEOUT = 15.0  # a pressed section's page in the tree
SAVE_TIMEOUT = 15.0  # the saved settings in the core's configuration file
STATUS_TIMEOUT = 20.0  # the footer's service status
EXIT_TIMEOUT = 10.0  # razo, or what it left running, gone after SIGTERM
# All the waiting of the checks together; with the clean-up after them this stays well
# inside ctest's 120 s, so a hung check never leaves razo or its core behind.
CHECK_BUDGET = 75.0
POLL = 0.25
SETTLE = 1.0  # a second look before calling an unnamed control a gap
MAX_NODES = 6000


class CheckFailed(Exception):
    pass


def log(text: str) -> None:
    print(f"a11y: {text}", flush=True)


def skip(text: str) -> None:
    print(f"a11y: SKIPPED: {text}", flush=True)
    sys.exit(SKIP)


def port_answers(host: str, port: int) -> bool:
    try:
        with socket.create_connection((host, port), timeout=0.5):
            return True
    except OSError:
        return False


# ----------------------------------------------------------------------------------------
# Processes: razo runs in a session of its own; every descendant seen while it runs is
# remembered by (pid, start time), so cleanup only ever signals processes this check started.


def _stat(pid: int) -> tuple[int, int] | None:
    """(parent pid, start time) of a live process, None when it is gone."""
    try:
        data = pathlib.Path(f"/proc/{pid}/stat").read_text()
    except OSError:
        return None
    fields = data[data.rindex(")") + 2 :].split()
    return int(fields[1]), int(fields[19])


class ProcessTracker:
    def __init__(self, root_pid: int):
        self.root_pid = root_pid
        self.known: dict[int, int] = {}  # pid -> start time

    def snapshot(self) -> None:
        parents: dict[int, list[int]] = {}
        starts: dict[int, int] = {}
        for entry in pathlib.Path("/proc").iterdir():
            if not entry.name.isdigit():
                continue
            st = _stat(int(entry.name))
            if st:
                parents.setdefault(st[0], []).append(int(entry.name))
                starts[int(entry.name)] = st[1]
        todo = [self.root_pid]
        while todo:
            pid = todo.pop()
            for child in parents.get(pid, []):
                if child not in self.known and child in starts:
                    self.known[child] = starts[child]
                todo.append(child)

    def alive(self) -> list[int]:
        live = []
        for pid, start in self.known.items():
            st = _stat(pid)
            if st and st[1] == start:
                live.append(pid)
        return live

    def signal_all(self, sig: int) -> None:
        for pid in self.alive():
            try:
                os.kill(pid, sig)
            except ProcessLookupError:
                pass


# ----------------------------------------------------------------------------------------
# The accessibility tree.


class Node:
    __slots__ = ("acc", "role", "name", "description", "showing", "checked", "enabled", "editable",
                 "text", "path", "parent")

    def __init__(self, acc, role, name, description, states, path, parent):
        import pyatspi

        self.acc = acc
        self.role = role
        self.name = name or ""
        self.description = description or ""
        self.showing = states.contains(pyatspi.STATE_SHOWING)
        self.checked = states.contains(pyatspi.STATE_CHECKED)
        self.enabled = states.contains(pyatspi.STATE_ENABLED)
        self.editable = states.contains(pyatspi.STATE_EDITABLE)
        self.text = ""
        self.path = path
        self.parent = parent  # the Node above, None for the application

    def label(self) -> str:
        return f"{self.role} “{self.name}”"


def walk(app) -> list[Node]:
    """Every node below the application, depth first; nodes that vanish mid-walk are skipped."""
    out: list[Node] = []
    stack = [(app, "", None)]
    while stack and len(out) < MAX_NODES:
        acc, path, parent = stack.pop()
        try:
            # Each read is a round trip, and razo keeps running between them. The states go
            # first: razo names a control before showing it, so a control read as showing
            # then has its name.
            states = acc.getState()
            role = acc.getRoleName()
            name = acc.name
            description = acc.description
            count = acc.childCount
        except Exception:  # the widget was destroyed while we looked
            continue
        node = Node(acc, role, name, description, states, f"{path}/{role}", parent)
        if role in TEXT_ROLES:
            try:
                text = acc.queryText()
                node.text = text.getText(0, -1) or ""
            except Exception:
                pass
        out.append(node)
        children = []
        for i in range(count):
            try:
                child = acc.getChildAtIndex(i)
            except Exception:
                continue
            if child is not None:
                children.append(child)
        stack.extend((c, node.path, node) for c in reversed(children))
    return out


def find_app(pid: int):
    import pyatspi

    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        try:
            app = desktop.getChildAtIndex(i)
            if app is None:
                continue
            # Matched by process as well as by name: another razo may be on the same bus.
            if app.name == "razo" and app.get_process_id() == pid:
                return app
        except Exception:
            continue
    return None


def clear_cache(app) -> None:
    try:
        app.clear_cache()
    except Exception:
        pass


def showing_buttons(nodes: list[Node], name: str) -> list[Node]:
    return [n for n in nodes if n.showing and n.role in BUTTON_ROLES and n.name == name]


def button_group(nodes: list[Node], names: list[str]) -> dict[str, Node] | None:
    """The showing buttons called `names` that share one parent (the sidebar, the toolbar):
    pages may have buttons of the same names elsewhere."""
    by_parent: dict[int, dict[str, Node]] = {}
    for n in nodes:
        if n.showing and n.role in BUTTON_ROLES and n.name in names and n.parent is not None:
            by_parent.setdefault(id(n.parent), {}).setdefault(n.name, n)
    for group in by_parent.values():
        if len(group) == len(names):
            return group
    return None


_budget_end = float("inf")


def poll(what: str, timeout: float, probe):
    """Calls probe() until it returns something truthy; CheckFailed after timeout or when the
    overall budget is spent."""
    begun = time.monotonic()
    deadline = min(begun + timeout, _budget_end)
    last = None
    while True:
        last = probe()
        if last:
            return last
        if time.monotonic() >= deadline:
            raise CheckFailed(f"{what} (waited {time.monotonic() - begun:.0f} s)")
        time.sleep(POLL)


def press(node: Node) -> str:
    try:
        action = node.acc.queryAction()
    except Exception:
        raise CheckFailed(f"{node.label()} has no Action interface")
    names = [action.getName(i) for i in range(action.nActions)]
    for wanted in ("Press", "Toggle", "press", "click"):
        if wanted in names:
            index = names.index(wanted)
            break
    else:
        if not names:
            raise CheckFailed(f"{node.label()} offers no action")
        index = 0
    if not action.doAction(index):
        raise CheckFailed(f"{node.label()}: doAction({names[index]!r}) was refused")
    return names[index]


def do_action(node: Node, wanted: str) -> None:
    """Runs the named action (Toggle, Press) of a node, as an assistive tool would."""
    try:
        action = node.acc.queryAction()
    except Exception:
        raise CheckFailed(f"{node.label()} has no Action interface")
    names = [action.getName(i) for i in range(action.nActions)]
    if wanted not in names:
        raise CheckFailed(f"{node.label()} offers no “{wanted}” action (it offers {names})")
    if not action.doAction(names.index(wanted)):
        raise CheckFailed(f"{node.label()}: doAction({wanted!r}) was refused")


def list_items(nodes: list[Node], list_name: str) -> list[str]:
    """The names of the rows of the showing list called `list_name`."""
    return [n.name for n in nodes
            if n.role in ("list item", "table cell") and n.parent is not None
            and n.parent.role in ("list", "list box", "table") and n.parent.name == list_name
            and n.parent.showing]


def editable(nodes: list[Node], name: str) -> Node:
    for n in nodes:
        if n.showing and n.role == "text" and n.editable and n.name == name:
            return n
    raise CheckFailed(f"no editable text “{name}” showing")


def context(node: Node, nodes: list[Node]) -> str:
    """Where a node sits, for a reader of the log: its description, its parent, its siblings."""
    siblings = [n.label() for n in nodes if n.parent is node.parent and n is not node][:6]
    parts = [f"description “{node.description}”" if node.description else "no description"]
    if node.parent is not None:
        parts.append(f"in {node.parent.label()}")
    parts.append("beside " + (", ".join(siblings) if siblings else "nothing"))
    return "; ".join(parts)


def is_control(node: Node) -> bool:
    # Editable text (line and text edits) reports the plain "text" role with the editable state.
    return node.role in INTERACTIVE_ROLES or (node.role == "text" and node.editable)


def unnamed_controls(nodes: list[Node]) -> list[Node]:
    return [n for n in nodes if n.showing and is_control(n) and not n.name.strip()]


def in_status_bar(node: Node) -> bool:
    while node is not None:
        if node.role == "status bar":
            return True
        node = node.parent
    return False


def status_nodes(nodes: list[Node]) -> list[tuple[Node, str]]:
    """Nodes of the status footer (a status bar and what it holds) that carry a service status.
    Pages may mention the same words elsewhere; those do not count."""
    found = []
    for n in nodes:
        if not n.showing or not in_status_bar(n):
            continue
        for status in SERVICE_STATUSES:
            if any(status in field for field in (n.name, n.description, n.text)):
                found.append((n, status))
    return found


# ----------------------------------------------------------------------------------------


def check_timeline(snapshot) -> None:
    """The timeline's segments through their Toggle action change the heading and the list,
    exactly as a click does."""
    # The core may still be starting: its messages arrive with the first refresh.
    everything = poll(f"the timeline (“{MESSAGE_LIST}”) never listed a message", STATUS_TIMEOUT,
                      lambda: list_items(snapshot(), MESSAGE_LIST))
    log(f"timeline: {len(everything)} messages listed")

    def toggle(names: list[str], segment: str, what: str, shown) -> list[Node]:
        group = button_group(snapshot(), names)
        if not group:
            raise CheckFailed(f"the segments {names} are not showing")
        do_action(group[segment], "Toggle")

        def followed():
            nodes = snapshot()
            now = button_group(nodes, names)
            if now and now[segment].checked and shown(nodes, list_items(nodes, MESSAGE_LIST)):
                return nodes
            return None

        nodes = poll(f"toggling the segment “{segment}” did not {what}", PAGE_TIMEOUT, followed)
        log(f"toggled “{segment}” via its action “Toggle”: {len(list_items(nodes, MESSAGE_LIST))} messages listed")
        return nodes

    def heading(nodes, title):
        return any(n.showing and n.name == title for n in nodes)

    toggle(PRESETS, "会议", f"show “{MEETING_HEADING}” and change the list",
           lambda nodes, items: heading(nodes, MEETING_HEADING) and items != everything)
    toggle(PRESETS, "全部", f"show “{MESSAGES_HEADING}” and every message again",
           lambda nodes, items: heading(nodes, MESSAGES_HEADING) and items == everything)
    toggle(SOURCES, "微信", "narrow the list to WeChat messages",
           lambda nodes, items: items and items != everything and all(i.startswith("微信，") for i in items))
    toggle(SOURCES, "全部", "list every message again", lambda nodes, items: items == everything)


def check_settings_saved(snapshot, config_path: pathlib.Path) -> None:
    """Text set through the EditableText interface and a switch toggled through its action
    reach the draft: the saved configuration carries them."""
    page = snapshot()
    name = editable(page, "我的姓名")
    keywords = editable(page, "工作关键词")
    switch = next((n for n in page if n.showing and n.role in BUTTON_ROLES and n.name == "企业微信开关"), None)
    save = next((n for n in page if n.showing and n.role in BUTTON_ROLES and n.name == "保存全部设置"), None)
    if switch is None or save is None:
        raise CheckFailed("the switch “企业微信开关” or the button “保存全部设置” is not showing")
    wecom_was_on = switch.checked

    if not name.acc.queryEditableText().setTextContents(TYPED_NAME):
        raise CheckFailed(f"{name.label()}: setTextContents was refused")
    line = TYPED_KEYWORD + "\n"
    if not keywords.acc.queryEditableText().insertText(0, line, len(line)):
        raise CheckFailed(f"{keywords.label()}: insertText was refused")
    do_action(switch, "Toggle")
    log(f"set “我的姓名” and “工作关键词” through EditableText, toggled “企业微信开关” (was {'on' if wecom_was_on else 'off'})")
    do_action(save, "Press")
    log("pressed “保存全部设置” via its action “Press”")

    def saved():
        try:
            config = json.loads(config_path.read_text(encoding="utf-8"))
            carried = (config["user_profile"]["display_name"] == TYPED_NAME
                       and TYPED_KEYWORD in config["notification_keywords"]
                       and config["wecom"]["enabled"] == (not wecom_was_on))
        except (OSError, ValueError, KeyError, TypeError):
            return None
        return config if carried else None

    config = poll(f"{config_path} never carried the name, the keyword and the switch set through the "
                  "accessibility interface", SAVE_TIMEOUT, saved)
    log(f"the core saved display_name “{config['user_profile']['display_name']}”, "
        f"keywords {config['notification_keywords']}, wecom enabled {config['wecom']['enabled']}")


def check(app, tracker: ProcessTracker, timings: dict[str, float], started: float, listing: bool,
          config_path: pathlib.Path) -> list[str]:
    """The assertions. Returns the findings about unnamed controls (empty when none)."""

    def snapshot() -> list[Node]:
        tracker.snapshot()
        clear_cache(app)
        return walk(app)

    def heading_showing(nodes: list[Node]) -> bool:
        return any(n.showing and n.name == MESSAGES_HEADING for n in nodes)

    def window_ready():
        nodes = snapshot()
        if button_group(nodes, SECTIONS) and button_group(nodes, TOOLBAR):
            return nodes
        return None

    try:
        nodes = poll("the four sidebar buttons and the two toolbar buttons did not all appear",
                     WINDOW_TIMEOUT, window_ready)
    except CheckFailed:
        log("controls seen:")
        for n in walk(app):
            if is_control(n):
                log(f"  {n.label()} showing={n.showing} at {n.path}")
        raise
    timings["controls listed"] = time.monotonic() - started

    sidebar = button_group(nodes, SECTIONS)
    toolbar = button_group(nodes, TOOLBAR)
    log(f"sidebar ({sidebar[SECTIONS[0]].parent.label()}):")
    for name in SECTIONS:
        n = sidebar[name]
        log(f"  {n.label()} enabled={n.enabled} checked={n.checked}")
    log(f"toolbar ({toolbar[TOOLBAR[0]].parent.label()}):")
    for name in TOOLBAR:
        log(f"  {toolbar[name].label()} enabled={toolbar[name].enabled}")
    if sum(n.checked for n in sidebar.values()) != 1:
        raise CheckFailed("exactly one sidebar button should be checked: "
                          + ", ".join(f"{k}={v.checked}" for k, v in sidebar.items()))

    # The footer's status.
    statuses = poll(
        "the status footer (a status bar) exposes no service status (" + " / ".join(SERVICE_STATUSES) + ")",
        STATUS_TIMEOUT,
        lambda: status_nodes(snapshot()),
    )
    for n, status in statuses:
        log(f"service status “{status}” exposed by {n.label()}"
            + (f", description “{n.description}”" if n.description else ""))
    timings["status seen"] = time.monotonic() - started

    findings: list[str] = []

    def note_unnamed(page: str, page_nodes: list[Node]) -> None:
        if listing:
            log(f"showing controls on “{page}”:")
            for n in page_nodes:
                if n.showing and is_control(n):
                    log(f"  {n.label()}" + ("" if n.enabled else " (disabled)") + f" at {n.path}")
        unnamed = unnamed_controls(page_nodes)
        if unnamed:
            # The page may be taking in a refresh right now; what is still unnamed a moment
            # later is a gap.
            for n in unnamed:
                log(f"note: {page}: unnamed {n.role} seen ({context(n, page_nodes)}); looking again")
            time.sleep(SETTLE)
            page_nodes = snapshot()
            unnamed = unnamed_controls(page_nodes)
        for n in unnamed:
            findings.append(f"{page}: unnamed {n.role} at {n.path} ({context(n, page_nodes)})")

    def select(section: str) -> list[Node]:
        group = button_group(snapshot(), SECTIONS)
        if not group:
            raise CheckFailed(f"the sidebar vanished before pressing “{section}”")
        action = press(group[section])
        log(f"pressed “{section}” via its action “{action}”")

        def page_shown():
            page = snapshot()
            now = button_group(page, SECTIONS)
            if not now or [k for k, v in now.items() if v.checked] != [section]:
                return None
            if section == "消息" and not heading_showing(page):
                return None
            if section != "消息" and heading_showing(page):
                return None
            return page

        return poll(
            f"pressing “{section}” did not switch the page"
            + (f" (no “{MESSAGES_HEADING}” showing)" if section == "消息" else ""),
            PAGE_TIMEOUT,
            page_shown,
        )

    # Start from a page other than the timeline so that pressing "消息" has something to prove.
    if heading_showing(nodes) or sidebar["消息"].checked:
        log("the timeline is showing at start; going to “首页” first")
        nodes = select("首页")
    note_unnamed("首页", nodes)

    for section in ["消息", "助手", "设置"]:
        t0 = time.monotonic()
        page = select(section)
        if section == "消息":
            heading = [n for n in page if n.showing and n.name == MESSAGES_HEADING]
            log(f"page heading now in the tree: {', '.join(n.label() for n in heading)}")
            timings["“消息” pressed → heading in the tree"] = time.monotonic() - t0
        note_unnamed(section, page)
        log(f"“{section}” page: {len(page)} nodes, "
            f"{sum(1 for n in page if n.showing and is_control(n))} showing controls")
        if section == "消息":
            t0 = time.monotonic()
            check_timeline(snapshot)
            timings["timeline segments toggled"] = time.monotonic() - t0
        elif section == "设置":
            t0 = time.monotonic()
            check_settings_saved(snapshot, config_path)
            timings["settings set, saved and read back"] = time.monotonic() - t0
    return findings


def quit_with_ctrl_q(proc) -> None:
    """Ctrl+Q, as the keyboard would send it, quits razo with status 0; its core keeps running."""
    import pyatspi
    control_mask = 1 << 2
    pyatspi.Registry.generateKeyboardEvent(control_mask, None, pyatspi.KEY_LOCKMODIFIERS)
    try:
        pyatspi.Registry.generateKeyboardEvent(ord("q"), None, pyatspi.KEY_SYM)
    finally:
        pyatspi.Registry.generateKeyboardEvent(control_mask, None, pyatspi.KEY_UNLOCKMODIFIERS)
    poll(f"razo did not quit within {EXIT_TIMEOUT:.0f} s of Ctrl+Q", EXIT_TIMEOUT,
         lambda: proc.poll() is not None)
    if proc.returncode != 0:
        raise CheckFailed(f"razo quit with status {proc.returncode} after Ctrl+Q")
    if not port_answers(CORE_HOST, CORE_PORT):
        raise CheckFailed("the core razo started did not outlive Ctrl+Q")
    log("Ctrl+Q quit razo (status 0); its core still answers")


def stop_razo(proc, tracker: ProcessTracker) -> list[str]:
    """SIGTERM to razo, which quits in order and leaves its core running; then SIGTERM to what
    it left running, SIGKILL as the last resort."""
    problems = []
    tracker.snapshot()
    core_was_up = port_answers(CORE_HOST, CORE_PORT)
    if proc.poll() is None:
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(timeout=EXIT_TIMEOUT)
        except Exception:
            problems.append(f"razo did not exit within {EXIT_TIMEOUT:.0f} s of SIGTERM; killed")
            proc.kill()
            proc.wait()
    code = proc.returncode
    crashes = (signal.SIGSEGV, signal.SIGABRT, signal.SIGBUS, signal.SIGFPE, signal.SIGILL)
    if code is not None and code < 0 and -code in crashes:
        problems.append(f"razo crashed on exit ({signal.Signals(-code).name})")
    log(f"razo exited with status {code}")

    if core_was_up and not port_answers(CORE_HOST, CORE_PORT):
        problems.append("the core razo started did not outlive it")
    leftovers = tracker.alive()
    if leftovers:
        log(f"stopping what razo left running (its core): {leftovers}")
        tracker.signal_all(signal.SIGTERM)
        deadline = time.monotonic() + EXIT_TIMEOUT
        while tracker.alive() and time.monotonic() < deadline:
            time.sleep(POLL)
        tracker.signal_all(signal.SIGKILL)
    deadline = time.monotonic() + EXIT_TIMEOUT
    while port_answers(CORE_HOST, CORE_PORT) and time.monotonic() < deadline:
        time.sleep(POLL)
    if port_answers(CORE_HOST, CORE_PORT):
        problems.append(f"port {CORE_PORT} still answers after razo and its core stopped")
    return problems


def share_display_with_bus_services() -> None:
    """The session bus starts the accessibility bus and its registry on demand, with the bus's own
    environment, which has no DISPLAY when the bus was started before the X server: the registry
    could then not type the keys the check sends. Hand them this process's display first."""
    try:
        from gi.repository import Gio, GLib
        shared = {k: os.environ[k] for k in ("DISPLAY", "XAUTHORITY") if k in os.environ}
        Gio.bus_get_sync(Gio.BusType.SESSION, None).call_sync(
            "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "UpdateActivationEnvironment",
            GLib.Variant("(a{ss})", (shared,)), None, Gio.DBusCallFlags.NONE, 10000, None)
    except Exception as error:  # without it the keys may not arrive; the Ctrl+Q step then says so
        log(f"note: could not share the display with the bus's services ({error})")


def accessibility_bus_available() -> str | None:
    """None when the session bus hands out an accessibility bus; otherwise why not."""
    if not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
        return "no session bus (run under dbus-run-session)"
    try:
        from gi.repository import Gio, GLib
    except ImportError:
        return "python3-gi is not installed"
    try:
        bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
        reply = bus.call_sync(
            "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", None,
            GLib.VariantType.new("(s)"), Gio.DBusCallFlags.NONE, 10000, None,
        )
        if not reply.unpack()[0]:
            return "the accessibility bus has no address"
    except Exception as error:  # GLib.Error: no at-spi2-core, or its launcher failed
        return f"no accessibility bus ({error})"
    return None


def main() -> int:
    repo = pathlib.Path(__file__).resolve().parents[2]
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--razo", default=str(repo / "build" / "bin" / "razo"), help="the razo executable")
    parser.add_argument("--list", action="store_true", help="print every showing control of every page")
    args = parser.parse_args()

    if not os.environ.get("DISPLAY"):
        skip("no X display (run under xvfb-run)")
    if os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
        share_display_with_bus_services()
    try:
        import pyatspi  # noqa: F401
    except ImportError:
        skip("python3-pyatspi is not installed")
    why = accessibility_bus_available()
    if why:
        skip(why)
    if port_answers(CORE_HOST, CORE_PORT):
        skip(f"something already answers on {CORE_HOST}:{CORE_PORT} (a core of the user's?); not touching it")
    razo = pathlib.Path(args.razo).resolve()
    if not os.access(razo, os.X_OK):
        log(f"FAILED: {razo} is missing or not executable (build the razo target first)")
        return 1

    work = pathlib.Path(tempfile.mkdtemp(prefix="razo-a11y-"))
    runtime = work / "run"
    runtime.mkdir(mode=0o700)
    env = dict(os.environ)
    for var in ("QT_QPA_PLATFORM", "MSGRELAY_PORT", "MSGRELAY_FAULTS", "QUILLMERE_PROJECT_DIR",
                "QUILLMERE_BUNDLED_CORE"):
        env.pop(var, None)
    env.update(
        HOME=str(work),  # the core's configuration and log go here, not into the user's home
        XDG_CONFIG_HOME=str(work / ".config"),  # and razo's window placement
        XDG_RUNTIME_DIR=str(runtime),
        QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
        QT_ACCESSIBILITY="1",
        MSGRELAY_HOST=CORE_HOST,  # the stand-in core listens on loopback only
    )
    razo_log = work / "razo.log"
    core_log = work / "Library" / "Application Support" / "Quillmere" / "native-core.log"

    started = time.monotonic()
    global _budget_end
    _budget_end = started + CHECK_BUDGET
    timings: dict[str, float] = {}
    with open(razo_log, "wb") as out:
        proc = subprocess.Popen([str(razo)], env=env, stdout=out, stderr=subprocess.STDOUT,
                                stdin=subprocess.DEVNULL, start_new_session=True, cwd=str(work))
    tracker = ProcessTracker(proc.pid)
    log(f"started {razo} (pid {proc.pid})")

    def interrupted(signum, _frame):
        raise CheckFailed(f"interrupted by {signal.Signals(signum).name}")

    signal.signal(signal.SIGTERM, interrupted)
    signal.signal(signal.SIGINT, interrupted)

    failure = None
    findings: list[str] = []
    try:
        def registered():
            tracker.snapshot()
            if proc.poll() is not None:
                raise CheckFailed(f"razo exited early with status {proc.returncode}")
            return find_app(proc.pid)

        app = poll("razo never appeared on the accessibility registry", WINDOW_TIMEOUT, registered)
        timings["on the registry"] = time.monotonic() - started
        log(f"razo is on the registry as “{app.name}” after {timings['on the registry']:.1f} s")
        findings = check(app, tracker, timings, started, args.list, work / CONFIG_FILE)
        t0 = time.monotonic()
        quit_with_ctrl_q(proc)
        timings["Ctrl+Q → razo gone"] = time.monotonic() - t0
    except CheckFailed as error:
        failure = str(error)
    except Exception as error:  # an AT-SPI error is a failure too, with its text
        failure = f"{type(error).__name__}: {error}"
    finally:
        signal.signal(signal.SIGTERM, signal.SIG_IGN)
        signal.signal(signal.SIGINT, signal.SIG_IGN)
        problems = stop_razo(proc, tracker)

    total = time.monotonic() - started
    for what, at in timings.items():
        log(f"timing: {what}: {at:.1f} s")
    log(f"timing: total: {total:.1f} s")
    for f in findings:
        log(f"GAP: {f}")
    errors = ([failure] if failure else []) + problems
    if findings:
        errors.append(f"{len(findings)} control(s) without an accessible name")
    if errors:
        for e in errors:
            log(f"FAILED: {e}")
        for path in (razo_log, core_log):
            if path.exists():
                log(f"--- last lines of {path.name} ---")
                for line in path.read_text(errors="replace").splitlines()[-25:]:
                    print(f"    {line}")
        log(f"kept {work} for inspection")
        return 1
    shutil.rmtree(work, ignore_errors=True)
    log("PASSED: controls listed and pressable, page switched, service status exposed, "
        "segments toggled, settings set and saved through the accessibility interface, Ctrl+Q quit")
    return 0


if __name__ == "__main__":
    sys.exit(main())
