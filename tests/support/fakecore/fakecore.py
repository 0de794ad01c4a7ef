"""Stand-in for the local core in the launcher tests.

Run as `python3 -u -m msgrelay.cli ...` (copied to <project>/msgrelay/cli.py) or through
the packaged-core script QuillmereCore next to it. RAZO_FAKE_CORE_MODE picks what it does:
  record  report, then run until terminated (the default)
  exit    report, then exit at once
  hang    report, then run until killed; a termination request is only noted
Reporting prints one line to standard output and one to standard error, and, when
RAZO_FAKE_CORE_RECORD names a file, appends one JSON line describing this run to it.
A noted termination request appends {"pid": ..., "signal": "SIGTERM"} to that file.
"""

import json
import os
import signal
import sys

mode = os.environ.get("RAZO_FAKE_CORE_MODE", "record")
record_path = os.environ.get("RAZO_FAKE_CORE_RECORD")


def append_record(record):
    if not record_path:
        return
    line = (json.dumps(record, ensure_ascii=False) + "\n").encode("utf-8")
    descriptor = os.open(record_path, os.O_WRONLY | os.O_CREAT | os.O_APPEND, 0o644)
    os.write(descriptor, line)
    os.close(descriptor)


if mode == "hang":
    signal.signal(signal.SIGTERM, lambda number, frame: append_record({"pid": os.getpid(), "signal": "SIGTERM"}))

program = os.environ.get("RAZO_FAKE_CORE_PROGRAM")
if program:
    arguments = sys.argv[1:]
else:
    program, arguments = sys.orig_argv[0], sys.orig_argv[1:]

pid = os.getpid()
print(f"fakecore stdout pid={pid}", flush=True)
print(f"fakecore stderr pid={pid}", file=sys.stderr, flush=True)

if record_path:
    watched = ["PYTHONPATH", "QUILLMERE_BUNDLED_CORE", "QUILLMERE_PROJECT_DIR", "RAZO_FAKE_CORE_INHERITED",
               "RAZO_EXECUTABLE"]
    record = {
        "pid": pid,
        "program": program,
        "arguments": arguments,
        "cwd": os.getcwd(),
        "env": {name: os.environ.get(name) for name in watched},
    }
    append_record(record)

if mode == "exit":
    sys.exit(0)
while True:
    signal.pause()
