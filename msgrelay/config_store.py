"""The core's configuration file: defaults, loading, the settings-save body and completed to-dos."""

from __future__ import annotations

import copy
import datetime as dt
import json
import os
import pathlib
import re
import stat
import tempfile
import threading

from .ai import settings as ai_settings

DEFAULT_AI_BASE_URL = ai_settings.PROVIDERS["deepseek"].url
TEXT_LIST_KEYS = ("notification_keywords", "notification_exclude_keywords")
CLIENT_TEXT_KEYS = ("source", "data_root", "rule_mode")
AI_TEXT_KEYS = ("provider", "model", "base_url", "api_key_env_name")
MIN_TOKEN_LENGTH = 8  # with the core's back-off, guessing 8 characters takes far longer than a lifetime
TOKEN_TOO_SHORT = "远程访问口令至少需要 8 个字符；留空表示不开放远程访问。"
OWNER_ONLY_AI_KEYS = ("provider", "base_url", "api_key", "api_key_origin", "api_key_env_name")
OWNER_ONLY = ("只有本机当前用户可以更改 AI 接口、接口地址、API Key、Key 环境变量和远程访问口令；"
              "局域网设备和本机其他账户保存设置时不能更改这些项。")
# Whole marketing phrases: a single common word ("优惠") would also hide real work ("优惠方案").
DEFAULT_EXCLUDE_KEYWORDS = ("领取优惠券", "限时优惠", "广告")
# What earlier versions wrote as the default; a file holding exactly this list never chose it.
OLD_DEFAULT_EXCLUDE_KEYWORDS = ["优惠", "广告", "领取优惠券"]


def default_config() -> dict:
    return {
        "version": 1,
        "watch_source": "notification-db",
        "chat_target": "all",
        "notification_keywords": ["周报", "报销", "审批", "合同"],
        "notification_exclude_keywords": list(DEFAULT_EXCLUDE_KEYWORDS),
        "user_profile": {"display_name": "", "aliases": []},  # until the user says who they are
        "wechat": {"enabled": True, "source": "notification-db", "app_name": "微信", "data_root": "",
                   "rule_mode": "all_incoming", "allowlist": []},
        "wecom": {"enabled": True, "source": "notification-db", "app_name": "企业微信", "data_root": "",
                  "rule_mode": "all_incoming", "allowlist": []},
        "ai": {"enabled": False, "provider": "deepseek", "model": "deepseek-chat", "base_url": DEFAULT_AI_BASE_URL,
               "api_key_env_name": "DEEPSEEK_API_KEY", "api_key": "", "api_key_origin": ""},
        "remote_access_token": "",
        "notify_todos_and_mentions": True,  # desktop notifications for what needs the user
        "completed_tasks": [],
    }


class PayloadError(ValueError):
    """A settings body with a value of the wrong type; the text names the key."""


class SettingsRefused(ValueError):
    """Settings the user typed that cannot work (a malformed AI address); the text is for the user."""


class SettingsForbidden(PermissionError):
    """Settings this caller may not change (see ConfigStore.save_payload); the text is for the caller."""


def owner_only_changes(old: dict, new: dict) -> bool:
    """Whether `new` changes what only the user's own account may change: where the AI requests
    and the key go, and the remote access token."""
    return (any(old["ai"].get(k) != new["ai"].get(k) for k in OWNER_ONLY_AI_KEYS)
            or old["remote_access_token"] != new["remote_access_token"])


def split_lines(value: str) -> list[str]:
    """One entry per line, trimmed, blank lines dropped."""
    return [line.strip() for line in value.split("\n") if line.strip()]


def _text_list(value, where: str) -> list[str]:
    if isinstance(value, str):
        return split_lines(value)
    if isinstance(value, list) and all(isinstance(v, str) for v in value):
        return [v.strip() for v in value if v.strip()]
    raise PayloadError(f"{where} 必须是文本（一行一项）")


_ALIAS_SEPARATORS = re.compile(r"[\n,，、]")


def _alias_list(value, where: str) -> list[str]:
    """Aliases typed one a line or as "小李, 明哥" / "小李、明哥": trimmed, blanks and repeats dropped."""
    aliases: list[str] = []
    for item in _text_list(value, where):
        for alias in (a.strip() for a in _ALIAS_SEPARATORS.split(item)):
            if alias and alias not in aliases:
                aliases.append(alias)
    return aliases


def _check(value, kind, where: str):
    names = {bool: "布尔值", str: "文本", dict: "对象"}
    if not isinstance(value, kind):
        raise PayloadError(f"{where} 必须是{names[kind]}")
    return value


def _allowlist(names: list[str], previous: list[dict]) -> list[dict]:
    kinds = {e.get("name"): e.get("kind") for e in previous if isinstance(e, dict)}
    seen, entries = set(), []
    for name in names:
        if name not in seen:
            seen.add(name)
            entries.append({"name": name, "kind": kinds.get(name) or "unknown", "enabled": True})
    return entries


