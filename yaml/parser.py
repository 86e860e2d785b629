"""Errors of the parser stage."""

from .error import MarkedYAMLError


class ParserError(MarkedYAMLError):
    """Tokens in an order the grammar does not allow."""
