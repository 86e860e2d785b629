"""Base error classes of the package."""


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
                self.problem_mark is None
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
