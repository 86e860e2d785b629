"""Modes where the module calls back into Python that misbehaves:
resolver methods, host globals rebound or deleted, and callbacks that
re-enter their own parser or emitter."""

import gc
import io
import pickle

from yaml.nodes import ScalarNode

from ..host import (HOST_NAMES, SAMPLE, Dumper, Finding, Loader, Resolver, _yaml, compose_all,
                    ev, parse_events, serialize_all)
from ..inputs import gen_document, make_input
from ..odd import Countdown, OddEq, OddStream

class FaultyResolverLoader(_yaml.CParser, Resolver):
    def __init__(self, stream, rng):
        _yaml.CParser.__init__(self, stream)
        self.rng = rng
        self.fault = Countdown(rng.choice([None, 1, 2, 3, 10, 50]))
        self.odd_tag = rng.random() < 0.3
        self.where = rng.randrange(3)

    def descend_resolver(self, parent, index):
        if self.where == 0:
            self.fault.tick()

    def ascend_resolver(self):
        if self.where == 1:
            self.fault.tick()
        if self.rng.random() < 0.01:
            gc.collect()

    def resolve(self, kind, value, implicit):
        if self.where == 2:
            self.fault.tick()
        if self.odd_tag:
            return self.rng.choice([None, 1, 2 ** 200, b"t", object(), "t", [1], ()])
        return Resolver.resolve(self, kind, value, implicit)


def mode_resolver_faults(rng, ctx):
    data = make_input(rng, ctx.pool)
    loader = FaultyResolverLoader(data, rng)
    if rng.random() < 0.3:
        loader.get_single_node()
    else:
        while loader.check_node():
            loader.get_node()
    if rng.random() < 0.5:
        # Resolver faults in the serializer too.
        graph = compose_all(rng.choice(ctx.pool) if ctx.pool else gen_document(rng))
        serialize_all(FaultyResolverDumper(io.StringIO(), rng), graph)


class FaultyResolverDumper(_yaml.CEmitter, Resolver):
    def __init__(self, stream, rng):
        _yaml.CEmitter.__init__(self, stream)
        self.rng = rng
        self.fault = Countdown(rng.choice([None, 1, 2, 3, 10, 50]))
        self.where = rng.randrange(4)

    def descend_resolver(self, parent, index):
        if self.where == 0:
            self.fault.tick()

    def ascend_resolver(self):
        if self.where == 1:
            self.fault.tick()

    def resolve(self, kind, value, implicit):
        if self.where == 2:
            self.fault.tick()
        if self.where == 3:
            return self.rng.choice([None, 1, OddEq(self.rng), "tag:yaml.org,2002:str"])
        return Resolver.resolve(self, kind, value, implicit)


def odd_host(rng, name):
    """Something to rebind a host global to."""
    fault = Countdown(rng.choice([1, 2, 5, 30]))
    original = getattr(_yaml, name)
    kind = rng.randrange(8)
    if kind == 0:
        return None
    if kind == 1:
        return rng.choice([1, "x", object(), [], 2 ** 100])

    def raising(*args):
        fault.tick()
        return original(*args)
    if kind == 2:
        return raising
    if kind == 3:
        return lambda *args: rng.choice([None, 1, "s", object(), (), []])
    if kind == 4:
        class Sub(original if isinstance(original, type) else object):
            pass
        return Sub
    if kind == 5:
        # An error class that is no exception.
        return lambda *args: object()
    if kind == 6:
        return type(name, (), {"__init__": lambda self, *a: fault.tick()})
    return raising


def mode_host_globals(rng, ctx):
    names = rng.sample(HOST_NAMES, rng.randrange(1, 4))
    if rng.random() < 0.05:
        names.append("__pyx_unpickle_Mark")
    namespace = vars(_yaml)
    saved = {n: namespace[n] for n in names}
    missing = rng.random() < 0.2
    try:
        for n in names:
            if missing:
                del namespace[n]
            else:
                namespace[n] = odd_host(rng, n)
        data = SAMPLE if rng.random() < 0.6 else make_input(rng, ctx.pool)
        level = rng.randrange(6)
        if level == 0:
            Loader(data).raw_scan()
            loader = Loader(data)
            while loader.get_token() is not None:
                pass
        elif level == 1:
            loader = Loader(data)
            while loader.get_event() is not None:
                pass
        elif level == 2:
            compose_all(data)
        elif level == 3:
            Loader(data).get_single_node()
        elif level == 4:
            Loader(b"a: [b\n" if rng.random() < 0.5 else b"\xff").get_event()
            Loader(b"a: [b\n").get_event()
            Loader(b"*x").get_single_node()
        else:
            emit_sample(rng, saved)
        pickle.loads(pickle.dumps(_yaml.Mark("n", 1, 2, 3, None, None)))
    finally:
        namespace.update(saved)
    ctx.check_healthy()


