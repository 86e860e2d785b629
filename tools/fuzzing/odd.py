"""Objects that misbehave on purpose: streams, writers, values, tag
mappings and impostors of host classes.  Their faults are Injected."""

from yaml.nodes import ScalarNode

from .host import Injected

class Countdown:
    """Raises Injected at the n-th tick (n None: never)."""

    def __init__(self, n):
        self.n = n

    def tick(self):
        if self.n is not None:
            self.n -= 1
            if self.n <= 0:
                raise Injected("injected at the chosen call")


class OddStream:
    def __init__(self, rng, data):
        self.rng = rng
        self.data = data if isinstance(data, bytes) else data.encode("utf-8", "surrogatepass")
        self.text = data if isinstance(data, str) else data.decode("utf-8", "replace")
        self.pos = 0
        self.calls = 0
        self.fault = Countdown(rng.choice([None, 1, 2, 3, 5, 20]))
        self.kind = rng.randrange(9)

    def read(self, size=-1):
        self.calls += 1
        if self.calls > 100000:
            return b""
        self.fault.tick()
        rng = self.rng
        kind = self.kind
        if kind == 0:      # chunks of random sizes, odd, one byte, longer than asked
            n = rng.choice([0, 1, 3, 7, size, size * 3 + 1])
            if n == 0 and rng.random() < 0.7:
                n = 1
        else:
            n = size if isinstance(size, int) else 1024
        chunk = self.data[self.pos:self.pos + n]
        self.pos += len(chunk)
        if kind == 1:      # alternating str and bytes
            return chunk.decode("utf-8", "replace") if self.calls % 2 else chunk
        if kind == 2:      # wrong types now and then
            if rng.random() < 0.3:
                return rng.choice([None, 1, bytearray(chunk), memoryview(chunk), [chunk],
                                   type("S", (str,), {})("x"), type("B", (bytes,), {})(b"x")])
        if kind == 3:      # str with a lone surrogate
            if rng.random() < 0.2:
                return "a\ud800b"
        if kind == 4:      # text from a str
            return self.text[self.pos - len(chunk):self.pos]
        if kind == 5:      # huge chunk at once
            rest = self.data[self.pos:]
            self.pos = len(self.data)
            return chunk + rest
        if kind == 6:      # never-ending input, bounded by the call count
            return chunk or b"- x\n"
        return chunk


class ReadAttr:
    """Streams whose read or name attributes are odd."""

    def __init__(self, rng, data):
        kind = rng.randrange(5)
        if kind == 0:
            self.read = None
        elif kind == 1:
            self.read = 42
        elif kind == 2:
            self.read = lambda *a: (_ for _ in ()).throw(Injected("read"))
        else:
            self.read = OddStream(rng, data).read
        self.name = rng.choice([None, 1, "n", b"b", object(), type("S", (str,), {})("s"), 2 ** 100])


class RaisingNameStream:
    def __init__(self, rng, data):
        self._inner = OddStream(rng, data)
        self.read = self._inner.read

    @property
    def name(self):
        raise Injected("name")


class OddEq:
    """Compares by raising, or by a non-bool result that raises on truth."""

    def __init__(self, rng):
        self.raise_eq = rng.random() < 0.5

    @classmethod
    def raising(cls):
        odd = cls.__new__(cls)
        odd.raise_eq = True
        return odd

    def __eq__(self, other):
        if self.raise_eq:
            raise Injected("__eq__")
        return BadBool()

    __hash__ = object.__hash__


class BadBool:
    def __bool__(self):
        raise Injected("__bool__")


class StrSub(str):
    pass


class BytesSub(bytes):
    pass


class IntLike:
    def __init__(self, v):
        self.v = v

    def __int__(self):
        return self.v


