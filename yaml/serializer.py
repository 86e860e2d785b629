"""The serializing stage: node graphs as events."""

from .error import YAMLError

__all__ = ["Serializer", "SerializerError"]


class SerializerError(YAMLError):
    """The serializer was used out of order.

    Built with one message str.
    """


class Serializer:
    """The document options of a dumper; `open()`, `serialize(node)` and
    `close()` come from the native emitter that `Emitter` supplies, which
    names every node reached twice `id001`, `id002`, ... and writes later
    occurrences as aliases."""

    def __init__(self, encoding=None, explicit_start=None, explicit_end=None,
                 version=None, tags=None):
        self.use_encoding = encoding
        self.use_explicit_start = explicit_start
        self.use_explicit_end = explicit_end
        self.use_version = version
        self.use_tags = tags
        configure = getattr(self, "_configure_documents", None)
        if configure is not None:
            configure(encoding, explicit_start, explicit_end, version, tags)
