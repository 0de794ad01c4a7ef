"""The setup checklist and the WeCom read diagnostics, from the configuration and the capture's report."""

from __future__ import annotations

import os

from .capture import diagnostics as capture_checks
from .capture.service import Report


def has_api_key(config: dict) -> bool:
    ai = config["ai"]
    env_name = ai.get("api_key_env_name", "")
    return bool(ai.get("api_key")) or bool(env_name and os.environ.get(env_name))


def _item(key, title, status, description, action):
    return {"key": key, "title": title, "status": status, "description": description, "action": action}


def setup_items(config: dict, report: Report, reads_from_login: bool = False) -> list[dict]:
    profile = config["user_profile"]
    ai = config["ai"]
    items = [
        _item("core_service", "本地核心服务", "ready", "本地核心已启动，正在提供最近 7 天的消息和摘要。", "无需操作。"),
        *capture_checks.setup_items(config, report, reads_from_login),
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