def apply_payload(config: dict, body) -> dict:
    """Returns a new configuration with the settings body applied; raises PayloadError.

    Only keys present in the body change anything; an absent api_key or
    remote_access_token keeps the stored one, an empty one clears it.
    """
    _check(body, dict, "设置内容")
    new = copy.deepcopy(config)
    for key in TEXT_LIST_KEYS:
        if body.get(key) is not None:
            new[key] = _text_list(body[key], key)
    if body.get("user_profile") is not None:
        profile = _check(body["user_profile"], dict, "user_profile")
        if profile.get("display_name") is not None:
            new["user_profile"]["display_name"] = _check(profile["display_name"], str, "user_profile.display_name").strip()
        if profile.get("aliases") is not None:
            new["user_profile"]["aliases"] = _alias_list(profile["aliases"], "user_profile.aliases")
    for client in ("wechat", "wecom"):
        if body.get(client) is None:
            continue
        part = _check(body[client], dict, client)
        target = new[client]
        if part.get("enabled") is not None:
            target["enabled"] = _check(part["enabled"], bool, f"{client}.enabled")
        for key in CLIENT_TEXT_KEYS:
            if part.get(key) is not None:
                target[key] = _check(part[key], str, f"{client}.{key}").strip()
        if part.get("allowlist_names") is not None:
            names = _text_list(part["allowlist_names"], f"{client}.allowlist_names")
            target["allowlist"] = _allowlist(names, target.get("allowlist", []))
    if body.get("ai") is not None:
        part = _check(body["ai"], dict, "ai")
        if part.get("enabled") is not None:
            new["ai"]["enabled"] = _check(part["enabled"], bool, "ai.enabled")
        for key in AI_TEXT_KEYS + ("api_key",):
            if part.get(key) is not None:
                new["ai"][key] = _check(part[key], str, f"ai.{key}").strip()
        _settle_ai(new["ai"], key_given=part.get("api_key") is not None)
    if body.get("remote_access_token") is not None:
        token = _check(body["remote_access_token"], str, "remote_access_token").strip()
        if 0 < len(token) < MIN_TOKEN_LENGTH:
            raise SettingsRefused(TOKEN_TOO_SHORT)
        new["remote_access_token"] = token
    if body.get("notify_todos_and_mentions") is not None:
        new["notify_todos_and_mentions"] = _check(body["notify_todos_and_mentions"], bool, "notify_todos_and_mentions")
    return new


def _settle_ai(ai: dict, key_given: bool) -> None:
    """Refuses an address that cannot work, stores the address and key variable the provider will
    really use, and ties a newly given key to that address (it is never sent anywhere else)."""
    problem = ai_settings.settings_problem(ai)
    if problem:
        raise SettingsRefused(problem)
    ai["base_url"] = ai_settings.effective_url(ai) or ai["base_url"]
    ai["api_key_env_name"] = ai_settings.key_env_name(ai)
    if key_given:
        ai["api_key_origin"] = ai_settings.origin(ai_settings.effective_url(ai)) if ai["api_key"] else ""


def sanitize(loaded) -> dict:
    """Merges a loaded file over the defaults, keeping only values of the right type."""
    config = default_config()
    if not isinstance(loaded, dict):
        return config

    def merge(base: dict, extra: dict):
        for key, value in extra.items():
            if key not in base:
                continue
            if isinstance(base[key], dict) and isinstance(value, dict):
                merge(base[key], value)
            elif isinstance(base[key], list) and isinstance(value, list):
                base[key] = [v for v in value if isinstance(v, (str, dict))]
            elif type(base[key]) is type(value):
                base[key] = value

    merge(config, loaded)
    for client in ("wechat", "wecom"):
        config[client]["allowlist"] = [e for e in config[client]["allowlist"]
                                       if isinstance(e, dict) and isinstance(e.get("name"), str)]
    for key in TEXT_LIST_KEYS:
        config[key] = [v for v in config[key] if isinstance(v, str)]
    config["user_profile"]["aliases"] = [v for v in config["user_profile"]["aliases"] if isinstance(v, str)]
    if config["notification_exclude_keywords"] == OLD_DEFAULT_EXCLUDE_KEYWORDS:
        config["notification_exclude_keywords"] = list(DEFAULT_EXCLUDE_KEYWORDS)
    config["completed_tasks"] = [t for t in config["completed_tasks"]
                                 if isinstance(t, dict) and isinstance(t.get("item_text"), str)]
    if len(config["remote_access_token"].strip()) < MIN_TOKEN_LENGTH:
        config["remote_access_token"] = ""  # a short token from an older version opens nothing
    ai, loaded_ai = config["ai"], loaded.get("ai")
    ai["api_key_env_own"] = isinstance(loaded_ai, dict) and loaded_ai.get("api_key_env_own") is True
    if ai["api_key"] and not (isinstance(loaded_ai, dict) and "api_key_origin" in loaded_ai):
        ai["api_key_origin"] = ai_settings.origin(ai_settings.effective_url(ai))  # a file from before keys had one
    return config


