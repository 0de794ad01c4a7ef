"""What the core can really read from the chat clients' notifications, and what to do about it.

On Linux the core reads WeChat and WeCom from their desktop notifications (the source
"notification-db"); the other sources of the settings form are not available here and are
reported as such.  Every verdict comes from the configuration and the capture's report.
"""

from __future__ import annotations

from ..demo_data import DEMO_PERSON
from . import service as capture
from .service import ClientReport, Report

KNOWN_SOURCES = ("notification-db", "accessibility", "ocr", "mock")
SOURCE_LABELS = {"notification-db": "系统通知数据库", "accessibility": "辅助功能", "ocr": "OCR 识别", "mock": "测试数据"}
NOTIFICATION_SERVICE = "org.freedesktop.Notifications"
DEMO_TITLE = "示例数据：尚未读取到真实消息"

# What the user can do when the capture cannot run, by its state.
_BLOCKED_ACTIONS = {
    capture.NO_BUS: "在桌面会话里启动 razo；没有 D-Bus 会话总线就读取不到桌面通知。",
    capture.NO_LIBRARY: "运行 scripts/install-deps.sh 安装 python3-jeepney，然后重启本地核心。",
    capture.BUS_ERROR: "确认桌面会话正常运行，然后保存一次设置或重启本地核心重新连接。",
    capture.LOST: "保存一次设置或重启本地核心重新连接会话总线。",
    capture.REFUSED: "这个会话总线不允许监听通知，请检查桌面环境的 D-Bus 策略。",
    capture.LOCKED: "无需操作：另一个本地核心退出后，本核心会在几秒内接手读取通知。",
    capture.DB_ERROR: "检查配置目录是否存在并且可写，然后重启本地核心。",
}
_BLOCKED_HEADLINES = {
    capture.NO_BUS: "没有 D-Bus 会话总线，读取不到{label}通知",
    capture.NO_LIBRARY: "缺少 D-Bus 组件，读取不到{label}通知",
    capture.BUS_ERROR: "连接不上 D-Bus 会话总线，读取不到{label}通知",
    capture.LOST: "与会话总线的连接已断开，暂时读取不到{label}通知",
    capture.REFUSED: "会话总线拒绝监听，读取不到{label}通知",
    capture.LOCKED: "另一个本地核心正在读取通知",
    capture.DB_ERROR: "消息数据库无法打开",
}
_DIAG_STATUS = {"ready": "ready", "warning": "limited", "blocked": "blocked", "disabled": "blocked"}
LOGIN_START_OFF = "登录后在后台读取消息未开启：没有本地核心运行时（例如开机后、打开 razo 之前）收到的消息不会被读取。"
LOGIN_START_ACTION = "需要不打开 razo 也读取消息时，在设置里打开“登录后在后台读取消息”。"


def _enabled_allowlist(client: dict) -> list[dict]:
    return [e for e in client.get("allowlist", []) if e.get("enabled", True) is not False and e.get("name")]


def _item(key, title, status, description, action):
    return {"key": key, "title": title, "status": status, "description": description, "action": action}


