"""The setup checklist and the WeCom read diagnostics, both derived from the configuration."""

from __future__ import annotations

import os

from .demo_data import Event

WECOM_BUNDLE = "com.tencent.WeWorkMac"
KNOWN_SOURCES = ("notification-db", "accessibility", "ocr", "mock")
SOURCE_LABELS = {"notification-db": "系统通知数据库", "accessibility": "辅助功能", "ocr": "OCR 识别", "mock": "测试数据"}


def has_api_key(config: dict) -> bool:
    ai = config["ai"]
    env_name = ai.get("api_key_env_name", "")
    return bool(ai.get("api_key")) or bool(env_name and os.environ.get(env_name))


def _enabled_allowlist(client: dict) -> list[dict]:
    return [e for e in client.get("allowlist", []) if e.get("enabled", True) is not False and e.get("name")]


def _item(key, title, status, description, action):
    return {"key": key, "title": title, "status": status, "description": description, "action": action}


def _client_item(key: str, title: str, client: dict) -> dict:
    source = client.get("source", "")
    if not client.get("enabled"):
        return _item(key, title, "disabled", f"{title}读取已关闭，核心不会收集{title}消息。", f"需要时在“微信和企业微信”里打开{title}开关。")
    if client.get("rule_mode") == "allowlist" and not _enabled_allowlist(client):
        return _item(key, title, "warning", "当前是“只整理白名单”，但白名单为空，所以不会收集任何消息。", "在白名单里一行填一个联系人或群，或改为“收到消息就整理”。")
    if source not in KNOWN_SOURCES:
        return _item(key, title, "blocked", f"无法识别的读取方式“{source}”。", "在“读取方式”里选择系统通知数据库。")
    if source == "ocr":
        return _item(key, title, "warning", "OCR 识别准确率低且耗电，不推荐。", "改用系统通知数据库。")
    if source == "accessibility":
        return _item(key, title, "warning", "辅助功能只能读到窗口中可见的会话，可能漏掉消息。", "改用系统通知数据库，辅助功能只作补充。")
    return _item(key, title, "ready", f"正在通过{SOURCE_LABELS[source]}读取{title}消息。", "无需操作。")


def setup_items(config: dict) -> list[dict]:
    profile = config["user_profile"]
    ai = config["ai"]
    items = [
        _item("core_service", "本地核心服务", "ready", "本地核心已启动，正在提供最近 7 天的消息和摘要。", "无需操作。"),
        _client_item("wechat_source", "微信", config["wechat"]),
        _client_item("wecom_source", "企业微信", config["wecom"]),
    ]
    if profile.get("display_name") or profile.get("aliases"):
        items.append(_item("user_profile", "个人识别", "ready", "已设置姓名和别名，可识别 @你 和会议名单。", "无需操作。"))
    else:
        items.append(_item("user_profile", "个人识别", "action_required", "还没有填写姓名，无法判断哪些消息和你相关。", "在“个人识别”里填写姓名和常用别名。"))
    if not ai.get("enabled"):
        items.append(_item("ai_provider", "AI 对话", "disabled", "AI 对话分析已关闭，助手只用本机规则整理消息。", "需要时在“AI 对话”里打开。"))
    elif has_api_key(config):
        items.append(_item("ai_provider", "AI 对话", "ready", f"已配置 {ai.get('provider')} / {ai.get('model')} 的 Key；演示核心仍用本机规则回答。", "无需操作。"))
    else:
        items.append(_item("ai_provider", "AI 对话", "optional", "没有 API Key，助手会回退到本机规则摘要。", f"填写 API Key 或设置环境变量 {ai.get('api_key_env_name') or 'DEEPSEEK_API_KEY'}。"))
    if config.get("remote_access_token"):
        items.append(_item("remote_access", "远程访问口令", "ready", "已设置口令，局域网内的 Agent 可带请求头 Quillmere 读取。", "无需操作。"))
    else:
        items.append(_item("remote_access", "远程访问口令", "optional", "未设置口令，只有本机可以读取 Agent 接口。", "需要局域网读取时设置远程访问口令。"))
    return items


