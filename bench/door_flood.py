"""Measures razo's requests while other clients hold the core's connections (run by hand).

    /usr/bin/python3 bench/door_flood.py [--from lan|account|own] [--connections 1000] [--seconds 20]
                                          [--trickle] [--reconnect] [--time-wait N] [--core-root DIR]

Starts a core (descriptor limit 1024, like `ulimit -n 1024`) on 0.0.0.0 and a free port, opens the
idle connections from another client, then sends razo's refresh pair (GET /api/state and GET
/api/events?hours=168&limit=120, Host 127.0.0.1:PORT, Connection: close) every 250 ms and prints
the latencies, the failures and the core's CPU use.  --from lan connects to this machine's first
non-loopback address (the core sees a LAN client); --from account runs the flood as `nobody`
(needs root); --from own floods as the user.  --trickle sends one header byte every 2 s on each
connection; --reconnect opens a new connection whenever the core closes one.  --time-wait N first
leaves about N closed connections in TIME_WAIT (the kernel keeps them for a minute; every one is a
row of /proc/net/tcp), so that the cost of looking up a connection's owner shows; run it in a
network namespace of its own, so that no one else's table grows:

    unshare -n sh -c 'ip link set lo up && /usr/bin/python3 bench/door_flood.py --from own \
        --connections 0 --time-wait 120000'
"""

from __future__ import annotations

import argparse
import pathlib
import resource
import socket
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT))
from msgrelay.network import lan_addresses  # noqa: E402
from process_figures import cpu_seconds, free_port  # noqa: E402

FLOOD = r"""
import resource, selectors, socket, sys, time
resource.setrlimit(resource.RLIMIT_NOFILE, (resource.getrlimit(resource.RLIMIT_NOFILE)[1],) * 2)  # runuser lowers it
host, port, count, trickle, reconnect, seconds = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4] == "1", sys.argv[5] == "1", float(sys.argv[6])
sel = selectors.DefaultSelector()
def open_one():
    s = socket.socket(); s.setblocking(False)
    try: s.connect_ex((host, port))
    except OSError: s.close(); return
    sel.register(s, selectors.EVENT_WRITE)
for n in range(count):  # in small batches, so that the core's accept queue never overflows
    open_one()
    if n % 20 == 19: time.sleep(0.05)
connected = refused = 0
deadline = time.monotonic() + 60
while connected + refused < count and time.monotonic() < deadline:  # until every handshake is done
    for key, _ in sel.select(timeout=1.0):
        s = key.fileobj
        if s.getsockopt(socket.SOL_SOCKET, socket.SO_ERROR) == 0:
            connected += 1; sel.modify(s, selectors.EVENT_READ)
        else:
            refused += 1; sel.unregister(s); s.close()
            if reconnect: open_one()
print(f"flood: {connected} connected, {refused} refused, {count - connected - refused} pending", flush=True)
end, step, opened, closed = time.monotonic() + seconds, 0, count, 0
while time.monotonic() < end:
    for key, events in sel.select(timeout=2.0 if trickle else 0.5):
        s = key.fileobj
        if events & selectors.EVENT_WRITE:
            sel.modify(s, selectors.EVENT_READ); continue
        try: data = s.recv(4096)
        except OSError: data = b""
        if not data:
            sel.unregister(s); s.close(); closed += 1
            if reconnect: open_one(); opened += 1
    if trickle:
        for key in list(sel.get_map().values()):
            try: key.fileobj.send(b"GET / HTTP/1.1\r\n"[step % 16:step % 16 + 1])
            except OSError: pass
        step += 1
print(f"flood: opened {opened}, closed by the core {closed}, open at the end {len(sel.get_map())}", flush=True)
"""



def request(port: int, path: str) -> float | None:
    started = time.monotonic()
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=15) as sock:
            sock.sendall(f"GET {path} HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\nConnection: close\r\n\r\n".encode())
            data = b""
            while chunk := sock.recv(65536):
                data += chunk
    except OSError:
        return None
    return time.monotonic() - started if data.startswith(b"HTTP/1.1 200") else None



