"""msgrelay: the small local core that razo starts and talks to over JSON/HTTP.

It reads the WeChat and WeCom messages the user receives from the clients'
desktop notifications on the session bus (msgrelay/capture, with python3-jeepney)
and keeps those of the last 7 days in msgrelay.db beside the configuration file
(message_db.py).  Until the first one arrives it serves demo messages instead
(WeChat and WeCom, the last 7 days, computed relative to the moment it starts,
each marked 【示例】).  It also serves a digest of the messages, the configuration
that razo saves, the setup checklist, the WeCom read diagnostics and the agent
read address.  Python 3.11 standard library plus python3-jeepney.

With AI switched on in the saved configuration, /api/chat, /api/ask and the
digest's lists come from the configured provider's OpenAI-compatible
chat-completions endpoint (DeepSeek, Qwen, a local Ollama or any gateway; see
ai/settings.py and ai/address.py); every failure falls back to the rules and
is reported in the state's setup checklist (item ``ai_provider``) and the
built-in chat notes.

Start (exactly as razo's launcher does, with the repository root as working
directory and PYTHONPATH)::

    /usr/bin/python3 -u -m msgrelay.cli --config PATH desktop \\
        --host 0.0.0.0 --port 8765 --no-browser --no-native-window

Environment:

``MSGRELAY_PORT``
    Overrides ``--port`` (tests pick a free port so they never meet a core on
    8765).  ``0`` lets the system choose; the chosen address is printed on the
    first line of standard output: ``msgrelay listening on http://HOST:PORT``.
``MSGRELAY_HOST``
    Overrides ``--host``.
``DBUS_SESSION_BUS_ADDRESS``
    The session bus whose notifications are read; without it the core serves and
    says in its diagnostics that it cannot read notifications.
``MSGRELAY_AI_TIMEOUT``
    Seconds one AI provider call may take (default 25; /api/ask uses at most 12
    because razo gives GET requests 15 seconds).  Tests shorten it.
``MSGRELAY_FAULTS``
    Fault injection for tests, a ``;``-separated list of ``TARGET=KIND[,KIND...]``::

        state=status:500;events=delay:2.5;chat=drop;ask=malformed;*=status:503

    TARGET is an endpoint name or a path, ``*`` for every endpoint without a
    rule of its own.  Names: ``auth`` (/api/auth/status), ``state``,
    ``events``, ``search``, ``ask``, ``chat``, ``scan`` (/api/scan/wecom/visible),
    ``save`` (/api/config/native/save), ``push`` (/api/remote/context/push),
    ``complete`` (/api/tasks/complete), ``open-config-dir``
    (/api/desktop/open-config-dir), ``agent`` (/api/agent/context),
    ``mobile`` (/mobile.html).  KINDs, applied in the order written:

    ``status:N``        answer HTTP N with a JSON error body instead of working;
    ``delay:SECONDS``   wait before answering (fractions allowed);
    ``drop``            close the connection without any reply;
    ``malformed``       answer 200 with a body that is not valid JSON;
    ``no-content``      answer 204 with no body instead of working;
    ``wrong-types``     serve the request, but give every top-level value of
                        the JSON reply another type (text a number, a
                        number or boolean text, a list an object, ...);
    ``refuse-first:N``  drop the connection for the first N requests of the
                        target, then serve normally;
    ``random:P``        with probability P (0 to 1) one fault of the kinds
                        above, picked at random (status 500 or 503, a delay
                        of up to 1.5 s, drop, malformed, no-content,
                        wrong-types); otherwise serve normally.

    Entries that cannot be read are reported on standard output and ignored.
``MSGRELAY_FAULTS_FILE``
    A file holding the same rules, used instead of ``MSGRELAY_FAULTS`` and read
    again whenever it changes (its counters then start afresh), so that a test
    switches faults without restarting the core.  No file means no faults.
``MSGRELAY_FAULT_SEED``
    Integer seed of the ``random`` faults, to repeat a run; without it the seed
    is chosen at start and logged with the fault rules.

Endpoints: GET /api/auth/status, /api/state, /api/events?hours=&limit=,
/api/search?q=&hours=&limit= (the stored messages matching q by razo's own
search rule, newest first, in the shape of /api/events), /api/ask?hours=&q=,
/api/agent/context, /mobile.html; POST /api/chat, /api/scan/wecom/visible, /api/config/native/save, /api/remote/context/push,
/api/tasks/complete, /api/desktop/open-config-dir.  Every reply is JSON
(except /mobile.html); failures answer ``{"ok": false, "error": "..."}``.

Access (msgrelay/http: gates.py, access.py, peers.py, backoff.py, limits.py):

* Every request, on every path, is refused before anything happens when its
  ``Host`` is not an IP literal or ``localhost`` with the core's port (403,
  against DNS rebinding), when it carries an ``Origin`` other than the core's
  own or ``Sec-Fetch-Site`` other than ``same-origin``/``none`` (403), when
  a request with a body lacks ``Content-Type: application/json`` (415), and
  when its head is malformed (no ``HTTP/1.x``, a header line without a colon)
  or its JSON is nested deeper than 64 (400).  No CORS headers are sent.
* The user's own connections (loopback, and on Linux a client socket owned by
  the core's uid in /proc/net/tcp or tcp6) may call everything.  Everyone else
  (the LAN, other accounts) must send the remote access token (8 characters or
  more) in the ``Quillmere`` header: 403 when none is configured, 401 when it
  is wrong, 429 with ``Retry-After`` after 5 wrong ones in a minute (a pause
  of 60 s doubling up to 15 min, per address).  A loopback connection whose
  owner cannot be found is refused (403).  /api/auth/status and /mobile.html
  answer anyone who passed the first checks.
* A request head must arrive within 10 s, idle kept-alive connections close
  after 15 s; other clients hold at most 6 connections per LAN address and 64
  in all, further ones are reset at once.
"""

__all__ = ["__version__"]
__version__ = "0.3.0"
