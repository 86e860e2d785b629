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
                CEmitter.__init__(self, self.stream, *self._layout, encoding,
                                  explicit_start, explicit_end, version, tags)

    for name in _FORMATTING_HOOKS:
        setattr(Emitter, name, _no_effect(name))
    Emitter.__module__ = __name__
    Emitter.__qualname__ = "Emitter"
    return Emitter
