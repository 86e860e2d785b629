"""The parsing stage: tokens as events."""

from .error import MarkedYAMLError

__all__ = ["Parser", "ParserError"]


class ParserError(MarkedYAMLError):
    """Tokens in an order the grammar does not allow."""


class Parser:
    """The event level of a loader: `check_event(*classes)`,
    `peek_event()` and `get_event()` come from the native parser that
    `Reader` supplies."""

    def __init__(self):
        pass
