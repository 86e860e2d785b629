"""Errors of the constructor stage."""

from .error import MarkedYAMLError


class ConstructorError(MarkedYAMLError):
    """A node that cannot be turned into a Python object."""
