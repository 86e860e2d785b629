"""Errors of the scanner stage."""

from .error import MarkedYAMLError


class ScannerError(MarkedYAMLError):
    """Malformed token in the input."""
