"""What the state says about the AI provider: the setup checklist item and the built-in chat notes.

Both name the latest failed call (`AIStatus.last_error`) and when it happened, so that razo can
show why the assistant answered by the rules.
"""

from __future__ import annotations

from . import settings as ai_settings

WHAT = {"chat": "回答问题", "ask": "回答问题", "digest": "整理摘要"}


def _item(status: str, description: str, action: str) -> dict:
    return {"key": "ai_provider", "title": "AI 对话", "status": status, "description": description, "action": action}


def _failure(ai: dict, error: dict) -> str:
    when = error["at"].strftime("%m-%d %H:%M")
    return f"{when} 调用 {ai_settings.label_of(ai)} {WHAT.get(error['what'], '')}失败：{error['reason']}。"


def notes(config: dict, error: dict | None) -> str:
    ai = config["ai"]
    if not ai.get("enabled"):
        return "AI 对话分析已关闭，助手的回答和摘要由本机规则根据最近 7 天的消息生成。"
    text = (f"助手和摘要由 {ai_settings.label_of(ai)} / {ai_settings.effective_model(ai)} 根据最近 7 天的消息生成；"
            "调用失败时回退到本机规则。")
    return text + (f"最近一次：{_failure(ai, error)}" if error else "")


def setup_item(config: dict, error: dict | None) -> dict:
    """AI switched on with settings that cannot work (no key, no address) is an error at once, before
    any call: this item is where it is said, not every answer."""
    ai = config["ai"]
    if not ai.get("enabled"):
        return _item("disabled", "AI 对话分析已关闭，助手只用本机规则整理消息。", "需要时在“AI 对话”里打开。")
    try:
        ai_settings.resolve(ai)
    except ai_settings.SettingsProblem as problem:
        env = ai_settings.effective_key_env(ai)
        if ai_settings.defaults_for(ai.get("provider", "")).needs_key and not ai_settings.api_key(ai):
            action = f"填写 API Key 或设置环境变量 {env}。" if env else "填写 API Key。"
        else:
            action = "检查“AI 对话”里的接口地址、模型名称和 API Key。"
        return _item("error", f"AI 已打开，但还不能使用：{problem}。助手暂时用本机规则回答。", action)
    if error:
        return _item("error", _failure(ai, error) + "助手已改用本机规则回答。",
                     "检查“AI 对话”里的接口地址、模型名称和 API Key；本机 Ollama 请确认服务已启动。")
    label, model = ai_settings.label_of(ai), ai_settings.effective_model(ai)
    return _item("ready", f"助手通过 {label} / {model} 回答，失败时回退到本机规则。", "无需操作。")


def with_setup_item(items: list[dict], config: dict, error: dict | None) -> list[dict]:
    """The checklist with its AI item replaced by this one."""
    return [setup_item(config, error) if item.get("key") == "ai_provider" else item for item in items]
