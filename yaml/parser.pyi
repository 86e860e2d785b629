from yaml.error import MarkedYAMLError

__all__ = ["Parser", "ParserError"]

class ParserError(MarkedYAMLError): ...

class Parser:
    def __init__(self) -> None: ...
