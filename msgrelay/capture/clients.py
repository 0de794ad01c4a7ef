"""Which application a desktop notification comes from: WeChat, WeCom or something else.

The one place that lists the chat clients' application names and ids.  A notification names its
application in up to three places (the `Notify` application name, its `desktop-entry` hint, or
the application id of the GLib and portal interfaces); each is tested on its own, and WeCom is
tested before WeChat because several WeCom names contain a WeChat name (企业微信, weixin.work).
"""

from __future__ import annotations

# Exact names and ids, compared case-insensitively after dropping a ".desktop" suffix.
WECOM_NAMES = frozenset({"企业微信", "wecom", "wxwork", "wework"})
WECHAT_NAMES = frozenset({"微信", "wechat", "weixin",
                          "com.tencent.wechat",  # the Flatpak build
                          "com.qq.weixin", "com.qq.weixin.deepin"})
# Parts of an application id that only WeCom builds use (Flatpak, deepin-wine and native packages).
WECOM_ID_PARTS = ("wxwork", "wecom", "weixin.work")

LABELS = {"wechat": "微信", "wecom": "企业微信"}


def _normalised(name: str) -> str:
    name = name.strip().casefold()
    return name[: -len(".desktop")] if name.endswith(".desktop") else name


def target_of_name(name) -> str | None:
    """'wechat', 'wecom' or None for one application name, desktop entry or application id."""
    if not isinstance(name, str) or not name.strip():
        return None
    folded = _normalised(name)
    if folded in WECOM_NAMES or any(part in folded for part in WECOM_ID_PARTS):
        return "wecom"
    if folded in WECHAT_NAMES:
        return "wechat"
    return None


def target_of(*names) -> tuple[str, str] | None:
    """(target, the name that matched) for the first of the names that is a chat client, else None."""
    for name in names:
        target = target_of_name(name)
        if target:
            return target, name.strip()
    return None