def _base_sections(config: dict, wecom_events: list[Event]) -> dict:
    root = config["wecom"].get("data_root") or "~/Library/Containers/com.tencent.WeWorkMac/Data"
    newest = wecom_events[0] if wecom_events else None
    sessions = {e.session_name for e in wecom_events}
    return {
        "notification_db": {
            "record_count": len(wecom_events),
            "latest_rec_id": newest.id if newest else None,
            "latest_delivered_at": newest.sent_at if newest else None,
            "identifier": WECOM_BUNDLE,
            "permission": {"enabled": True, "auth": 7, "bundle_id": WECOM_BUNDLE,
                           "path": "~/Library/Preferences/com.apple.ncprefs.plist"},
        },
        "local_store": {
            "message_db_exists": True,
            "message_db_sqlite": False,
            "message_db_reason": "企业微信本地消息库已加密，不能直接读取。",
            "index_message_count": len(wecom_events),
            "message_db": f"{root}/Documents/Profiles/message.db",
        },
        "local_snapshot": {
            "available": True,
            "candidate_count": 3,
            "preview_count": len(sessions),
            "latest_path": f"{root}/Documents/Profiles/conv_snapshot.db",
            "latest_mtime": newest.sent_at if newest else None,
            "latest_message_at": newest.sent_at if newest else None,
        },
        "accessibility": {"permission": False, "window_count": 1, "windows_visible_to_ax": False},
        "accessibility_preview": {"available": False, "preview_count": 0, "error": "辅助功能权限未开启"},
        "visible_window": {"visible": True, "app_name": "企业微信", "window_id": 4711, "width": 1280, "height": 800},
    }


def wecom_diagnostics(config: dict, wecom_events: list[Event]) -> dict:
    """wecom_events: the WeCom messages held, newest first."""
    wecom = config["wecom"]
    source = wecom.get("source", "")
    doc = _base_sections(config, wecom_events)
    advice = [
        "保持企业微信登录并打开系统通知，核心会优先读取系统通知和本地会话快照。",
        "企业微信本地消息库是加密的，核心不会尝试破解，只读取快照和通知。",
        "辅助功能只作为补充：需要时在系统设置里给核心授予辅助功能权限。",
        "点击“立即读取企微消息”可以马上补抓一次企微快照变化。",
    ]
    if not wecom.get("enabled"):
        doc.update(status="blocked", capture_quality=None, headline="企业微信读取已关闭",
                   message="设置里关闭了企业微信，核心不会读取企业微信消息。")
        advice.insert(0, "在“微信和企业微信”里打开企业微信开关并保存设置。")
        doc["local_snapshot"]["available"] = False
        doc["local_snapshot"]["preview_count"] = 0
    elif source == "accessibility":
        doc["accessibility"] = {"permission": True, "window_count": 1, "windows_visible_to_ax": True}
        doc["accessibility_preview"] = {"available": False, "preview_count": 0, "error": "侧栏没有可读取的会话"}
        doc.update(status="limited", capture_quality="accessibility_visible_empty",
                   headline="企业微信只能通过辅助功能有限读取",
                   message="辅助功能只能看到窗口中可见的会话，切到主聊天列表后重试；推荐改用系统通知数据库。")
        advice.insert(0, "把读取方式改为“系统通知数据库”，辅助功能只作补充。")
    elif source == "ocr":
        doc.update(status="limited", capture_quality="visible_window_no_text", headline="企业微信不建议用 OCR 读取",
                   message="OCR 只能识别屏幕上的文字，容易漏读和误读。")
        advice.insert(0, "把读取方式改为“系统通知数据库”。")
    elif source not in KNOWN_SOURCES:
        doc.update(status="blocked", capture_quality=None, headline=f"无法识别的读取方式：{source or '（空）'}",
                   message="核心不知道如何用这种方式读取企业微信。")
        advice.insert(0, "在“读取方式”里选择“系统通知数据库”并保存设置。")
    elif wecom.get("rule_mode") == "allowlist" and not _enabled_allowlist(wecom):
        doc.update(status="limited", capture_quality="local_snapshot", headline="企业微信白名单为空",
                   message="当前只整理白名单里的会话，但白名单为空，所以不会收集企业微信消息。")
        advice.insert(0, "在企业微信白名单里一行填一个联系人或群，或改为“收到消息就整理”。")
    elif source == "mock":
        doc.update(status="ready", capture_quality=None, headline="企业微信使用测试数据",
                   message="当前读取方式是测试数据，显示的是演示消息。")
    else:
        doc.update(status="ready", capture_quality="local_snapshot", headline="企业微信可读取：本地会话快照已接管",
                   message=f"系统通知里有 {len(wecom_events)} 条企业微信记录，本地会话快照可读取最近会话。")
    doc["recommendations"] = advice
    return doc
