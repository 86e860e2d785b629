from yaml.error import MarkedYAMLError

__all__ = ["Composer", "ComposerError"]

class ComposerError(MarkedYAMLError): ...

class Composer:
    def __init__(self) -> None: ...
