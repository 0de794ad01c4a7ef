"""Every document the front end decodes uses exactly the keys and JSON types razo's wire model knows.

A value of the wrong JSON type fails the whole document in the front end, and a misspelt key is
silently dropped there, so both are checked strictly here (true/false are not numbers).
"""

import unittest

from test_msgrelay_support import RunningCore

T, I, B = "text", "integer", "boolean"
NAMED = "named-count"
ALLOW = {"name": T, "kind": T, "enabled": B}
CLIENT = {"enabled": B, "source": T, "app_name": T, "data_root": T, "rule_mode": T, "allowlist": [ALLOW]}
HIGHLIGHT = {"chat_target": T, "chat_target_label": T, "session_name": T, "sender_name": T, "sent_at": T,
             "content": T, "topics": [T]}
STATE = {
    "config": {"watch_source": T, "chat_target": T, "notification_keywords": [T], "notification_exclude_keywords": [T],
               "wechat": CLIENT, "wecom": CLIENT,
               "ai_provider": {"provider": T, "enabled": B, "model": T, "base_url": T, "has_api_key": B},
               "user_profile": {"display_name": T, "aliases": [T]}, "remote_access_protected": B,
               "notify_todos_and_mentions": B},
    "summary": {"total_messages": I, "top_sessions": [NAMED], "top_senders": [NAMED], "top_sources": [NAMED],
                "top_topics": [NAMED], "highlights": [HIGHLIGHT], "follow_ups": [T], "action_items": [T],
                "meeting_items": [T], "my_related_items": [T], "notice_items": [T]},
    "built_in_chat": {"provider": T, "model": T, "enabled": B, "fallback_mode": T, "has_api_key": B, "notes": T},
    "agent_access": {"token_required": B, "token_header": T, "localhost_url": T, "lan_urls": [T], "mobile_urls": [T],
                     "remote_status": T, "remote_urls": [T], "remote_agent_urls": [T], "remote_notes": [T],
                     "notes": [T]},
    "setup": {"items": [{"key": T, "title": T, "status": T, "description": T, "action": T}]},
    "diagnostics": {"wecom": {
        "status": T, "capture_quality": T, "headline": T, "message": T,
        "notification_db": {"record_count": I, "latest_rec_id": I, "latest_delivered_at": T, "identifier": T,
                            "permission": {"enabled": B, "auth": I, "bundle_id": T, "path": T}},
        "local_store": {"message_db_exists": B, "message_db_sqlite": B, "message_db_reason": T,
                        "index_message_count": I, "message_db": T},
        "local_snapshot": {"available": B, "candidate_count": I, "preview_count": I, "latest_path": T,
                           "latest_mtime": T, "latest_message_at": T},
        "accessibility": {"permission": B, "window_count": I, "windows_visible_to_ax": B},
        "accessibility_preview": {"available": B, "preview_count": I, "error": T},
        "visible_window": {"visible": B, "app_name": T, "window_id": I, "width": I, "height": I},
        "recommendations": [T]}},
}
SORTING = {**{flag: B for flag in ("todo", "follow_up", "meeting", "important", "suspicious", "mine", "excluded",
                                   "done")}, "due": T}
EVENTS = {"events": [{"id": I, "chat_target": T, "session_name": T, "session_kind": T, "sender_name": T,
                      "sent_at": T, "content": T, "content_type": T, "transcript": T, "sorting": SORTING}]}
ACTION = {"ok": B, "error": T, "message": T, "mobile_url": T}
CHAT = {"session_id": T, "message": T, "ok": B, "mode": T, "model": T, "error": T}
ASK = {"title": T, "answer": T, "matched_count": I, "ok": B}
SCAN = {"ok": B, "error": T, "message": T, "detected": I, "inserted": I, "candidate_events": I}