def _keep_private(path: pathlib.Path, text: str) -> None:
    """Writes a copy only the user can read (it may hold the key and the token).  An existing copy
    keeps its content but loses any access by others (older versions wrote it world-readable)."""
    try:
        fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL | os.O_NOFOLLOW, 0o600)
    except FileExistsError:
        try:
            if stat.S_ISREG(os.lstat(path).st_mode):
                os.chmod(path, 0o600)
        except OSError:
            pass
        return
    except OSError:
        return
    with os.fdopen(fd, "w", encoding="utf-8") as handle:
        try:
            handle.write(text)
        except OSError:
            pass


class ConfigStore:
    """Holds the configuration in memory and on disk (JSON, written atomically, mode 0600)."""

    def __init__(self, path: str | os.PathLike, log=print):
        self.path = pathlib.Path(path).expanduser()
        self._log = log
        self._lock = threading.RLock()
        self._config = self._load()

    @property
    def folder(self) -> pathlib.Path:
        return self.path.parent

    def snapshot(self) -> dict:
        with self._lock:
            return copy.deepcopy(self._config)

    def _load(self) -> dict:
        try:
            if not stat.S_ISREG(os.lstat(self.path).st_mode):
                self._log(f"msgrelay: {self.path} is a symbolic link or not a plain file; refused: it is not "
                          "read, the defaults are used, and the next save writes a plain file in its place")
                return default_config()
            text = self.path.read_text(encoding="utf-8")
        except FileNotFoundError:
            config = default_config()
            try:
                self._write(config)
            except OSError as error:
                self._log(f"msgrelay: cannot create {self.path}: {error}")
            return config
        except OSError as error:
            self._log(f"msgrelay: cannot read {self.path}: {error}; using defaults")
            return default_config()
        try:
            loaded = json.loads(text)
        except ValueError:
            keep = self.path.with_name(self.path.name + ".unreadable")
            self._log(f"msgrelay: {self.path} is not valid JSON; kept as {keep.name}, using defaults")
            _keep_private(keep, text)
            return default_config()
        config = sanitize(loaded)
        if isinstance(loaded, dict) and loaded.get("notification_exclude_keywords") == OLD_DEFAULT_EXCLUDE_KEYWORDS:
            self._log("msgrelay: the stored exclusion words were the earlier defaults; using the current defaults")
        stored = loaded.get("remote_access_token") if isinstance(loaded, dict) else None
        if isinstance(stored, str) and stored.strip() and not config["remote_access_token"]:
            self._log(f"msgrelay: the stored remote access token is shorter than {MIN_TOKEN_LENGTH} characters; "
                      "remote access stays off until a longer one is saved")
        return config

    def _write(self, config: dict) -> None:
        self.folder.mkdir(parents=True, exist_ok=True)
        fd, tmp = tempfile.mkstemp(prefix=".msgrelay-", suffix=".json", dir=self.folder)
        try:
            with os.fdopen(fd, "w", encoding="utf-8") as handle:
                json.dump(config, handle, ensure_ascii=False, indent=2)
                handle.write("\n")
            os.chmod(tmp, 0o600)
            os.replace(tmp, self.path)
        except BaseException:
            try:
                os.unlink(tmp)
            except OSError:
                pass
            raise

    def save_payload(self, body, own: bool = False) -> None:
        """Applies a settings body and writes the file; PayloadError, SettingsRefused,
        SettingsForbidden or OSError leave everything unchanged.  Only a body from the user's own
        account (`own`) may change where the AI requests and the key go or the remote token; a key
        variable it names is marked as the user's, so that it may be read (ai.settings)."""
        with self._lock:
            new = apply_payload(self._config, body)
            if not own and owner_only_changes(self._config, new):
                raise SettingsForbidden(OWNER_ONLY)
            ai_part = body.get("ai") if isinstance(body, dict) else None
            if own and isinstance(ai_part, dict) and ai_part.get("api_key_env_name") is not None:
                new["ai"]["api_key_env_own"] = True
            self._write(new)
            self._config = new

    def remote_token(self) -> str:
        """Asked on every request: read without copying the configuration (it is only ever replaced)."""
        with self._lock:
            return self._config["remote_access_token"]

    def completed(self) -> list[dict]:
        with self._lock:
            return copy.deepcopy(self._config["completed_tasks"])

    def complete(self, item_text: str, key: str) -> None:
        """Records a finished to-do (by its text and its message key); raises OSError."""
        with self._lock:
            new = copy.deepcopy(self._config)
            new["completed_tasks"].append({
                "item_text": item_text,
                "key": key,
                "completed_at": dt.datetime.now().astimezone().isoformat(timespec="seconds"),
            })
            new["completed_tasks"] = new["completed_tasks"][-500:]
            self._write(new)
            self._config = new
