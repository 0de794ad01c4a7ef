#!/usr/bin/env python3
"""The official MCP TypeScript SDK client (pinned by package-lock.json) against a real core: it connects
to /mcp, lists the tools, calls each (checking their results against the output schemas), finds a
message of three days ago through search_messages and the user's to-dos through get_todos.

The client is installed with `npm ci` into --build-dir (never the source tree) when it is missing or
another version; the messages are stored through msgrelay.message_db; the core is started as razo
starts it, on a free port.  Exit 77 (skipped) only when npm is missing or its registry unreachable.
"""

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

SDK = "@modelcontextprotocol/sdk"
UNREACHABLE = re.compile(r"\bE(NOTFOUND|AI_AGAIN|CONNREFUSED|CONNRESET|TIMEDOUT|NETUNREACH|HOSTUNREACH)\b"
                         r"|npm (ERR!|error) network")
OLD, TODO = "三天前的报价单 v7 已发到你邮箱", "@李明 今天下班前把合同终稿发我"


def skip(why: str):
    print(f"mcp_sdk: SKIPPED: {why}")
    sys.exit(77)


def install(folder: pathlib.Path) -> str:
    """The pinned client in `folder`, installed when missing; its version."""
    folder.mkdir(parents=True, exist_ok=True)
    for name in ("package.json", "package-lock.json", "sdk_client.mjs"):
        shutil.copyfile(HERE / name, folder / name)
    pinned = json.loads((HERE / "package-lock.json").read_text())["packages"][f"node_modules/{SDK}"]["version"]
    installed = folder / "node_modules" / SDK / "package.json"
    if installed.exists() and json.loads(installed.read_text())["version"] == pinned:
        return pinned
    if shutil.which("npm") is None or shutil.which("node") is None:
        skip("npm or node is missing (scripts/install-deps.sh installs them)")
    try:
        done = subprocess.run(["npm", "ci", "--no-audit", "--no-fund", "--fetch-retries=1", "--fetch-timeout=60000"],
                              cwd=folder, capture_output=True, text=True, timeout=240)
    except subprocess.TimeoutExpired:
        skip("npm ci did not finish within 240 s (registry unreachable?)")
    if done.returncode != 0:
        if UNREACHABLE.search(done.stdout + done.stderr):
            skip("the npm registry cannot be reached")
        sys.exit(f"mcp_sdk: npm ci failed:\n{done.stdout}{done.stderr}")
    return pinned


def run_client(config: pathlib.Path, folder: pathlib.Path) -> tuple[dict, str]:
    """What the client saw, and the core's log."""
    env = {k: v for k, v in os.environ.items() if not k.startswith(("MSGRELAY_", "DBUS_"))}
    env.update(PYTHONPATH=str(ROOT), MSGRELAY_PORT="0", MSGRELAY_HOST="127.0.0.1", MSGRELAY_AI_LOOPBACK_ONLY="1")
    core = subprocess.Popen(["/usr/bin/python3", "-u", "-m", "msgrelay.cli", "--config", str(config), "desktop",
                             "--host", "0.0.0.0", "--port", "8765", "--no-browser", "--no-native-window"],
                            cwd=ROOT, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    try:
        first, port = "", None
        for _ in range(20):  # the lines before it say what the core set right in its folder
            line = core.stdout.readline()
            first += line
            port = re.match(r"msgrelay listening on http://127\.0\.0\.1:(\d+)", line)
            if port or not line:
                break
        if not port:
            sys.exit(f"mcp_sdk: the core did not start: {first!r}")
        client = subprocess.run(["node", "sdk_client.mjs", f"http://127.0.0.1:{port.group(1)}/mcp", "报价单"],
                                cwd=folder, capture_output=True, text=True, timeout=120)
    finally:
        core.terminate()
        log = first + core.communicate(timeout=10)[0]
    if client.returncode != 0:
        sys.exit(f"mcp_sdk: the client failed:\n{client.stdout}{client.stderr}")
    return json.loads(client.stdout), log


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True, type=pathlib.Path)
    folder = parser.parse_args().build_dir.resolve()
    version = install(folder)
    now = dt.datetime.now().astimezone().replace(second=0, microsecond=0)
    with tempfile.TemporaryDirectory() as tmp:
        config = pathlib.Path(tmp) / "Quillmere" / "bridge.config.json"
        db = MessageDB(config.parent, log=lambda line: None)
        for ago, target, chat, sender, text in [(dt.timedelta(days=3), "wechat", "项目群", "张三", OLD),
                                                (dt.timedelta(minutes=30), "wecom", "客户对接群", "林经理", TODO)]:
            db.insert(NewMessage(now - ago, target, chat, "group", sender, text, "text", "test", "notify"))
        db.close()
        config.write_text(json.dumps({"user_profile": {"display_name": "李明", "aliases": []}}), encoding="utf-8")
        seen, log = run_client(config, folder)
    faults = seen["errors"] or [
        f"{what}: {got!r}" for what, got, expected in [
            ("negotiated revision", seen["negotiated"], seen["sdkLatest"]),
            ("tools", sorted(seen["tools"]),
             ["complete_task", "get_digest", "get_todos", "list_messages", "search_messages"]),
            ("found", [(m["text"], m["time"], m["chat"]) for m in seen["search"]["structuredContent"]["messages"]],
             [(OLD, (now - dt.timedelta(days=3)).strftime("%Y-%m-%d %H:%M"), "项目群")]),
            ("to-dos", [(t["text"], t["sender"]) for t in seen["todos"]["structuredContent"]["todos"]][:1],
             [(TODO, "林经理")]),
            ("refused tool calls", [n for n, r in seen.items() if isinstance(r, dict) and r.get("isError")], []),
            ("texts in the log", [text for text in (OLD, TODO, "报价单") if text in log], []),
        ] if got != expected]
    for fault in faults:
        print(f"mcp_sdk: FAIL: {fault}")
    if not faults:
        print(f"mcp_sdk: {SDK} {version}, protocol {seen['negotiated']}: every check passed")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
