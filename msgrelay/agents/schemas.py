"""The tools as agents see them: names, descriptions and JSON schemas of their arguments and results.

The argument schemas are also what the arguments are checked against (tools.arguments), so what a
tool promises and what it accepts cannot drift apart."""

from __future__ import annotations

MAX_HOURS = 168  # the week the core keeps
MAX_LIMIT = 200

_HOURS = {"type": "integer", "minimum": 1, "maximum": MAX_HOURS, "default": MAX_HOURS,
          "description": "How many hours back to look, 1 to 168 (the 7 days the core keeps). Default 168."}
_LIMIT = {"type": "integer", "minimum": 1, "maximum": MAX_LIMIT, "default": 50,
          "description": "At most this many messages, 1 to 200. Default 50."}
_TEXT = {"type": "string"}
_NOTHING = {"type": "object", "properties": {}, "additionalProperties": False}

# One message; the tool descriptions say what the fields mean, so the schema stays short.
MESSAGE = {
    "type": "object",
    "properties": {
        "id": {"type": "integer"}, "time": _TEXT, "source": _TEXT, "source_label": _TEXT, "chat": _TEXT,
        "sender": _TEXT, "text": _TEXT, "suspicious": {"type": "boolean"},
        "kinds": {"type": "array", "items": {"type": "string", "enum": ["todo", "follow_up", "important", "meeting"]}},
        "due": {"type": "string", "description": "ISO 8601"},
    },
    "required": ["id", "time", "source", "source_label", "chat", "sender", "text", "suspicious", "kinds"],
}
_MESSAGES = {"type": "array", "items": MESSAGE}
_COUNTED = {"type": "array", "items": {"type": "object", "properties": {"name": _TEXT, "count": {"type": "integer"}},
                                       "required": ["name", "count"]}}


def _listing(*extra: str) -> dict:
    properties = {"count": {"type": "integer", "description": "How many messages are listed."},
                  "more": {"type": "boolean", "description": "More messages matched than the limit let through."},
                  "hours": {"type": "integer"}, "messages": _MESSAGES}
    properties.update({name: _TEXT for name in extra})
    return {"type": "object", "properties": properties, "required": ["count", "more", "hours", "messages"]}


_READ_ONLY = {"readOnlyHint": True, "openWorldHint": False}

TOOLS = [
    {
        "name": "search_messages",
        "title": "Search messages",
        "description": "Search the WeChat and WeCom messages the user received in the last 7 days (as far back as "
                       "`hours`). A message matches when its chat name, sender name or text contains the query, "
                       "ignoring case and full-width/half-width differences. Newest first. One message a line: "
                       "#id | time | source | chat | sender | text; suspected scams are marked [疑似诈骗].",
        "inputSchema": {"type": "object", "properties": {
            "query": {"type": "string", "minLength": 1, "maxLength": 200,
                      "description": "Words to look for, e.g. a name, a chat or 报价单."},
            "hours": _HOURS, "limit": _LIMIT}, "required": ["query"], "additionalProperties": False},
        "outputSchema": _listing("query"),
        "annotations": _READ_ONLY,
    },
    {
        "name": "list_messages",
        "title": "List recent messages",
        "description": "List the user's recent WeChat and WeCom messages, newest first, optionally of one source "
                       "and of one kind as razo sorts them: todo (asks something of the user), follow_up (an open "
                       "loop the user comes back to), important, meeting. Lists of a kind leave out suspected "
                       "scams and what the user marked done. One message a line: "
                       "#id | time | source | chat | sender | text.",
        "inputSchema": {"type": "object", "properties": {
            "hours": _HOURS, "limit": _LIMIT,
            "source": {"type": "string", "enum": ["wechat", "wecom"], "description": "Only this chat client."},
            "kind": {"type": "string", "enum": ["todo", "follow_up", "important", "meeting"],
                     "description": "Only messages of this kind."}},
            "additionalProperties": False},
        "outputSchema": _listing("source", "kind"),
        "annotations": _READ_ONLY,
    },
    {
        "name": "get_todos",
        "title": "Open to-dos",
        "description": "The user's open to-dos from their messages of the last 7 days, most pressing first (due "
                       "soonest, then newest): who asked, in which chat and client, when, and the due time when "
                       "one was read. Pass a to-do's #id to complete_task once it is done.",
        "inputSchema": _NOTHING,
        "outputSchema": {"type": "object", "properties": {
            "count": {"type": "integer", "description": "How many open to-dos there are in all."}, "todos": _MESSAGES},
                         "required": ["count", "todos"]},
        "annotations": _READ_ONLY,
    },
    {
        "name": "get_digest",
        "title": "Overview of the week",
        "description": "The overview razo shows for the last 7 days: how many messages, how many to-dos, "
                       "follow-ups, important messages and meetings, the busiest chats and senders, and the lists "
                       "of razo's overview cards (to-dos, follow-ups, important messages, meetings).",
        "inputSchema": _NOTHING,
        "outputSchema": {"type": "object", "properties": {
            "hours": {"type": "integer"}, "total_messages": {"type": "integer"},
            "counts": {"type": "object", "properties": {k: {"type": "integer"} for k in
                                                        ("todo", "follow_up", "important", "meeting")},
                       "required": ["todo", "follow_up", "important", "meeting"]},
            "top_chats": _COUNTED, "top_senders": _COUNTED,
            "todos": _MESSAGES, "follow_ups": _MESSAGES, "important": _MESSAGES, "meetings": _MESSAGES},
            "required": ["hours", "total_messages", "counts", "top_chats", "top_senders", "todos", "follow_ups",
                         "important", "meetings"]},
        "annotations": _READ_ONLY,
    },
    {
        "name": "complete_task",
        "title": "Mark a to-do done",
        "description": "Mark a to-do or follow-up done, as razo's completion button does: it leaves the to-do "
                       "lists. Takes the message id (#id) from get_todos, get_digest or list_messages. Only the "
                       "to-dos razo's overview lists (the most pressing 12 to-dos and 8 follow-ups) can be "
                       "completed.",
        "inputSchema": {"type": "object", "properties": {
            "id": {"type": "integer", "minimum": 0, "description": "The message id of the to-do."}},
            "required": ["id"], "additionalProperties": False},
        "outputSchema": {"type": "object", "properties": {
            "ok": {"type": "boolean"}, "id": {"type": "integer"}, "message": _TEXT},
            "required": ["ok", "id", "message"]},
        "annotations": {"readOnlyHint": False, "destructiveHint": False, "idempotentHint": True,
                        "openWorldHint": False},
    },
]
