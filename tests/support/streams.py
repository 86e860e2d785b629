"""File-like inputs for the parser: one chunked reader and one reader of
given results, shared by the tests, the reliability checks and the fuzzer.
Nothing here imports the host package."""


class ChunkedStream:
    """Hands out `data` (str or bytes) in pieces through read(size).

    `chunk` is the most items one read returns (an int), or a function of
    the size asked for that returns the piece's length, which may be more
    than was asked.  Every size asked for is kept in `sizes`; the read call
    numbered `fail_at` (from 0) raises `exc` instead.  `name` becomes the
    stream's name attribute when given.
    """

    def __init__(self, data, chunk=3, name=None, fail_at=None, exc=None):
        self.data = data
        self.chunk = chunk
        self.pos = 0
        self.sizes = []
        self.fail_at = fail_at
        self.exc = exc
        if name is not None:
            self.name = name

    def read(self, size):
        self.sizes.append(size)
        if self.fail_at is not None and len(self.sizes) - 1 == self.fail_at:
            raise self.exc
        n = self.chunk(size) if callable(self.chunk) else min(size, self.chunk)
        piece = self.data[self.pos:self.pos + n]
        self.pos += len(piece)
        return piece


class ResultStream:
    """read(size) returns the given results in turn, then b""; a result that
    is an exception is raised instead.  Every size asked for is kept in
    `sizes`."""

    def __init__(self, *results):
        self.results = list(results)
        self.sizes = []

    def read(self, size):
        self.sizes.append(size)
        result = self.results.pop(0) if self.results else b""
        if isinstance(result, BaseException):
            raise result
        return result
