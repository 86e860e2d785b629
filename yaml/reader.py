"""Errors of the input decoding stage."""

from .error import YAMLError


class ReaderError(YAMLError):
    """Input that cannot be decoded.

    Built positionally as (name, position, character, encoding, reason):
    the input name, the byte offset, the offending value (an int, -1 when
    unknown), the encoding and the problem text.
    """

    def __init__(self, name, position, character, encoding, reason):
        super().__init__(name, position, character, encoding, reason)
        self.name = name
        self.position = position
        self.character = character
        self.encoding = encoding
        self.reason = reason

    def __str__(self):
        where = '  in "%s", position %d' % (self.name, self.position)
        char = self.character
        if isinstance(char, int) and not isinstance(char, bool) and char >= 0:
            kind = "byte" if char <= 0xFF else "character"
            return "unacceptable %s #x%02x: %s\n%s" % (kind, char, self.reason,
                                                      where)
        return "%s\n%s" % (self.reason, where)