def problems(value, schema, where="$"):
    """Lists every key the schema does not know and every value of the wrong JSON type."""
    if schema == T:
        return [] if type(value) is str else [f"{where}: not text"]
    if schema == I:
        return [] if type(value) is int else [f"{where}: not an integer"]
    if schema == B:
        return [] if type(value) is bool else [f"{where}: not a boolean"]
    if schema == NAMED:
        ok = type(value) is list and len(value) == 2 and type(value[0]) is str and type(value[1]) is int
        return [] if ok else [f"{where}: not [name, count]"]
    if isinstance(schema, list):
        if type(value) is not list:
            return [f"{where}: not a list"]
        return [p for i, v in enumerate(value) for p in problems(v, schema[0], f"{where}[{i}]")]
    if type(value) is not dict:
        return [f"{where}: not an object"]
    found = []
    for key, member in value.items():
        if key not in schema:
            found.append(f"{where}.{key}: unknown key")
        elif member is not None:
            found += problems(member, schema[key], f"{where}.{key}")
    return found


class WireTests(unittest.TestCase):
    def test_state_under_each_configuration(self):
        bodies = [
            ("defaults", None),
            ("wecom off", {"wecom": {"enabled": False}}),
            ("accessibility", {"wecom": {"source": "accessibility"}, "remote_access_token": "wire-token"}),
            ("empty profile", {"user_profile": {"display_name": "", "aliases": ""}, "ai": {"api_key": "k"}}),
            ("everything off", {"wechat": {"enabled": False}, "wecom": {"enabled": False}, "ai": {"enabled": False}}),
        ]
        for name, body in bodies:
            with self.subTest(name):
                core = RunningCore()
                self.addCleanup(core.close)
                if body:
                    status, reply = core.post("/api/config/native/save", body)
                    self.assertEqual((status, reply["ok"]), (200, True), reply)
                state = core.state()
                self.assertEqual(problems(state, STATE), [])
                self.assertEqual(set(state), set(STATE))

    def test_events_and_replies(self):
        core = RunningCore(opener="/bin/true")
        self.addCleanup(core.close)
        item = core.state()["summary"]["action_items"][0]
        calls = [
            ("events", core.get("/api/events?hours=168&limit=120"), EVENTS),
            ("search", core.get("/api/search?q=%E4%BC%9A&hours=168&limit=200"), EVENTS),
            ("ask", core.get("/api/ask?hours=168&q=%E4%BC%9A"), ASK),
            ("ask without question", core.get("/api/ask?hours=168"), ASK),
            ("chat", core.post("/api/chat", {"message": "会议"}), CHAT),
            ("scan", core.post("/api/scan/wecom/visible", {"force_backfill": True}), SCAN),
            ("save", core.post("/api/config/native/save", {"wechat": {"enabled": True}}), ACTION),
            ("complete", core.post("/api/tasks/complete", {"item_text": item}), ACTION),
            ("complete unknown", core.post("/api/tasks/complete", {"item_text": "?"}), ACTION),
            ("push", core.post("/api/remote/context/push", {}), ACTION),
            ("open folder", core.post("/api/desktop/open-config-dir", {}), ACTION),
            ("refusal", core.post("/api/chat", {"message": 1}), ACTION),
        ]
        for name, (status, doc), schema in calls:
            with self.subTest(name):
                self.assertIsInstance(doc, dict)
                self.assertEqual(problems(doc, schema), [])

    def test_checker_catches_type_slips(self):
        slips = [({"total_messages": "3"}, STATE["summary"]), ({"enabled": 1}, CLIENT), ({"has_api_key": 0},
                 STATE["built_in_chat"]), ({"top_topics": [{"name": "a", "count": 1}]}, STATE["summary"]),
                 ({"id": True}, EVENTS["events"][0]), ({"sessionId": "x"}, CHAT)]
        for doc, schema in slips:
            with self.subTest(doc=doc):
                self.assertTrue(problems(doc, schema))


if __name__ == "__main__":
    unittest.main()
