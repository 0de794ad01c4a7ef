"""Which AI endpoint, model and key the saved configuration means, and the address safety rules.

Every provider is reached through its OpenAI-compatible chat-completions endpoint.  The key is
only ever handed out for the address it belongs to: a key saved in the settings belongs to the
origin (scheme, host, port) the configuration pointed at when it was saved, and a key from the
environment goes only to the provider its variable is meant for (see `effective_key_env`).
Local Ollama never gets a key.  Addresses are read by `address.parse` alone.
"""

from __future__ import annotations

import dataclasses
import os
import re
import urllib.parse

from . import address

COMPLETIONS_PATH = "/chat/completions"


@dataclasses.dataclass(frozen=True)
class ProviderDefaults:
    label: str
    url: str
    model: str
    key_env: str
    needs_key: bool
    sends_key: bool = True


PROVIDERS = {
    "deepseek": ProviderDefaults("DeepSeek", "https://api.deepseek.com/chat/completions", "deepseek-chat",
                                 "DEEPSEEK_API_KEY", needs_key=True),
    "qwen": ProviderDefaults("通义千问", "https://dashscope.aliyuncs.com/compatible-mode/v1/chat/completions",
                             "qwen-plus", "DASHSCOPE_API_KEY", needs_key=True),
    "ollama": ProviderDefaults("本地 Ollama", "http://127.0.0.1:11434/v1/chat/completions", "qwen2.5", "",
                               needs_key=False, sends_key=False),
    "openai-compatible": ProviderDefaults("OpenAI 兼容网关", "", "", "", needs_key=False),
}
_KNOWN_URLS = {p.url for p in PROVIDERS.values() if p.url}
_KNOWN_ENVS = {p.key_env for p in PROVIDERS.values() if p.key_env}
_KEY_NAME = re.compile(r"[A-Z][A-Z0-9_]*_API_KEY")


@dataclasses.dataclass(frozen=True)
class Endpoint:
    """Where one call goes.  The key is kept out of repr() so that it never lands in a log line."""

    provider: str
    label: str
    url: str
    model: str
    key: str = dataclasses.field(default="", repr=False)


class SettingsProblem(ValueError):
    """The AI settings cannot be used; the text is for the user (Chinese, one sentence)."""


def defaults_for(provider: str) -> ProviderDefaults:
    return PROVIDERS.get(provider) or ProviderDefaults(provider or "AI 接口", "", "", "", needs_key=False)


def label_of(ai: dict) -> str:
    return defaults_for(ai.get("provider", "")).label


def effective_url(ai: dict) -> str:
    """The configured address, completed to the chat-completions path.

    A known provider left at another known provider's default address (the settings form
    starts every provider at DeepSeek's) uses its own default, so that picking "qwen" never
    sends a request, or a key, to DeepSeek.
    """
    provider = ai.get("provider", "")
    url = (ai.get("base_url") or "").strip()
    if provider in PROVIDERS and provider != "openai-compatible" and (not url or url in _KNOWN_URLS):
        url = PROVIDERS[provider].url
    if not url:
        return ""
    parts = urllib.parse.urlsplit(url)
    path = parts.path.rstrip("/")
    if not path.endswith(COMPLETIONS_PATH):
        path += COMPLETIONS_PATH
    return urllib.parse.urlunsplit((parts.scheme, parts.netloc, path, parts.query, ""))


def effective_model(ai: dict) -> str:
    return (ai.get("model") or "").strip() or defaults_for(ai.get("provider", "")).model


def effective_key_env(ai: dict) -> str:
    """The environment variable the key may be read from, or empty text.

    A provider's own variable (DEEPSEEK_API_KEY, DASHSCOPE_API_KEY) is read only while that
    provider is called at its own address, so that its key never travels to a gateway, Ollama or
    another provider (the settings form sends DEEPSEEK_API_KEY whatever the provider).  Any other
    name is honoured only when the user's own account saved it (``api_key_env_own``) and it looks
    like an API-key variable (``…_API_KEY``), so that whoever else may save settings can never
    send an environment variable out as a bearer token.
    """
    name = key_env_name(ai)
    if name and name != defaults_for(ai.get("provider", "")).key_env and ai.get("api_key_env_own") is not True:
        return ""
    return name


def key_env_name(ai: dict) -> str:
    """The variable the settings name, as stored: a provider's own at that provider's address
    only, another one only when it looks like an API-key variable; empty text otherwise."""
    defaults = defaults_for(ai.get("provider", ""))
    if not defaults.sends_key:
        return ""
    name = (ai.get("api_key_env_name") or "").strip()
    if not name or name in _KNOWN_ENVS:
        name = defaults.key_env
        here = origin(effective_url(ai))
        return name if name and here and here == origin(defaults.url) else ""
    return name if _KEY_NAME.fullmatch(name) else ""


def origin(url: str) -> str:
    """scheme://host:port of an address, lower-cased, with the default port filled in."""
    try:
        return address.parse(url).origin
    except address.AddressProblem:
        return ""


def api_key(ai: dict, environ=None) -> str:
    """The key for the effective address, or empty text."""
    if not defaults_for(ai.get("provider", "")).sends_key:
        return ""
    stored = (ai.get("api_key") or "").strip()
    here = origin(effective_url(ai))
    if stored and here and ai.get("api_key_origin") == here:
        return stored
    name = effective_key_env(ai)
    environ = os.environ if environ is None else environ
    return (environ.get(name) or "").strip() if name else ""


url_problem = address.problem


def settings_problem(ai: dict) -> str | None:
    """Checked on every save: a malformed address, or a gateway without one."""
    url = (ai.get("base_url") or "").strip()
    if url:
        problem = url_problem(url)
        if problem:
            return problem
    if not effective_url(ai) and ai.get("enabled"):
        return "选择“OpenAI 兼容网关”时请填写网关的接口地址。"
    return None


def resolve(ai: dict, environ=None) -> Endpoint:
    """The endpoint of the next call; SettingsProblem when the settings cannot be used as they are."""
    provider = ai.get("provider", "")
    defaults = defaults_for(provider)
    url = effective_url(ai)
    if not url:
        raise SettingsProblem("没有填写 AI 接口地址")
    problem = url_problem(url)
    if problem:
        raise SettingsProblem(problem.rstrip("。"))
    model = effective_model(ai)
    if not model:
        raise SettingsProblem("没有填写模型名称")
    key = api_key(ai, environ)
    if any(not 33 <= ord(c) < 127 for c in key):
        raise SettingsProblem("API Key 含有空格、换行或其他无效字符")
    if defaults.needs_key and not key:
        env = effective_key_env(ai)
        raise SettingsProblem(f"没有 API Key（设置里未保存，环境变量 {env} 也未设置）" if env else "没有 API Key")
    return Endpoint(provider, defaults.label, url, model, key)
