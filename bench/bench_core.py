#!/usr/bin/python3
"""The core at 1,000 / 10,000 / 50,000 stored messages: what razo's requests cost, and the capture.

For each size: a temporary store is filled through message_db (bench/week_of_messages.py) as an
outside tool fills it (no sortings stored), the core is started on it as razo starts it (its own
process, a free loopback port), razo's first refresh is timed, the core is left to store the
sorting of every message and is stopped.  Then it is started again, and
- the time until it answers and its first GET /api/state are taken;
- each request razo makes is timed RUNS times, median: GET /api/state, GET /api/events?hours=168&
  limit=120, the kind query GET /api/events?kind=…&hours=168&limit=500 (todo, follow_up, important,
  meeting: the presets of razo's timeline; "—" for a core without it), the rule answers of GET /api/ask and POST /api/chat (a different question each time),
  GET /api/search (a different query each time; "—" when the core has no such path);
- the core's CPU is read from /proc while a refresh (state and events at once, as razo does) comes
  every INTERVAL seconds, per interval, median of CYCLES;
- its RSS after that;
- the insert wait: in a second process, a core on the same store serves a reader that asks for state
  and messages without pause while the capture stores notifications; the longest `offer` is shown.

    bench/bench_core.py [--repo CHECKOUT] [--sizes 1000,10000,50000] [--runs 5] [--cycles 5] [--interval 8]

--repo runs another checkout's core (for a before/after comparison); the messages are the same.
"""

from __future__ import annotations

import argparse
import concurrent.futures
import http.client
import json
import os
import pathlib
import sqlite3
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.parse

from process_figures import cpu_seconds, free_port

HERE = pathlib.Path(__file__).resolve().parent
ASKS = ["张三说的合同审批怎么样了", "客户反馈的问题修复了吗", "最近有什么待办", "羽毛球什么时候打", "明天开什么会"]
CHATS = ["最近企业微信有什么消息", "今天先处理什么", "报销单据什么时候截止", "机房停电的通知", "哪些消息需要跟进"]
QUERIES = ["复盘", "合同", "Leo", "取件码", "周报"]
KINDS = ["todo", "follow_up", "important", "meeting", "todo"]
INSERTS = 40


def environment(repo: pathlib.Path, port: int | None = None) -> dict:
    env = {k: v for k, v in os.environ.items() if k not in ("DEEPSEEK_API_KEY", "DASHSCOPE_API_KEY",
                                                          "DBUS_SESSION_BUS_ADDRESS", "MSGRELAY_FAULTS")}
    env.update(PYTHONPATH=f"{repo}{os.pathsep}{HERE}", MSGRELAY_AI_LOOPBACK_ONLY="1", MSGRELAY_HOST="127.0.0.1")
    if port is not None:
        env["MSGRELAY_PORT"] = str(port)
    return env


def request(port: int, method: str, path: str, body=None) -> tuple[int, float]:
    """One request on a connection of its own, as razo sends it; (status, milliseconds)."""
    started = time.perf_counter()
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=120)
    try:
        data = None if body is None else json.dumps(body).encode()
        conn.request(method, path, body=data, headers={"Content-Type": "application/json"})
        reply = conn.getresponse()
        reply.read()
        return reply.status, (time.perf_counter() - started) * 1000
    finally:
        conn.close()


def median_ms(port: int, calls) -> float | None:
    times = []
    for method, path, body in calls:
        status, ms = request(port, method, path, body)
        if status == 404:
            return None
        if status != 200:
            raise RuntimeError(f"{method} {path} answered {status}")
        times.append(ms)
    return statistics.median(times)



def knows_kinds(port: int) -> bool:
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=120)
    try:
        conn.request("GET", "/api/events?kind=todo&hours=168&limit=1")
        return "kind" in json.loads(conn.getresponse().read())
    finally:
        conn.close()


def rss_mb(pid: int) -> float:
    for line in pathlib.Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith("VmRSS:"):
            return int(line.split()[1]) / 1024
    return 0.0


def refresh(port: int):
    """razo's refresh: state and the week's messages at once."""
    with concurrent.futures.ThreadPoolExecutor(2) as pool:
        for future in [pool.submit(request, port, "GET", "/api/state"),
                       pool.submit(request, port, "GET", "/api/events?hours=168&limit=120")]:
            future.result()


