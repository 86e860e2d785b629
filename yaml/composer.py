"""The composing stage: events as node graphs."""

from .error import MarkedYAMLError

__all__ = ["Composer", "ComposerError"]


class ComposerError(MarkedYAMLError):
    """A document that cannot be composed into a node graph."""


class Composer:
    """The node level of a loader: `check_node()`, `get_node()` and
    `get_single_node()` come from the native parser that `Reader`
    supplies; aliases give the very node of their anchor, and tags left
    open are asked of the loader's resolver."""

    def __init__(self):
        pass
