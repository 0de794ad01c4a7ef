#!/bin/sh
# Shows the door against other accounts of the machine, by hand (needs root, setpriv and a built
# build/bin/razo; nothing here is run by ctest). It uses port 8765, so it runs in a network
# namespace of its own:
#
#     unshare -n sh bench/door_check.sh [CHECKOUT]
#
# 1. a listener of `nobody` on 8765: the core sends it nothing and exits 1, razo --screenshot
#    shows 启动失败 (overview.png is copied to $DOOR_CHECK_SHOTS when that is set);
# 2. 400 wrong tokens from nobody over 100 loopback addresses, then the right one from a new address;
# 3. an inherited 0644 configuration after the core started;
# 4. a settings save with the remote token from another account that moves the AI address;
# 5. escape sequences in a request line, and what reaches the log.
set -u
ip link set lo up
repo="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
nobody="setpriv --reuid=65534 --regid=65534 --clear-groups"
work=$(mktemp -d); chmod 755 "$work"
cd "$repo"
export PYTHONPATH="$repo" MSGRELAY_AI_LOOPBACK_ONLY=1

echo "== 1. a listener of nobody on 8765: the core sends it nothing and exits non-zero"
$nobody /usr/bin/python3 -u -c '
import socket
s = socket.socket(socket.AF_INET6); s.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 0)
s.bind(("::", 8765)); s.listen(8); print("squatter listening on 8765", flush=True)
while True:
    c, _ = s.accept(); c.settimeout(2)
    try: print("squatter heard", c.recv(65536), flush=True)
    except OSError: print("squatter: a connection, nothing heard", flush=True)
    c.close()' > "$work/squatter.out" 2>&1 &
squatter=$!
sleep 1
/usr/bin/python3 -u -m msgrelay.cli --config "$work/core1/bridge.config.json" desktop --host 0.0.0.0 --port 8765 > "$work/core1.log" 2>&1
echo "core exit status: $?"; cat "$work/core1.log"
echo "-- razo (razo --screenshot, offscreen) against it:"
HOME="$work/home" QT_QPA_PLATFORM=offscreen timeout 60 "$repo/build/bin/razo" --screenshot "$work/shots" > "$work/razo.out" 2>&1
echo "razo exit status: $?"; ls "$work/shots"
kill $squatter; sleep 0.5
echo "what the squatter received:"; cat "$work/squatter.out"
[ -n "${DOOR_CHECK_SHOTS:-}" ] && cp "$work/shots/overview.png" "$DOOR_CHECK_SHOTS/"

echo "== 2..5: a core on 8765 with an inherited 0644 configuration"
mkdir -p "$work/core2"
printf '{"remote_access_token": "right-token-1", "ai": {"provider": "openai-compatible", "base_url": "https://gw.example/v1"}}\n' > "$work/core2/bridge.config.json"
chmod 644 "$work/core2/bridge.config.json"; chmod 755 "$work/core2"
ls -l "$work/core2/bridge.config.json" | cut -d' ' -f1
/usr/bin/python3 -u -m msgrelay.cli --config "$work/core2/bridge.config.json" desktop --host 0.0.0.0 --port 8765 > "$work/core2.log" 2>&1 &
core=$!
sleep 2
echo "-- 3. after the start:"; stat -c '%a %n' "$work/core2" "$work/core2/bridge.config.json"

echo "-- 2. 400 wrong tokens from nobody over 100 loopback addresses, then the right token from a new address"
$nobody /usr/bin/python3 -c '
import collections, http.client, socket
def ask(source, token):
    c = http.client.HTTPConnection("127.0.0.1", 8765, timeout=10, source_address=(source, 0))
    c.request("GET", "/api/events", headers={"Quillmere": token}); return c.getresponse().status
seen = collections.Counter(ask(f"127.0.{n % 100}.{2 + n // 100}", "wrong-guess") for n in range(400))
print("400 wrong tokens:", dict(seen))
print("right token from 127.9.9.9:", ask("127.9.9.9", "right-token-1"))
'
echo "-- 4. a settings save with the remote token, from another account (uid 4321), moving the AI address"
setpriv --reuid=4321 --regid=4321 --clear-groups /usr/bin/python3 -c '
import http.client, json
c = http.client.HTTPConnection("127.0.0.1", 8765, timeout=10, source_address=("127.8.0.1", 0))
c.request("POST", "/api/config/native/save", body=json.dumps({"ai": {"base_url": "https://attacker.example/v1"}}),
          headers={"Content-Type": "application/json", "Quillmere": "right-token-1"})
r = c.getresponse(); print(r.status, json.loads(r.read())["error"])
'
grep -o '"base_url": "[^"]*"' "$work/core2/bridge.config.json"
echo "-- 5. escape sequences in a request line"
/usr/bin/python3 -c '
import socket
s = socket.create_connection(("127.0.0.1", 8765))
s.sendall(b"GET /\x1b[2J\x1b]0;owned\x07 HTTP/1.1\r\nHost: 127.0.0.1:8765\r\nConnection: close\r\n\r\n"); print(s.recv(200).split(b"\r\n")[0])
s = socket.create_connection(("127.0.0.1", 8765))
s.sendall(b"G\x1b[31mET / HTTP/1.1\r\nHost: 127.0.0.1:8765\r\nConnection: close\r\n\r\n"); print(s.recv(200).split(b"\r\n")[0])'
sleep 0.5
echo "raw escape bytes in the core log: $(grep -c "$(printf '\033')" "$work/core2.log")"
grep -a 'GET /\|G\\' "$work/core2.log" | tail -3
echo "log lines: $(wc -l < "$work/core2.log")"; grep -a "wrong remote\|more refusals" "$work/core2.log"
kill $core; wait $core 2>/dev/null
rm -rf "$work"
