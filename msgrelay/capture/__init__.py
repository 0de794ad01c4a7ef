"""Reading WeChat and WeCom messages from the desktop notifications on the user's session bus."""

from .service import Capture, Status

__all__ = ["Capture", "Status"]
