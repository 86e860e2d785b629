"""Errors of the emitter stage."""

from .error import YAMLError


class EmitterError(YAMLError):
    """The emitter refused an event or could not write it.

    Built with one message str.
    """
