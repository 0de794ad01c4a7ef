#!/usr/bin/env python3
"""The official MCP TypeScript SDK client (@modelcontextprotocol/sdk, pinned by package-lock.json)
against a real core: it connects to /mcp, lists the tools, finds a message of three days ago through
search_messages and the user's to-dos through get_todos, and completes one.

The client is installed with `npm ci` into --build-dir (never the source tree) when it is missing or
another version.  The messages are stored through msgrelay.message_db as an outside tool would, and
the core is started as razo starts it, on a free port (MSGRELAY_PORT=0).
Exit 77 (skipped) only when npm is missing or the registry cannot be reached.

Usage: sdk_check.py --build-dir DIR
"""

from __future__ import annotations

import argparse
import datetime as dt
import json
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parents[1]
sys.path.insert(0, str(ROOT))

from msgrelay.message_db import MessageDB, NewMessage  # noqa: E402

FILES = ("package.json", "package-lock.json", "sdk_client.mjs")
SDK = "@modelcontextprotocol/sdk"
UNREACHABLE = re.compile(r"\bE(NOTFOUND|AI_AGAIN|CONNREFUSED|CONNRESET|TIMEDOUT|NETUNREACH|HOSTUNREACH)\b"
                         r"|npm (ERR!|error) network")
OLD = "三天前的报价单 v7 已发到你邮箱"
TODO = "@李明 今天下班前把合同终稿发我"
SCAM = "您的 ETC 卡已失效，请于 24 小时内点击 http://etc-renew.example/k 重新认证"


def skip(why: str):
    print(f"mcp_sdk: SKIPPED: {why}")
    sys.exit(77)


def install(folder: pathlib.Path) -> str:
    """The pinned client in `folder`, installed when missing; its version."""
    folder.mkdir(parents=True, exist_ok=True)
    for name in FILES:
        shutil.copyfile(HERE / name, folder / name)
    pinned = json.loads((HERE / "package-lock.json").read_text())["packages"][f"node_modules/{SDK}"]["version"]
    installed = folder / "node_modules" / SDK / "package.json"
    if installed.exists() and json.loads(installed.read_text())["version"] == pinned:
        return pinned
    npm = shutil.which("npm")
    if npm is None or shutil.which("node") is None:
        skip("npm or node is missing (scripts/install-deps.sh installs them)")
    try:
        done = subprocess.run([npm, "ci", "--no-audit", "--no-fund", "--fetch-retries=1", "--fetch-timeout=60000"],
                              cwd=folder, capture_output=True, text=True, timeout=240)
    except subprocess.TimeoutExpired:
        skip("npm ci did not finish within 240 s (registry unreachable?)")
    if done.returncode != 0:
        if UNREACHABLE.search(done.stdout + done.stderr):
            skip("the npm registry cannot be reached")
        sys.exit(f"mcp_sdk: npm ci failed:\n{done.stdout}{done.stderr}")
    return pinned


def store(folder: pathlib.Path, now: dt.datetime):
    db = MessageDB(folder, log=lambda line: None)
    for at, target, chat, kind, sender, text in [
        (now - dt.timedelta(days=3), "wechat", "项目群", "group", "张三", OLD),
        (now - dt.timedelta(minutes=30), "wecom", "客户对接群", "group", "林经理", TODO),
        (now - dt.timedelta(minutes=20), "wechat", "ETC服务", "direct", "ETC服务", SCAM),
    ]:
        assert db.insert(NewMessage(at, target, chat, kind, sender, text, "text", "test", "notify")) is not None
    db.close()


