"""Modes over the life of instances: position records built and
restored from odd values, calls in the wrong state (before __init__, after
a failed __init__, after dispose, in the middle of a document), and
allocations failing inside a call."""

import io
import pickle
import re

from yaml.nodes import ScalarNode

from ..host import SAMPLE, Dumper, Finding, Loader, _yaml, compose_all, ev, parse_events, serialize_all
from ..inputs import make_input
from ..odd import BadBool, IntLike, OddEq, OddStream, OddWriter, odd_value
from ..outcomes import MISUSE, NOT_INITIALISED

try:
    import _testcapi
except ImportError:   # interpreters built without the test modules
    _testcapi = None


def mode_mark(rng, ctx):
    args = [odd_value(rng, "name"), odd_value(rng, 1), odd_value(rng, 2), odd_value(rng, 3),
            odd_value(rng, None), odd_value(rng, None)]
    if rng.random() < 0.5:
        mark = _yaml.Mark(*args)
    else:
        mark = _yaml.Mark("n", 1, 2, 3, None, None)
        mark.__setstate__(tuple(args[:rng.randrange(8)]) + (rng.choice([{}, {"x": 1}, None]),))
    str(mark)
    mark.__reduce__()
    pickle.loads(pickle.dumps(mark))
    _yaml.__pyx_unpickle_Mark(_yaml.Mark, rng.choice([0x27a7a5c, 0x3fa45b6, 1, 2 ** 70, IntLike(5)]),
                              rng.choice([None, tuple(args), (), [1]]))

PARSER_METHODS = ["get_token", "get_event", "check_node", "get_node", "get_single_node",
                  "raw_scan", "raw_parse", "peek_token", "peek_event", "check_event",
                  "check_token", "dispose", "__init__"]


class RaisingEncoding:
    """An output stream whose encoding attribute raises."""

    @property
    def encoding(self):
        raise ValueError("encoding")

    def write(self, data):
        pass


class RaisingRead:
    """An input stream whose read attribute raises."""

    @property
    def read(self):
        raise ValueError("read")


def failing_emitter_init(rng):
    """(label, arguments) that make CEmitter.__init__ raise once libyaml's
    emitter is initialised: every option step that can raise."""
    out = io.StringIO()
    return rng.choice([
        ("indent of the wrong type", (out,), {"indent": "2"}),
        ("width out of range", (out,), {"width": 2 ** 40}),
        ("canonical whose truth raises", (out,), {"canonical": BadBool()}),
        ("allow_unicode whose truth raises", (out,), {"allow_unicode": BadBool()}),
        ("line_break whose == raises", (out,), {"line_break": OddEq.raising()}),
        ("explicit_start whose truth raises", (out,), {"explicit_start": BadBool()}),
        ("explicit_end whose truth raises", (out,), {"explicit_end": BadBool()}),
        ("stream whose encoding attribute raises", (RaisingEncoding(),), {}),
    ])


def failing_parser_init(rng):
    """(label, stream) that make CParser.__init__ raise."""
    return rng.choice([("None", None), ("an int", 5), ("a bytearray", bytearray(b"a")),
                       ("str with a lone surrogate", "a\ud800"),
                       ("stream whose read attribute raises", RaisingRead())])


def refused_after_failed_init(label, name, call, cls_name):
    """Every method of an instance whose __init__ failed (or never ran) is
    refused as not initialised; dispose, which does nothing, may return."""
    try:
        result = call()
    except RuntimeError as exc:
        if re.search(cls_name + NOT_INITIALISED, str(exc)):
            return
        raise Finding("%s after %s: RuntimeError %r" % (name, label, str(exc)))
    except Exception as exc:
        raise Finding("%s after %s: %s %r, not the not-initialised RuntimeError"
                      % (name, label, type(exc).__name__, str(exc))) from exc
    if name != "dispose" or result is not None:
        raise Finding("%s after %s was not refused (returned %.100r)" % (name, label, result))


