"""The input stage: where a loader's text comes from.

`Reader` is the native parser (`CParser`) given its input: a str, bytes, or
a text or binary file object. The native module reads `ReaderError` from
this module while it initialises, so this module must be complete before
the native module exists; the package therefore imports the native module
after it and then calls `_define`, which adds `Reader` here. Importing
`yaml.reader` (in any order, from anywhere) always runs the package first,
so `from yaml.reader import Reader` works as usual.
"""

from .error import InputText, MarkedYAMLError, YAMLError

__all__ = ["Reader", "ReaderError"]


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


def input_name(stream):
    """The name marks give an input, as the native parser names it."""
    kind = type(stream)
    if kind is str:
        return "<unicode string>"
    if kind is bytes:
        return "<byte string>"
    return getattr(stream, "name", "<file>")


def exact_input(stream):
    """A str or bytes subclass as the plain str or bytes the native parser
    takes (it refuses subclasses); anything else unchanged."""
    if isinstance(stream, str) and type(stream) is not str:
        return str.__str__(stream)
    if isinstance(stream, bytes) and type(stream) is not bytes:
        return b"" + stream
    return stream


def open_input(init, loader, stream):
    """Runs the native parser's `init(loader, stream)`. A str input holding
    a lone surrogate, which no encoding can carry to the parser, is refused
    with the ReaderError the parser gives any other character it cannot
    take."""
    try:
        init(loader, stream)
    except UnicodeEncodeError as exc:
        if type(stream) is not str or exc.object is not stream:
            raise
        raise ReaderError(input_name(stream), exc.start, ord(stream[exc.start]),
                          "utf-8", "invalid Unicode character") from None


def set_input(loader, stream):
    """The attributes every loader has besides the native parser's state:
    `name`, `stream` (None for in-memory input) and the in-memory text that
    error marks show."""
    loader.name = input_name(stream)
    text = InputText.of(stream)
    loader.stream = None if text is not None else stream
    loader.input_text = text


def placed(loader, error):
    """`error` with marks that show the loader's in-memory input."""
    text = getattr(loader, "input_text", None)
    if text is not None:
        text.place(error)
    return error


def _placing(native, name, hands_out):
    """A parser method that gives its errors (and, when `hands_out`, the
    token or event it returns) marks showing the in-memory input."""
    def method(self, *choices):
        try:
            item = native(self, *choices)
        except MarkedYAMLError as exc:
            raise placed(self, exc)
        return self._marked(item) if hands_out else item
    method.__name__ = name
    method.__qualname__ = "Reader." + name
    return method


def _define(CParser):
    global Reader

    class Reader(CParser):
        """The native parser over `stream` (str, bytes, or a file object
        whose read(size) returns str or bytes).

        For in-memory input the tokens and events handed out carry marks
        whose buffer is the decoded text (so `get_snippet` shows the line),
        and every error shows the offending line with a caret. A plain
        scalar token or event has style None.
        """

        def __init__(self, stream):
            stream = exact_input(stream)
            open_input(CParser.__init__, self, stream)
            set_input(self, stream)

        def _marked(self, item):
            text = self.input_text
            if text is not None and item is not None:
                item.start_mark = text.mark(item.start_mark)
                item.end_mark = text.mark(item.end_mark)
                if getattr(item, "style", None) == "":
                    item.style = None   # a plain scalar
            return item

    for name, hands_out in (
            ("get_token", True), ("peek_token", True), ("check_token", False),
            ("get_event", True), ("peek_event", True), ("check_event", False),
            ("check_node", False), ("get_node", False),
            ("get_single_node", False)):
        setattr(Reader, name, _placing(getattr(CParser, name), name, hands_out))
    Reader.__module__ = __name__
    Reader.__qualname__ = "Reader"
    return Reader