def odd_value(rng, good):
    choice = rng.randrange(20)
    if choice < 8:
        return good
    return rng.choice([None, StrSub("s"), BytesSub(b"b"), 2 ** 100, -1, 0, 1.5, b"\xff\xfe",
                       "\ud800", "a\x00b", "x" * rng.choice([1, 10000, 200000]), object(),
                       (True, False), (1,), (), [True, True], IntLike(2 ** 70), BadBool(),
                       OddEq(rng), True, "!", ""])


class MutatingTags(dict):
    """A tag mapping that changes while the module iterates it."""

    def __iter__(self):
        for key in list(dict.keys(self)):
            self["!m%d!" % len(self)] = "tag:m:"
            yield key
        if len(self) < 300:
            yield "!extra!"


class MutatingGetitem(dict):
    """A tag mapping that drops and adds entries while it is read."""

    def __getitem__(self, key):
        if len(self) > 1:
            self.pop(next(iter(dict.keys(self))), None)
        self["!n%d!" % len(self)] = "tag:n:"
        return dict.get(self, key, "tag:gone:")


class PlainMapping:
    """Not a dict: keys come from iteration, values from a failing lookup."""

    def __init__(self, rng):
        self.fault = Countdown(rng.choice([None, 1, 2]))

    def __len__(self):
        return 2

    def __iter__(self):
        return iter(["!a!", "!b!"])

    def keys(self):
        return ["!a!", "!b!"]

    def __getitem__(self, key):
        self.fault.tick()
        return "tag:" + key.strip("!") + ":"

    def __bool__(self):
        return True


class LyingLen(dict):
    def __len__(self):
        return 1


def odd_tags(rng):
    kind = rng.randrange(10)
    if kind == 0:
        return None
    if kind == 1:
        return {"!e!": "tag:e,2000:"}
    if kind == 8:
        return MutatingGetitem({"!a!": "tag:a:", "!b!": "tag:b:", "!c!": "tag:c:"})
    if kind == 9:
        return PlainMapping(rng)
    if kind == 2:
        return {("!h%d!" % i): "tag:h%d:" % i for i in range(rng.choice([127, 128, 129, 1000]))}
    if kind == 3:
        return MutatingTags({"!a!": "tag:a:", "!b!": "tag:b:"})
    if kind == 4:
        return LyingLen({("!h%d!" % i): "t:" for i in range(300)})
    if kind == 5:
        return {1: "x"} if rng.random() < 0.5 else {"!x!": None}
    if kind == 6:
        return rng.choice([[("!a!", "t")], "!a!", 5, {StrSub("!s!"): BytesSub(b"t")}])
    return {rng.choice(["!", "!!", "!x!", "", "bad", "\ud800"]): rng.choice(["tag:x:", "", "!", "\ud800"])}


class OddWriter:
    def __init__(self, rng):
        self.rng = rng
        self.fault = Countdown(rng.choice([None, None, 1, 2, 5]))
        kind = rng.randrange(4)
        if kind == 0:
            self.encoding = rng.choice([None, "utf-8", 1, object()])
        self.parts = []

    def write(self, data):
        self.fault.tick()
        self.parts.append(data)
        if self.rng.random() < 0.05:
            return BadBool()


class NoWrite:
    """A stream without write."""

    def __init__(self, rng):
        self.rng = rng


class Shifty:
    """Claims a host class through a __class__ property; its attributes
    change type from one read to the next and raise at the n-th read."""

    def __init__(self, rng, claimed, values):
        object.__setattr__(self, "_rng", rng)
        object.__setattr__(self, "_claimed", claimed)
        object.__setattr__(self, "_values", values)
        object.__setattr__(self, "_fault", Countdown(rng.choice([None, None, 1, 3, 8])))

    @property
    def __class__(self):
        return object.__getattribute__(self, "_claimed")

    def __getattr__(self, name):
        self._fault.tick()
        choices = self._values.get(name)
        if choices is None:
            raise AttributeError(name)
        return self._rng.choice(choices)


class UnhashableNode(ScalarNode):
    __hash__ = None