def client_verdict(client: dict, label: str, report: ClientReport, status: capture.Status) -> tuple[str, str, str]:
    """(setup status, description, action) for one chat client."""
    source = client.get("source", "")
    if not client.get("enabled"):
        return "disabled", f"{label}读取已关闭，核心不会收集{label}消息。", f"需要时在“微信和企业微信”里打开{label}开关。"
    if client.get("rule_mode") == "allowlist" and not _enabled_allowlist(client):
        return ("warning", "当前是“只整理白名单”，但白名单为空，所以不会收集任何消息。",
                "在白名单里一行填一个联系人或群，或改为“收到消息就整理”。")
    if source not in KNOWN_SOURCES:
        return "blocked", f"无法识别的读取方式“{source}”。", "在“读取方式”里选择“系统通知数据库”并保存设置。"
    if source == "mock":
        return "warning", f"{label}使用测试数据，不读取真实消息。", "在“读取方式”里选择“系统通知数据库”读取真实消息。"
    if source != capture.SOURCE:
        return ("blocked", f"读取方式“{SOURCE_LABELS[source]}”在 Linux 上不可用，{label}消息不会被读取。",
                "在“读取方式”里选择“系统通知数据库”并保存设置。")
    if status.state in _BLOCKED_ACTIONS:
        return "blocked", status.detail, _BLOCKED_ACTIONS[status.state]
    if status.state != capture.MONITORING:
        return "warning", "正在连接 D-Bus 会话总线。", "稍候刷新。"
    stats = report.stats
    if stats.count and stats.latest is not None:
        return ("ready", f"正在通过桌面通知读取{label}消息：最近 7 天 {stats.count} 条，最新一条在 {stats.latest.sent_at}。",
                "无需操作。")
    silent = f"正在监听{label}的桌面通知，但最近 7 天还没有读取到{label}消息。"
    if report.counters.without_text:
        silent += f"收到过 {report.counters.without_text} 条没有正文的{label}通知。"
    return "warning", silent, f"保持{label}登录，并在{label}的通知设置里打开新消息通知和消息预览（显示消息内容）。"


def _not_reading(config: dict) -> str:
    """What the capture item says of the switched-on clients whose reading mode cannot read here."""
    notes = []
    for target, label in (("wechat", "微信"), ("wecom", "企业微信")):
        source = config[target].get("source", "")
        if config[target].get("enabled") and source not in (capture.SOURCE, "mock"):
            why = "在 Linux 上不可用" if source in KNOWN_SOURCES else "无法识别"
            notes.append(f"{label}未在读取：读取方式“{SOURCE_LABELS.get(source, source)}”{why}。")
    return "".join(notes)


def _capture_item(report: Report, config: dict) -> dict:
    """The capture's checklist item; what went wrong with the database earlier, and the clients that
    are switched on but cannot be read, are always said."""
    status, storage = report.status, report.storage
    title = "桌面通知读取"
    if storage.problem and status.state != capture.LOCKED:
        unsaved = f"已有 {storage.unsaved} 条通知没有保存。" if storage.unsaved else ""
        return _item("message_capture", title, "blocked", f"{storage.problem}。{unsaved}", storage.action)
    earlier = "".join(storage.notes) + (f"此前有 {storage.unsaved} 条通知没能保存。" if storage.unsaved else "")
    if status.state == capture.OFF:
        verdict, text, action = "disabled", "没有客户端使用系统通知读取，核心不监听桌面通知。", "在“读取方式”里选择“系统通知数据库”。"
    elif status.state == capture.MONITORING:
        took_over = "另一个本地核心退出后，本核心已接手读取通知。" if report.took_over else ""
        verdict, action = "warning" if earlier else "ready", "无需操作。"
        text = (f"{took_over}正在监听 D-Bus 会话总线上的桌面通知（含 Flatpak 应用的通知）。消息保存在 "
                f"{report.db_path}，只保留最近 7 天。")
    elif status.state in _BLOCKED_ACTIONS:
        verdict, text, action = "blocked", status.detail, _BLOCKED_ACTIONS[status.state]
    else:
        verdict, text, action = "warning", "正在连接 D-Bus 会话总线。", "稍候刷新。"
    not_reading = _not_reading(config)
    if not_reading and verdict == "ready":
        verdict, action = "warning", "在“读取方式”里选择“系统通知数据库”并保存设置。"
    return _item("message_capture", title, verdict, text + earlier + not_reading, action)


def _with_login_start(item: dict, reads_from_login: bool) -> dict:
    """While the core does not start at login, the capture item says what is missed and how to change it."""
    if reads_from_login or item["status"] == "disabled":
        return item
    action = LOGIN_START_ACTION if item["action"] == "无需操作。" else item["action"]
    return dict(item, description=item["description"] + LOGIN_START_OFF, action=action)


