from collections.abc import Mapping

from yaml.error import YAMLError

__all__ = ["Serializer", "SerializerError"]

class SerializerError(YAMLError): ...

class Serializer:
    # The document options; open(), serialize(node) and close() come from
    # the native emitter the dumper is built on.
    use_encoding: str | None
    use_explicit_start: bool | None
    use_explicit_end: bool | None
    use_version: tuple[int, int] | None
    use_tags: Mapping[str, str] | None
    def __init__(
        self,
        encoding: str | None = None,
        explicit_start: bool | None = None,
        explicit_end: bool | None = None,
        version: tuple[int, int] | None = None,
        tags: Mapping[str, str] | None = None,
    ) -> None: ...
