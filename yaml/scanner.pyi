from yaml.error import MarkedYAMLError

__all__ = ["Scanner", "ScannerError"]

class ScannerError(MarkedYAMLError): ...

class Scanner:
    def __init__(self) -> None: ...
