"""Errors of the representer stage."""

from .error import YAMLError


class RepresenterError(YAMLError):
    """A Python object that cannot be represented as a node.

    Built with one message str.
    """