def emit_sample(rng, saved):
    events = parse_events(SAMPLE) if "StreamStartEvent" not in saved else []
    out = io.StringIO()
    emitter = _yaml.CEmitter(out)
    for e in events:
        emitter.emit(e)
    dumper = Dumper(io.StringIO())
    serialize_all(dumper, compose_all(SAMPLE))
    dumper.close()
    dumper.open()


REENTRY_CALLS = ["get_token", "peek_token", "check_token", "get_event", "peek_event",
                 "check_event", "check_node", "get_node", "get_single_node", "raw_scan",
                 "raw_parse", "dispose", "__init__"]
BUSY = "is already running: a callback may not re-enter it"


def expect_refusal(label, call):
    """A callback re-entering its own parser or emitter: every call is
    refused with the busy RuntimeError, but dispose, which does nothing."""
    try:
        call()
    except RuntimeError as exc:
        if BUSY in str(exc) and label != "dispose":
            return
        raise Finding("re-entering %s: %s %r" % (label, type(exc).__name__, str(exc)))
    except Exception as exc:
        raise Finding("re-entering %s: %s %r" % (label, type(exc).__name__, str(exc))) from exc
    if label != "dispose":
        raise Finding("re-entering %s was not refused" % label)


class ReentrantStream:
    """A stream, resolver and writer that calls back into its own parser
    or emitter in the middle of an operation."""

    def __init__(self, rng, data):
        self.rng = rng
        self.inner = OddStream(rng, data)
        self.inner.kind = 7
        self.owner = None
        self.when = rng.choice([1, 2, 3, 8])
        self.calls = 0

    def poke(self):
        self.calls += 1
        if self.owner is None or self.calls != self.when:
            return
        name = self.rng.choice(REENTRY_CALLS)
        if name == "__init__":
            # The module's own __init__: the subclass's takes a hook too.
            source = self.rng.choice([b"a: b", "x", self])
            expect_refusal(name, lambda: _yaml.CParser.__init__(self.owner, source))
        else:
            expect_refusal(name, getattr(self.owner, name))

    def read(self, size):
        self.poke()
        return self.inner.read(size)


class ReentrantLoader(_yaml.CParser, Resolver):
    def __init__(self, stream, hook):
        _yaml.CParser.__init__(self, stream)
        self.hook = hook

    def descend_resolver(self, parent, index):
        self.hook.poke()

    def resolve(self, kind, value, implicit):
        self.hook.poke()
        return Resolver.resolve(self, kind, value, implicit)


class ReentrantDumper(_yaml.CEmitter, Resolver):
    def __init__(self, stream, hook):
        _yaml.CEmitter.__init__(self, stream)
        self.hook = hook

    def resolve(self, kind, value, implicit):
        self.hook.poke()
        return Resolver.resolve(self, kind, value, implicit)


class ReentrantWriter:
    def __init__(self, rng):
        self.rng = rng
        self.owner = None
        self.when = rng.choice([1, 2, 3])
        self.calls = 0

    def poke(self):
        self.calls += 1
        if self.owner is None or self.calls != self.when:
            return
        owner = self.owner
        label, call = self.rng.choice([
            ("dispose", owner.dispose),
            ("emit", lambda: owner.emit(ev.ScalarEvent(None, None, (True, False), "x"))),
            ("close", owner.close),
            ("serialize", lambda: owner.serialize(ScalarNode("tag:yaml.org,2002:str", "y"))),
            ("__init__", lambda: _yaml.CEmitter.__init__(owner, self)),
            ("open", owner.open),
        ])
        expect_refusal(label, call)

    def write(self, data):
        self.poke()


def mode_reentry(rng, ctx):
    data = make_input(rng, ctx.pool) if rng.random() < 0.5 else SAMPLE
    if rng.random() < 0.6:
        hook = ReentrantStream(rng, data)
        loader = ReentrantLoader(hook if rng.random() < 0.7 else data, hook)
        hook.owner = loader
        level = rng.randrange(3)
        for _ in range(100000):
            if level == 0 and loader.get_token() is None:
                break
            if level == 1 and loader.get_event() is None:
                break
            if level == 2:
                if not loader.check_node():
                    break
                loader.get_node()
        return
    writer = ReentrantWriter(rng)
    dumper = ReentrantDumper(writer, writer)
    writer.owner = dumper
    if rng.random() < 0.5:
        for event in parse_events(SAMPLE):
            dumper.emit(event)
    else:
        serialize_all(dumper, compose_all(SAMPLE))