def after_failed_init(rng):
    """A failed CEmitter.__init__ (on a fresh, used or disposed instance) and
    a failed CParser.__init__ leave instances that refuse every call."""
    if rng.random() < 0.5:
        node = ScalarNode("tag:yaml.org,2002:str", "x")
        emitter = Dumper(io.StringIO()) if rng.random() < 0.6 else Dumper.__new__(Dumper)
        if rng.random() < 0.5:
            try:
                emitter.open()
                emitter.serialize(node)
            except RuntimeError:
                pass   # never initialised
        label, args, kwargs = failing_emitter_init(rng)
        try:
            _yaml.CEmitter.__init__(emitter, *args, **kwargs)
        except Exception:
            pass
        else:
            raise Finding("CEmitter.__init__ with %s did not fail" % label)
        label = "a failed CEmitter.__init__ (%s)" % label
        calls = [("emit", lambda: emitter.emit(ev.StreamStartEvent())), ("open", emitter.open),
                 ("serialize", lambda: emitter.serialize(node)), ("close", emitter.close),
                 ("dispose", emitter.dispose)]
        rng.shuffle(calls)
        for name, call in calls:
            refused_after_failed_init(label, name, call, "CEmitter")
        return
    loader = Loader(SAMPLE) if rng.random() < 0.6 else Loader.__new__(Loader)
    if rng.random() < 0.5:
        try:
            loader.get_event()
        except RuntimeError:
            pass   # never initialised
    label, stream = failing_parser_init(rng)
    try:
        _yaml.CParser.__init__(loader, stream)
    except Exception:
        pass
    else:
        raise Finding("CParser.__init__ with %s did not fail" % label)
    label = "a failed CParser.__init__ (%s)" % label
    names = [n for n in PARSER_METHODS if n != "__init__"]
    rng.shuffle(names)
    for name in names:
        refused_after_failed_init(label, name, getattr(loader, name), "CParser")


def _misuse(step):
    """Runs one call of a misuse sequence; its allowed refusals pass."""
    try:
        step()
    except Exception as exc:
        if not MISUSE.allows(exc):
            raise


def mode_dispose_misuse(rng, ctx):
    """Instances used after a failed __init__, before __init__, after
    dispose, re-initialised in the middle of a document, or driven through
    several levels at once."""
    after_failed_init(rng)
    data = make_input(rng, ctx.pool)
    loader = Loader.__new__(Loader) if rng.random() < 0.3 else Loader(data)
    for _ in range(rng.randrange(2, 10)):
        method = rng.choice(PARSER_METHODS)
        if method == "__init__":
            source = rng.choice([data, b"x: [1", SAMPLE, None, 5])
            _misuse(lambda: _yaml.CParser.__init__(loader, source))
        else:
            _misuse(getattr(loader, method))
    emitter = _yaml.CEmitter.__new__(Dumper) if rng.random() < 0.3 else Dumper(io.StringIO())
    graph = compose_all(SAMPLE)
    for _ in range(rng.randrange(2, 10)):
        step = rng.randrange(6)
        if step == 0:
            _misuse(emitter.dispose)
        elif step == 1:
            stream = rng.choice([OddWriter(rng), io.StringIO(), io.BytesIO()])
            _misuse(lambda: _yaml.CEmitter.__init__(emitter, stream))
        elif step == 2:
            event = rng.choice([ev.StreamStartEvent(), ev.StreamEndEvent(), ev.DocumentStartEvent(),
                                ev.DocumentEndEvent(), ev.ScalarEvent(None, None, (True, False), "x")])
            _misuse(lambda: emitter.emit(event))
        elif step == 3:
            _misuse(emitter.open)
        elif step == 4:
            node = rng.choice(graph)
            _misuse(lambda: emitter.serialize(node))
        else:
            _misuse(emitter.close)


def mode_oom(rng, ctx):
    """Allocations fail for a short window somewhere inside a module call."""
    data = SAMPLE if rng.random() < 0.5 else make_input(rng, ctx.pool)
    if isinstance(data, bytes) and len(data) > 20000:
        data = data[:20000]
    graph = compose_all(SAMPLE)
    events = parse_events(SAMPLE)
    job = rng.randrange(6)
    # Log-uniform, so the first few allocations of a call fail as often
    # as the later ones.
    start = int(2 ** rng.uniform(0, 12 if job < 4 else 10))
    stop = start + rng.choice([1, 1, 2, 5, 50])
    if _testcapi is None:
        return
    _testcapi.set_nomemory(start, stop)
    try:
        if job == 0:
            loader = Loader(data)
            while loader.get_token() is not None:
                pass
        elif job == 1:
            loader = Loader(data)
            while loader.get_event() is not None:
                pass
        elif job == 2:
            loader = Loader(data)
            while loader.check_node():
                loader.get_node()
        elif job == 3:
            Loader(OddStream(rng, data)).get_single_node()
        elif job == 4:
            emitter = _yaml.CEmitter(io.StringIO() if rng.random() < 0.5 else io.BytesIO())
            for event in events:
                emitter.emit(event)
        else:
            serialize_all(Dumper(io.StringIO()), graph)
    finally:
        _testcapi.remove_mem_hooks()
    ctx.check_healthy()
