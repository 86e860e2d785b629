"""The scanning stage: the input as tokens."""

from .error import MarkedYAMLError

__all__ = ["Scanner", "ScannerError"]


class ScannerError(MarkedYAMLError):
    """Malformed token in the input."""


class Scanner:
    """The token level of a loader: `check_token(*classes)`,
    `peek_token()` and `get_token()` come from the native parser that
    `Reader` supplies. The scanning itself is libyaml's, so its internals
    are not hooks a subclass can override."""

    def __init__(self):
        pass
