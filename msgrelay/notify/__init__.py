"""Desktop notifications for the messages that ask something of the user or name them."""

from .service import Notifier

__all__ = ["Notifier"]