def setup_items(config: dict, report: Report, reads_from_login: bool = False) -> list[dict]:
    """The checklist items of the capture: the demo notice, the bus monitor, one per client."""
    items = []
    if report.demo:
        items.append(_item("demo_data", DEMO_TITLE, "warning",
                           "现在显示的是带“【示例】”标记的示例消息。读取到第一条微信或企业微信消息后，示例消息不再显示。"
                           f"示例消息按示例人物“{DEMO_PERSON['display_name']}”整理。",
                           "保持微信或企业微信登录，并在客户端的通知设置里打开消息预览。"))
    items.append(_with_login_start(_capture_item(report, config), reads_from_login))
    for key, target, label in (("wechat_source", "wechat", "微信"), ("wecom_source", "wecom", "企业微信")):
        status, description, action = client_verdict(config[target], label, report.clients[target], report.status)
        items.append(_item(key, label, status, description, action))
    return items


def _headline(config: dict, verdict: str, report: Report) -> str:
    wecom = config["wecom"]
    source = wecom.get("source", "")
    count = report.clients["wecom"].stats.count
    if not wecom.get("enabled"):
        return "企业微信读取已关闭"
    if verdict == "ready":
        return f"企业微信可读取：最近 7 天收到 {count} 条通知"
    if wecom.get("rule_mode") == "allowlist" and not _enabled_allowlist(wecom):
        return "企业微信白名单为空"
    if source != capture.SOURCE:
        return f"读取方式“{SOURCE_LABELS.get(source, source or '（空）')}”读取不到企业微信消息"
    if report.status.state in _BLOCKED_HEADLINES:
        return _BLOCKED_HEADLINES[report.status.state].format(label="企业微信")
    if report.status.state == capture.MONITORING:
        return "正在监听企业微信通知，尚未读取到消息"
    return "正在连接会话总线"


def _notification_db(report: Report) -> dict:
    client = report.clients["wecom"]
    latest = client.stats.latest
    doc = {
        "record_count": client.stats.count,
        "latest_rec_id": latest.id if latest else None,
        "latest_delivered_at": latest.sent_at if latest else None,
        "identifier": NOTIFICATION_SERVICE,
    }
    if client.counters.app or client.stats.count:  # WeCom's notifications were seen, so it may post them
        doc["permission"] = {"enabled": True, "bundle_id": client.counters.app or None, "path": "D-Bus 会话总线"}
    return doc


def wecom_diagnostics(config: dict, report: Report) -> dict:
    client = report.clients["wecom"]
    verdict, description, action = client_verdict(config["wecom"], "企业微信", client, report.status)
    message = description
    if report.demo:
        message += "首页和消息列表现在显示的是示例数据。"
    advice = [
        action,
        "在企业微信的通知设置里打开新消息通知并显示消息详情（预览），核心才能读到消息内容。",
        "Flatpak 版企业微信也能读取：核心同时监听通知门户转交的通知。",
        f"读取到的消息保存在 {report.db_path}，只保留最近 7 天；删除这个文件即可清除。",
        "Linux 上企业微信消息随通知实时读取；“立即读取企微消息”会报告当前读取到的条数。",
    ]
    if action == "无需操作。":
        advice.pop(0)
    not_here = "本机核心只读取桌面通知，不读取企业微信本地消息库、会话快照或辅助功能。"
    return {
        "status": _DIAG_STATUS[verdict],
        "headline": _headline(config, verdict, report),
        "message": message,
        "notification_db": _notification_db(report),
        "local_store": {"message_db_exists": False, "message_db_reason": not_here,
                        "index_message_count": client.stats.count},
        "local_snapshot": {"available": False, "candidate_count": 0, "preview_count": 0},
        "accessibility": {"permission": False},
        "accessibility_preview": {"available": False, "preview_count": 0, "error": not_here},
        "recommendations": advice,
    }
