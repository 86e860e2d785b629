"""The presenting stage: events as YAML text.

`Emitter` is the native emitter (`CEmitter`) given its stream and layout
options. As with `Reader`, the native module reads `EmitterError` from this
module while it initialises, so the package adds `Emitter` here (`_define`)
once the native module exists.

libyaml writes the text, so the formatting hooks of a pure-Python emitter
(`increase_indent`, `choose_scalar_style`, `write_indicator`, ...) exist on
`Emitter` only so that subclasses which override them still load: they are
never called and overriding them changes nothing.
"""

import codecs

from .error import YAMLError

__all__ = ["Emitter", "EmitterError"]


class EmitterError(YAMLError):
    """The emitter refused an event or could not write it.

    Built with one message str.
    """


_WIDEST = 2 ** 31 - 1


def native_width(width):
    """`width` as the native emitter takes it: programs ask for no wrapping
    with float("inf") or a huge number, which a C int cannot hold."""
    if isinstance(width, (int, float)) and not isinstance(width, bool) \
            and width > _WIDEST:
        return _WIDEST
    return width


# The encodings libyaml writes itself, by codec name; the native emitter
# knows them under these spellings only.
_NATIVE_ENCODINGS = {"utf-8": "utf-8", "utf-16-le": "utf-16-le",
                     "utf-16-be": "utf-16-be"}


class _EncodedOutput:
    """A byte stream seen as a text stream: what the native emitter writes
    as text is encoded here in an encoding libyaml cannot write itself
    ("utf-16" with its byte order mark, "latin-1", "cp1252", ...)."""

    def __init__(self, stream, encoding):
        self._stream = stream
        self._encoder = codecs.getincrementalencoder(encoding)()

    def write(self, text):
        # Each chunk ends in the encoder's initial state (encodings with
        # shift states close their sequences), so the bytes written so far
        # always decode; the byte order mark comes only once.
        data = self._encoder.encode(text, True)
        if data:
            self._stream.write(data)


def native_output(stream, encoding):
    """The stream and encoding to give the native emitter for `encoding`.

    A text stream (one with an `encoding` attribute) is written text
    whatever the encoding, as the native emitter does. For a byte stream,
    libyaml writes UTF-8 and UTF-16 in either byte order itself, under any
    spelling Python accepts ("UTF8", "utf_16_le"); any other encoding is
    done here, so the bytes are never UTF-8 in disguise. An unknown
    encoding raises LookupError at once.
    """
    if encoding is None or hasattr(stream, "encoding"):
        return stream, encoding
    name = codecs.lookup(encoding).name
    native = _NATIVE_ENCODINGS.get(name)
    if native is not None:
        return stream, native
    return _EncodedOutput(stream, name), None


def record_settings(dumper, canonical, indent, width, allow_unicode,
                    line_break):
    """The layout settings a dumper shows as attributes, with the values
    the emitter takes for missing or unusable options."""
    dumper.canonical = canonical
    dumper.allow_unicode = allow_unicode
    dumper.best_indent = 2
    if isinstance(indent, int) and 1 < indent < 10:
        dumper.best_indent = indent
    dumper.best_width = 80
    if isinstance(width, (int, float)) and width > dumper.best_indent * 2:
        dumper.best_width = width
    dumper.best_line_break = "\n"
    if line_break in ("\r", "\n", "\r\n"):
        dumper.best_line_break = line_break


def _no_effect(name):
    def hook(self, *args, **kwds):
        """Not called: libyaml chooses the layout."""
        return None
    hook.__name__ = name
    hook.__qualname__ = "Emitter." + name
    return hook


_FORMATTING_HOOKS = (
    "increase_indent", "choose_scalar_style", "analyze_scalar",
    "process_anchor", "process_tag", "process_scalar", "prepare_tag",
    "write_indicator", "write_indent", "write_plain", "write_single_quoted",
    "write_double_quoted", "write_folded", "write_literal")


def _define(CEmitter):
    global Emitter

    class Emitter(CEmitter):
        """The native emitter over `stream` (an object with write()).

        Called alone it emits events (`emit`); together with
        `Serializer.__init__`, as dumpers do, it sets up the one native
        emitter with the document options too.
        """

        def __init__(self, stream, canonical=None, indent=None, width=None,
                     allow_unicode=None, line_break=None):
            CEmitter.__init__(self, stream, canonical, indent,
                              native_width(width), allow_unicode, line_break)
            self.stream = stream
            record_settings(self, canonical, indent, width, allow_unicode,
                            line_break)
            self._layout = (canonical, indent, native_width(width),
                            allow_unicode, line_break)

        def _configure_documents(self, encoding, explicit_start,
                                 explicit_end, version, tags):
            # Called by Serializer.__init__. The native emitter takes every
            # option at construction, so it is set up again with all of
            # them; nothing has been written yet.
            if (encoding, explicit_start, explicit_end, version,
                    tags) != (None,) * 5:
                output, encoding = native_output(self.stream, encoding)
                CEmitter.__init__(self, output, *self._layout, encoding,
                                  explicit_start, explicit_end, version, tags)

    for name in _FORMATTING_HOOKS:
        setattr(Emitter, name, _no_effect(name))
    Emitter.__module__ = __name__
    Emitter.__qualname__ = "Emitter"
    return Emitter