def start_core(repo: pathlib.Path, folder: pathlib.Path) -> tuple[subprocess.Popen, int, float]:
    """(process, port, milliseconds until it answered)."""
    port = free_port()
    started = time.perf_counter()
    core = subprocess.Popen([sys.executable, "-u", "-m", "msgrelay.cli", "--config", str(folder / "bridge.config.json"),
                             "desktop", "--no-browser", "--no-native-window"], cwd=repo, env=environment(repo, port),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    deadline = time.monotonic() + 60
    while True:
        try:
            if request(port, "GET", "/api/auth/status")[0] == 200:
                return core, port, (time.perf_counter() - started) * 1000
        except OSError:
            pass
        if time.monotonic() > deadline:
            stop_core(core)
            raise RuntimeError("the core did not answer within 60 s")
        time.sleep(0.02)


def stop_core(core: subprocess.Popen):
    core.terminate()
    try:
        core.wait(timeout=30)
    except subprocess.TimeoutExpired:
        core.kill()
        core.wait()


def wait_for_sortings(folder: pathlib.Path, timeout: float = 600.0):
    """Until every stored message has its sorting stored (a core without stored sortings: at once)."""
    deadline = time.monotonic() + timeout
    with sqlite3.connect(f"file:{folder / 'msgrelay.db'}?mode=ro", uri=True) as db:
        if "sorted_for" not in {row[1] for row in db.execute("PRAGMA table_info(messages)")}:
            return
        while db.execute("SELECT COUNT(*) FROM messages WHERE sorted_for IS NULL").fetchone()[0]:
            if time.monotonic() > deadline:
                raise RuntimeError("the core did not store the sortings in time")
            time.sleep(0.2)


def measure_core(repo: pathlib.Path, folder: pathlib.Path, args) -> dict:
    core, port, _ = start_core(repo, folder)
    try:
        started = time.perf_counter()
        refresh(port)  # razo's first refresh after the first start on a store that holds no sortings
        result = {"first_refresh": (time.perf_counter() - started) * 1000}
        wait_for_sortings(folder)
    finally:
        stop_core(core)
    core, port, result["answers_after"] = start_core(repo, folder)
    try:
        result["first_state"] = median_ms(port, [("GET", "/api/state", None)])  # the first after the restart
        q = urllib.parse.quote
        result["state"] = median_ms(port, [("GET", "/api/state", None)] * args.runs)
        result["events"] = median_ms(port, [("GET", "/api/events?hours=168&limit=120", None)] * args.runs)
        result["kind"] = median_ms(port, [("GET", f"/api/events?kind={kind}&hours=168&limit=500", None)
                                          for kind in KINDS[:args.runs]]) if knows_kinds(port) else None
        result["ask"] = median_ms(port, [("GET", f"/api/ask?hours=168&q={q(a)}", None) for a in ASKS[:args.runs]])
        result["chat"] = median_ms(port, [("POST", "/api/chat", {"message": c}) for c in CHATS[:args.runs]])
        result["search"] = median_ms(port, [("GET", f"/api/search?q={q(s)}&hours=168&limit=200", None)
                                            for s in QUERIES[:args.runs]])
        shares = []
        for _ in range(args.cycles):
            wall, cpu = time.monotonic(), cpu_seconds(core.pid)
            refresh(port)
            time.sleep(max(0.0, args.interval - (time.monotonic() - wall)))
            shares.append(100 * (cpu_seconds(core.pid) - cpu) / (time.monotonic() - wall))
        result["cpu"] = statistics.median(shares)
        result["rss"] = rss_mb(core.pid)
        return result
    finally:
        stop_core(core)


_INSERT_WAIT = r"""
import json, pathlib, sys, threading, time, http.client
from msgrelay.core import Core
from msgrelay.faults import FaultPlan
from msgrelay.http.server import Server
from msgrelay.capture.dbus_monitor import Sighting
folder, count = pathlib.Path(sys.argv[1]), int(sys.argv[2])
core = Core(str(folder / "bridge.config.json"), "127.0.0.1", 0, log=lambda line: None)
core.start()
server = Server(("127.0.0.1", 0), core, FaultPlan(""), log=lambda line: None)
threading.Thread(target=server.serve_forever, daemon=True).start()
port = server.server_address[1]
def get(path):
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=120)
    conn.request("GET", path); conn.getresponse().read(); conn.close()
get("/api/state")
stop = threading.Event()
def reader():
    while not stop.is_set():
        get("/api/state"); get("/api/events?hours=168&limit=120")
readers = [threading.Thread(target=reader, daemon=True) for _ in range(2)]
for r in readers: r.start()
time.sleep(0.5)
waits, stored = [], 0
for number in range(count):
    sighting = Sighting("wecom", "企业微信", "notify", "测速群", f"测速员: 第 {number} 条：请确认第 {number} 版方案")
    started = time.perf_counter()
    stored += core.capture.offer(sighting) is not None
    waits.append((time.perf_counter() - started) * 1000)
    time.sleep(0.05)
stop.set()
for r in readers: r.join()
print(json.dumps({"max": max(waits), "median": sorted(waits)[len(waits) // 2], "stored": stored}))
server.shutdown(); core.close()
"""


def measure_insert_wait(repo: pathlib.Path, folder: pathlib.Path) -> dict:
    out = subprocess.run([sys.executable, "-c", _INSERT_WAIT, str(folder), str(INSERTS)], cwd=repo,
                         env=environment(repo), capture_output=True, text=True, timeout=1800)
    if out.returncode != 0:
        raise RuntimeError(f"insert wait: {out.stderr[-2000:]}")
    return json.loads(out.stdout.strip().splitlines()[-1])


def fill(repo: pathlib.Path, folder: pathlib.Path, count: int):
    code = ("import datetime as dt, pathlib, sys, week_of_messages as w; "
            "print(w.fill(pathlib.Path(sys.argv[1]), int(sys.argv[2]), dt.datetime.now().astimezone()))")
    subprocess.run([sys.executable, "-c", code, str(folder), str(count)], cwd=repo, env=environment(repo), check=True,
                   capture_output=True, timeout=1800)


def cell(value, unit="ms", digits=0) -> str:
    if value is None:
        return "—"
    return f"{value:,.{digits}f} {unit}"


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--repo", default=str(HERE.parent))
    parser.add_argument("--sizes", default="1000,10000,50000")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--cycles", type=int, default=5)
    parser.add_argument("--interval", type=float, default=8.0)
    args = parser.parse_args()
    repo = pathlib.Path(args.repo).resolve()
    print(f"core of {repo}; load average at start {os.getloadavg()[0]:.2f} on {os.cpu_count()} CPUs", flush=True)
    print("\n| stored messages | first GET /api/state after a restart | GET /api/state "
          "| GET /api/events?hours=168&limit=120 | GET /api/events?kind=…&limit=500 | GET /api/ask | POST /api/chat "
          "| GET /api/search | core CPU while razo polls every 8 s | core RSS | longest insert wait |")
    print("|---|---|---|---|---|---|---|---|---|---|---|", flush=True)
    for size in (int(s) for s in args.sizes.split(",")):
        with tempfile.TemporaryDirectory(prefix="razo-bench-") as tmp:
            folder = pathlib.Path(tmp)
            fill(repo, folder, size)
            r = measure_core(repo, folder, args)
            wait = measure_insert_wait(repo, folder)
        print(f"| {size:,} | {cell(r['first_state'])} | {cell(r['state'])} | {cell(r['events'])} | {cell(r['kind'])} "
              f"| {cell(r['ask'])} | {cell(r['chat'])} | {cell(r['search'])} | {cell(r['cpu'], '%', 1)} "
              f"| {cell(r['rss'], 'MB')} | {cell(wait['max'])} |", flush=True)
        print(f"<!-- {size}: first refresh after the first start (no sortings stored) {r['first_refresh']:.0f} ms; "
              f"after the restart the core answered {r['answers_after']:.0f} ms after it was started; insert wait "
              f"median {wait['median']:.1f} ms, {wait['stored']}/{INSERTS} stored -->", flush=True)
    print(f"\nload average at the end {os.getloadavg()[0]:.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
