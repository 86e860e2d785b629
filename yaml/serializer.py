"""Errors of the serializer stage."""

from .error import YAMLError


class SerializerError(YAMLError):
    """The serializer was used out of order.

    Built with one message str.
    """
