"""Positions and the base error classes of the package."""

__all__ = ["Mark", "YAMLError", "MarkedYAMLError"]

# Characters that end a line of input, and the terminator put after the text.
_LINE_ENDS = "\0\r\n\x85\u2028\u2029"


class Mark:
    """A position in an input: its name, the character index, the line and
    column (all from 0), and optionally the input text (`buffer`) with the
    index of the position in it (`pointer`), from which `get_snippet` shows
    the line around the position.

    The native module builds its own marks (yaml._yaml.Mark, with the same
    six fields and no buffer); loaders give in-memory input these instead.
    """

    __slots__ = ("name", "index", "line", "column", "buffer", "pointer")

    def __init__(self, name, index, line, column, buffer, pointer):
        self.name = name
        self.index = index
        self.line = line
        self.column = column
        self.buffer = buffer
        self.pointer = pointer

    def get_snippet(self, indent=4, max_length=75):
        """The line holding the position, cut to about `max_length`
        characters around it (" ... " where cut) and indented, then a line
        with "^" under the position; None without a buffer."""
        if self.buffer is None:
            return None
        buffer, pointer = self.buffer, self.pointer
        half = max_length / 2 - 1
        head = ""
        start = pointer
        while start > 0 and buffer[start - 1] not in _LINE_ENDS:
            start -= 1
            if pointer - start > half:
                head = " ... "
                start += 5
                break
        tail = ""
        end = pointer
        while end < len(buffer) and buffer[end] not in _LINE_ENDS:
            end += 1
            if end - pointer > half:
                tail = " ... "
                end -= 5
                break
        caret = " " * (indent + pointer - start + len(head)) + "^"
        return " " * indent + head + buffer[start:end] + tail + "\n" + caret

    def __str__(self):
        where = '  in "%s", line %d, column %d' % (self.name, self.line + 1,
                                                  self.column + 1)
        snippet = self.get_snippet()
        if snippet is not None:
            where += ":\n" + snippet
        return where

    def __repr__(self):
        return "Mark(%r, %r, %r, %r)" % (self.name, self.index, self.line,
                                         self.column)


class YAMLError(Exception):
    """Base class of every error raised while loading or dumping YAML."""


class MarkedYAMLError(YAMLError):
    """An error tied to positions in the input.

    Built positionally as (context, context_mark, problem, problem_mark);
    marks are any objects with `name`, `line`, `column` and a printable form.
    """

    def __init__(self, context=None, context_mark=None, problem=None,
                 problem_mark=None, note=None):
        super().__init__(context, context_mark, problem, problem_mark, note)
        self.context = context
        self.context_mark = context_mark
        self.problem = problem
        self.problem_mark = problem_mark
        self.note = note

    def __str__(self):
        lines = []
        if self.context is not None:
            lines.append(str(self.context))
        if self.context_mark is not None and (
                self.problem is None or self.problem_mark is None
                or not _same_place(self.context_mark, self.problem_mark)):
            lines.append(str(self.context_mark))
        if self.problem is not None:
            lines.append(str(self.problem))
        if self.problem_mark is not None:
            lines.append(str(self.problem_mark))
        if self.note is not None:
            lines.append(str(self.note))
        return "\n".join(lines)


def _same_place(a, b):
    # The index is ignored on purpose: two marks on the same line and column
    # of the same input print the same, so the second one adds nothing.
    return (a.name == b.name and a.line == b.line and a.column == b.column)


class InputText:
    """The text of an in-memory input as its marks count it: decoded, the
    byte order mark left out (positions start after it), with the "\\0"
    terminator that `Mark.get_snippet` stops at. Decoded on first use, so
    input that never needs a snippet costs nothing."""

    __slots__ = ("source", "_buffer")

    def __init__(self, source):
        self.source = source
        self._buffer = None

    @classmethod
    def of(cls, stream):
        """An InputText for a str or bytes input, else None (file input
        keeps the native marks: its text is gone once read)."""
        kind = type(stream)
        return cls(stream) if kind is str or kind is bytes else None

    @property
    def buffer(self):
        if self._buffer is None:
            self._buffer = _decode(self.source) + "\0"
        return self._buffer

    def mark(self, mark):
        """`mark` as a Mark with this text as buffer; marks that have a
        buffer already (or are no marks) are returned unchanged."""
        if mark is None or getattr(mark, "buffer", True) is not None:
            return mark
        try:
            index = mark.index
            return Mark(mark.name, index, mark.line, mark.column, self.buffer,
                        index)
        except AttributeError:
            return mark

    def place(self, error):
        """Gives a MarkedYAMLError marks with this text; returns it."""
        if isinstance(error, MarkedYAMLError):
            error.context_mark = self.mark(error.context_mark)
            error.problem_mark = self.mark(error.problem_mark)
        return error


def _decode(source):
    if type(source) is str:
        return source[1:] if source.startswith("\ufeff") else source
    if source.startswith(b"\xff\xfe"):
        return source[2:].decode("utf-16-le", "replace")
    if source.startswith(b"\xfe\xff"):
        return source[2:].decode("utf-16-be", "replace")
    if source.startswith(b"\xef\xbb\xbf"):
        source = source[3:]
    return source.decode("utf-8", "replace")
