"""Errors of the composer stage."""

from .error import MarkedYAMLError


class ComposerError(MarkedYAMLError):
    """A document that cannot be composed into a node graph."""