def start_core(config: pathlib.Path) -> tuple[subprocess.Popen, int]:
    env = {k: v for k, v in os.environ.items() if not k.startswith(("MSGRELAY_", "DBUS_"))}
    env.update(PYTHONPATH=str(ROOT), MSGRELAY_PORT="0", MSGRELAY_HOST="127.0.0.1", MSGRELAY_AI_LOOPBACK_ONLY="1")
    core = subprocess.Popen(["/usr/bin/python3", "-u", "-m", "msgrelay.cli", "--config", str(config), "desktop",
                             "--host", "0.0.0.0", "--port", "8765", "--no-browser", "--no-native-window"],
                            cwd=ROOT, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    first = core.stdout.readline()
    match = re.match(r"msgrelay listening on http://127\.0\.0\.1:(\d+)", first)
    if not match:
        core.kill()
        sys.exit(f"mcp_sdk: the core did not start: {first!r}")
    return core, int(match.group(1))


def check(seen: dict, old_time: str) -> list[str]:
    """What is wrong with what the client saw."""
    if seen["errors"]:
        return seen["errors"]
    faults = []
    if seen.get("negotiated") != seen.get("sdkLatest"):
        faults.append(f"negotiated {seen.get('negotiated')}, the client's newest is {seen.get('sdkLatest')}")
    if sorted(seen["tools"]) != ["complete_task", "get_digest", "get_todos", "list_messages", "search_messages"]:
        faults.append(f"tools: {seen.get('tools')}")
    found = seen["search"]["structuredContent"]["messages"]
    if [(m["text"], m["time"], m["sender"]) for m in found] != [(OLD, old_time, "张三")]:
        faults.append(f"search_messages found {found}")
    if f"| 微信 | 项目群 | 张三 | {OLD}" not in seen["search"]["content"][0]["text"]:
        faults.append("search_messages' text line")
    todos = seen["todos"]["structuredContent"]["todos"]
    if not any(t["text"] == TODO and t["sender"] == "林经理" and t["chat"] == "客户对接群" for t in todos):
        faults.append(f"get_todos: {todos}")
    if any(t["text"] == SCAM for t in todos):
        faults.append("a scam among the to-dos")
    if seen["completed"].get("isError") or seen["completed"]["structuredContent"]["ok"] is not True:
        faults.append(f"complete_task: {seen['completed']}")
    done = todos[0]["id"] if todos else None
    if any(t["id"] == done for t in seen["todosAfter"]["structuredContent"]["todos"]):
        faults.append("the completed to-do is still listed")
    listed = seen["listed"]["content"][0]["text"]
    if f"[疑似诈骗] {SCAM}" not in listed or OLD in listed:
        faults.append(f"list_messages of the last hour: {listed}")
    if seen["digest"]["structuredContent"]["total_messages"] != 3:
        faults.append(f"get_digest: {seen['digest']['structuredContent']}")
    if seen["badKind"].get("isError") is not True:
        faults.append(f"an unknown kind was accepted: {seen['badKind']}")
    return faults


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True, type=pathlib.Path)
    args = parser.parse_args()
    folder = args.build_dir.resolve()
    version = install(folder)
    with tempfile.TemporaryDirectory() as tmp:
        config = pathlib.Path(tmp) / "Quillmere" / "bridge.config.json"
        now = dt.datetime.now().astimezone().replace(second=0, microsecond=0)
        store(config.parent, now)
        core, port = start_core(config)
        try:
            client = subprocess.run(["node", str(folder / "sdk_client.mjs"), f"http://127.0.0.1:{port}/mcp", "报价单"],
                                    cwd=folder, capture_output=True, text=True, timeout=120)
        finally:
            core.terminate()
            log = core.communicate(timeout=10)[0]
        if client.returncode != 0:
            sys.exit(f"mcp_sdk: the client failed:\n{client.stdout}{client.stderr}")
        seen = json.loads(client.stdout)
        faults = check(seen, (now - dt.timedelta(days=3)).strftime("%Y-%m-%d %H:%M"))
        for secret in (OLD, TODO, SCAM, "报价单"):
            if secret in log:
                faults.append("the core's log holds a message text or a query")
    for fault in faults:
        print(f"mcp_sdk: FAIL: {fault}")
    if faults:
        return 1
    print(f"mcp_sdk: {SDK} {version}, protocol {seen['negotiated']}: every check passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
