"""Sorting the held messages again when what their sorting depends on has changed: the user's name
and aliases, the keywords, or the rules themselves (stored.key_of).

Every message is stored with its sorting.  When the profile or the rules change, the stored
sortings are stale: the resorter's thread sorts the held messages again, puts the new sortings with
the messages (all at once, when it is done) and writes them back to the database.  Meanwhile a
request does not wait for the whole store: it sorts the stale messages itself when they are few
(ON_DEMAND at most), so that an answer right after a change of the profile already follows it;
when there are more, it serves the sortings as held (made with the previous profile or rules) until
the thread is done, which at 50,000 messages takes a few seconds.  A message never sorted at all
(stored by an outside tool, or by a core before sortings were stored) is sorted when first asked
for: there is no earlier sorting to serve.
"""

from __future__ import annotations

import threading

from . import stored
from .. import memory
from .sorting import Profile, Sorting, sort_message

ON_DEMAND = 2000  # stale messages a request sorts itself (about a tenth of a second)
BATCH = 500  # messages sorted between two looks at whether the profile changed again
JOIN_TIMEOUT = 5.0


class Resorter:
    def __init__(self, db, sorter: stored.Sorter, log=print, on_demand: int = ON_DEMAND):
        """db: the message database (its held messages, and where the sortings are written back);
        sorter: what the messages are sorted for."""
        self._db = db
        self._sorter = sorter
        self._log = log
        self.on_demand = on_demand
        self._lock = threading.Lock()
        self._unsaved: dict[int, tuple[str, Sorting]] = {}  # message id -> (key, sorting) to write back
        self._wanted = threading.Event()
        self._closing = threading.Event()
        self._thread: threading.Thread | None = None

    def start(self, first=None):
        """Writes back what was sorted so far (the messages a first reading found never sorted), then
        starts the thread, which looks at once for stale sortings.  first: work for the thread to do
        before that (the writing back then waits for it)."""
        if first is None:
            self.save()
        self._thread = threading.Thread(target=self._run, args=(first,), name="msgrelay-resort", daemon=True)
        self._thread.start()
        self.wake()

    def close(self):
        self._closing.set()
        self._wanted.set()
        if self._thread is not None:
            self._thread.join(timeout=JOIN_TIMEOUT)

    def wake(self):
        """Something the sorting depends on may have changed, or messages wait to be written back."""
        self._wanted.set()

    # -- for requests ---------------------------------------------------------------------------------
    def sortings(self, events, key: str, profile: Profile) -> list[Sorting]:
        """The sortings of held messages (an EventList with `sortings` and `sorted_for`) for `key`."""
        held, keys = events.sortings, events.sorted_for
        stale = [i for i, k in enumerate(keys) if k != key]
        if not stale:
            return held
        if len(stale) > self.on_demand:
            stale = [i for i in stale if keys[i] is None]
            self.wake()
        found = list(held)
        made = {}
        for i in stale:
            found[i] = made[events[i].id] = stored.intern(sort_message(events[i], profile))
        if made:
            self._keep(made, key)
        return found

    def _keep(self, made: dict[int, Sorting], key: str):
        self._db.held.put(made, key)
        with self._lock:
            self._unsaved.update((number, (key, sorting)) for number, sorting in made.items())
        self.wake()

    # -- the thread -----------------------------------------------------------------------------------
    def _run(self, first):
        if first is not None:
            first()
        while not self._closing.is_set():
            self._wanted.wait()
            self._wanted.clear()
            if self._closing.is_set():
                return
            try:
                self.run_once()
            except Exception as error:  # the stored sortings are only a head start; requests sort what they need
                self._log(f"msgrelay: sorting the stored messages again failed: {type(error).__name__}: {error}")

    def run_once(self):
        """Sorts every held message that is stale for the current profile, then writes back what
        waits to be written."""
        key, profile = self._sorter.current()
        stale = self._db.held.stale(key)
        made = {}
        for start in range(0, len(stale), BATCH):
            if self._closing.is_set():
                return
            if self._sorter.current()[0] != key:  # changed again meanwhile: start over
                self.wake()
                return
            for event in stale[start:start + BATCH]:
                made[event.id] = stored.intern(sort_message(event, profile))
        if made:
            self._db.held.put(made, key)
            with self._lock:
                self._unsaved.update((number, (key, sorting)) for number, sorting in made.items())
            self._log(f"msgrelay: sorted {len(made)} stored messages again")
        self.save()
        if made:
            memory.give_back()

    def save(self):
        """Writes back the sortings made since the last time (when this core writes the database)."""
        with self._lock:
            unsaved, self._unsaved = self._unsaved, {}
        if not unsaved or not self._db.writable:
            return
        items = list(unsaved.items())
        for start in range(0, len(items), BATCH):
            rows = [(key, *stored.encode(sorting), number) for number, (key, sorting) in items[start:start + BATCH]]
            if not self._db.save_sortings(rows):
                return  # sorted again at the next start