def leave_time_wait(count: int) -> tuple[list[socket.socket], int]:
    """Opens and closes `count` connections to 64 listeners of its own, the listener's side
    closing first, so that each stays in TIME_WAIT; (the listeners, to be closed at the end,
    the TIME_WAIT rows the kernel then lists)."""
    listeners = []
    for _ in range(64):  # many ports, so that few connections meet an earlier one's ports
        listener = socket.socket()
        listener.bind(("127.0.0.1", 0))
        listener.listen(4096)
        listeners.append(listener)
    for number in range(count):
        listener = listeners[number % len(listeners)]
        with socket.create_connection(listener.getsockname()) as client:
            accepted, _ = listener.accept()
            accepted.close()
    rows = 0
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        with open(table, "rb") as handle:
            rows += sum(1 for line in handle if line.split()[3:4] == [b"06"])
    return listeners, rows


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--from", dest="source", choices=("lan", "account", "own"), default="lan")
    parser.add_argument("--connections", type=int, default=1000)
    parser.add_argument("--seconds", type=float, default=20.0)
    parser.add_argument("--trickle", action="store_true")
    parser.add_argument("--reconnect", action="store_true")
    parser.add_argument("--time-wait", type=int, default=0, help="closed connections left in TIME_WAIT first")
    parser.add_argument("--core-root", default=str(ROOT), help="checkout whose msgrelay/ is started")
    args = parser.parse_args()
    port = free_port()
    host = "127.0.0.1"
    listeners, rows = [], 0
    if args.source == "lan":
        addresses = lan_addresses()
        if not addresses:
            print("no non-loopback address on this machine")
            return 77
        host = addresses[0]
    with tempfile.TemporaryDirectory() as tmp:
        core = subprocess.Popen(
            ["/usr/bin/python3", "-u", "-m", "msgrelay.cli", "--config", f"{tmp}/bridge.config.json", "desktop",
             "--host", "0.0.0.0", "--port", str(port)], cwd=args.core_root, stdout=subprocess.DEVNULL,
            preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (1024, 1024)))
        try:
            while request(port, "/api/auth/status") is None:
                time.sleep(0.1)
            quiet = [took for took in (request(port, "/api/state") for _ in range(5)) if took is not None]
            if args.time_wait:
                leaving = time.monotonic()
                listeners, rows = leave_time_wait(args.time_wait)
                print(f"{rows} TIME_WAIT rows after {time.monotonic() - leaving:.1f} s")
            flood_cmd = [sys.executable, "-c", FLOOD, host, str(port), str(args.connections), str(int(args.trickle)),
                         str(int(args.reconnect)), str(args.seconds + 2)]
            if args.source == "account":
                flood_cmd = ["runuser", "-u", "nobody", "--", "/usr/bin/python3"] + flood_cmd[1:]
            flood = subprocess.Popen(flood_cmd, cwd="/", stdout=subprocess.PIPE, text=True,
                                     preexec_fn=lambda: resource.setrlimit(
                                         resource.RLIMIT_NOFILE, (args.connections + 64, args.connections + 64)))
            flooding = time.monotonic()
            print(flood.stdout.readline().strip(), f"after {time.monotonic() - flooding:.1f} s")
            cpu, wall = cpu_seconds(core.pid), time.monotonic()
            times, failed = [], 0
            end = time.monotonic() + args.seconds
            while time.monotonic() < end:
                for path in ("/api/state", "/api/events?hours=168&limit=120"):
                    took = request(port, path)
                    if took is None:
                        failed += 1
                    else:
                        times.append(took)
                time.sleep(0.25)
            cpu_share = (cpu_seconds(core.pid) - cpu) / (time.monotonic() - wall)
            print(flood.stdout.read().strip())
            flood.wait()
        finally:
            core.terminate()
            core.wait()
    for listener in listeners:
        listener.close()
    print(f"flood from {args.source}: {args.connections} connections"
          f"{', trickling' if args.trickle else ''}{', reconnecting' if args.reconnect else ''}"
          f"{f', {rows} TIME_WAIT rows' if args.time_wait else ''}")
    if quiet:
        print(f"without flood: GET /api/state median {statistics.median(quiet) * 1000:.0f} ms")
    if times:
        print(f"razo's requests: {len(times)} answered, {failed} failed; median {statistics.median(times) * 1000:.0f} ms, "
              f"95th {sorted(times)[int(len(times) * 0.95) - 1] * 1000:.0f} ms, max {max(times) * 1000:.0f} ms")
    else:
        print(f"razo's requests: none answered, {failed} failed")
    print(f"core CPU while flooded: {cpu_share * 100:.0f} % of one core")
    return 0


if __name__ == "__main__":
    sys.exit(main())
