"""Modes over the emitter and the serializer: odd attribute values,
impostor classes, tag mappings changing under iteration, graphs changing
while written."""

from yaml.nodes import MappingNode, ScalarNode, SequenceNode

from ..host import EVENT_NAMES, Dumper, Resolver, _yaml, ev
from ..odd import (BadBool, NoWrite, OddWriter, Shifty, StrSub, UnhashableNode, odd_tags,
                   odd_value)
from .hosts import FaultyResolverDumper

def odd_event(rng):
    name = rng.choice(EVENT_NAMES + ["Other"])
    cls = getattr(ev, name, object)
    event = cls.__new__(cls)
    event.anchor = odd_value(rng, rng.choice([None, "a", b"b"]))
    event.tag = odd_value(rng, rng.choice([None, "!t", "tag:yaml.org,2002:str", b"!b"]))
    event.implicit = odd_value(rng, rng.choice([True, False, (True, False), (False, True), (True, True)]))
    event.value = odd_value(rng, rng.choice(["v", b"bv", "", "multi\nline"]))
    event.style = odd_value(rng, rng.choice([None, "", "'", '"', "|", ">", "x"]))
    event.flow_style = odd_value(rng, rng.choice([None, True, False]))
    event.explicit = odd_value(rng, rng.choice([None, True, False]))
    event.version = odd_value(rng, rng.choice([None, (1, 1), (1, 2), (2, 0), [1, 1]]))
    event.tags = odd_tags(rng)
    event.encoding = odd_value(rng, rng.choice([None, "utf-8", "utf-16-le", "utf-16-be"]))
    if rng.random() < 0.1:
        delattr(event, rng.choice(["anchor", "tag", "implicit", "value", "style", "flow_style",
                                   "explicit", "version", "tags", "encoding"]))
    return event


def plausible_events(rng):
    """A mostly valid event sequence with odd values here and there."""
    events = [ev.StreamStartEvent()]
    for _ in range(rng.randrange(1, 3)):
        events.append(ev.DocumentStartEvent(explicit=rng.random() < 0.5,
                                            version=rng.choice([None, (1, 1)]), tags=odd_tags(rng)))
        depth = 0
        for _ in range(rng.randrange(1, 12)):
            r = rng.random()
            if r < 0.2 and depth < 4:
                events.append(ev.SequenceStartEvent(None, None, True, flow_style=rng.random() < 0.5))
                depth += 1
            elif r < 0.3 and depth:
                events.append(ev.SequenceEndEvent())
                depth -= 1
            else:
                events.append(ev.ScalarEvent(rng.choice([None, "a"]), None, (True, False), "x"))
        events.extend(ev.SequenceEndEvent() for _ in range(depth))
        events.append(ev.DocumentEndEvent(explicit=rng.random() < 0.5))
    events.append(ev.StreamEndEvent())
    for _ in range(rng.randrange(0, 3)):
        events[rng.randrange(len(events))] = odd_event(rng)
    return events


def odd_emitter(rng):
    stream = rng.choice([OddWriter, OddWriter, OddWriter, NoWrite])(rng)
    opts = dict(canonical=odd_value(rng, rng.choice([None, True])),
                indent=odd_value(rng, rng.choice([None, 0, 1, 2, 10, -5, 2 ** 31, 1.9])),
                width=odd_value(rng, rng.choice([None, -1, 0, 5, 2 ** 40])),
                allow_unicode=odd_value(rng, rng.choice([None, True])),
                line_break=odd_value(rng, rng.choice([None, "\n", "\r", "\r\n", "x"])),
                encoding=odd_value(rng, rng.choice([None, "utf-8", "utf-16-le", "utf-16-be"])),
                explicit_start=odd_value(rng, rng.choice([None, True])),
                explicit_end=odd_value(rng, rng.choice([None, True])),
                version=odd_value(rng, rng.choice([None, (1, 1), (1, 2)])),
                tags=odd_tags(rng))
    cls = FaultyResolverDumper if rng.random() < 0.3 else Dumper
    if cls is FaultyResolverDumper:
        emitter = cls(stream, rng)
        _yaml.CEmitter.__init__(emitter, stream, *opts.values())
        return emitter
    return cls(stream, **opts)


SHIFTY_EVENT_VALUES = {
    "anchor": [None, "a", b"b", 1], "tag": [None, "!t", 2 ** 80], "value": ["v", None, b"b", StrSub("s")],
    "implicit": [(True, False), True, None, (1,), BadBool()], "style": [None, "'", "|", 7],
    "flow_style": [True, False, None, BadBool()], "explicit": [True, False, BadBool()],
    "version": [None, (1, 1), (1,), "11"],
    # Read again for the length, the iteration and each subscript: a long
    # iteration after a short length must not overrun the directive buffer.
    "tags": [None, {"!a!": "t:"}, {1: 2}, {"!h%d!" % i: "t:" for i in range(300)},
             {"!h%d!" % i: "t:" for i in range(128)}],
    "encoding": [None, "utf-8", 5],
}


def shifty_events(rng):
    names = ["StreamStartEvent"] + ["DocumentStartEvent", "ScalarEvent", "DocumentEndEvent"] * 2 \
        + ["StreamEndEvent"]
    return [Shifty(rng, getattr(ev, n), SHIFTY_EVENT_VALUES) if rng.random() < 0.5
            else getattr(ev, n).__new__(getattr(ev, n)) for n in names]


def mode_emit_odd_events(rng, ctx):
    emitter = odd_emitter(rng)
    r = rng.random()
    if r < 0.5:
        events = plausible_events(rng)
    elif r < 0.8:
        events = [odd_event(rng) for _ in range(rng.randrange(1, 6))]
    else:
        events = shifty_events(rng)
        for e in events:
            if type(e) is not Shifty:
                for k, v in SHIFTY_EVENT_VALUES.items():
                    setattr(e, k, v[0] if k != "implicit" else (True, False))
                e.value = "v"
    for event in events:
        emitter.emit(event)
        if rng.random() < 0.02:
            emitter.dispose()


def odd_graph(rng, depth=0, shared=None):
    shared = [] if shared is None else shared
    if shared and rng.random() < 0.1:
        return rng.choice(shared)
    kind = rng.randrange(3) if depth < 4 else 0
    tag = odd_value(rng, rng.choice(["tag:yaml.org,2002:str", "!t", None]))
    if kind == 0:
        node = ScalarNode(tag, odd_value(rng, rng.choice(["v", "", "x y", "é"])),
                          style=odd_value(rng, rng.choice([None, "", "'", '"', "|", ">"])))
    elif kind == 1:
        node = SequenceNode(tag, [], flow_style=odd_value(rng, rng.choice([None, True, False])))
        shared.append(node)
        node.value.extend(odd_graph(rng, depth + 1, shared) for _ in range(rng.randrange(4)))
    else:
        node = MappingNode(tag, [], flow_style=odd_value(rng, rng.choice([None, True, False])))
        shared.append(node)
        for _ in range(rng.randrange(3)):
            item = (odd_graph(rng, depth + 1, shared), odd_graph(rng, depth + 1, shared))
            r = rng.random()
            if r < 0.05:
                item = item + (item[0],)
            elif r < 0.1:
                item = item[:1]
            elif r < 0.15:
                item = list(item)
            elif r < 0.2:
                item = iter(item)
            node.value.append(item)
    if rng.random() < 0.05:
        node.value = odd_value(rng, node.value)
    if rng.random() < 0.03:
        node.__class__ = rng.choice([type("N", (ScalarNode,), {}), SequenceNode, MappingNode]) \
            if rng.random() < 0.2 else type(node)
    return node


class ChangingResolverDumper(Dumper):
    """Changes the graph while the serializer walks it."""

    def __init__(self, stream, rng, root):
        Dumper.__init__(self, stream)
        self.rng = rng
        self.root = root

    def resolve(self, kind, value, implicit):
        # One read of the root's value: an impostor root gives another
        # value at every read.
        items = self.root.value
        if self.rng.random() < 0.2 and isinstance(items, list):
            action = self.rng.randrange(3)
            if action == 0:
                items.clear()
            elif action == 1 and type(self.root) is SequenceNode:
                items.append(ScalarNode("!n", "new"))
                items.append(self.root)
            else:
                self.root.tag = None
        return Resolver.resolve(self, kind, value, implicit)


def shifty_graph(rng, depth=0):
    kind = rng.randrange(4) if depth < 3 else 0
    if kind == 0:
        return Shifty(rng, ScalarNode, {"tag": ["!t", None, 5], "value": ["v", None, b"x", StrSub("s")],
                                        "style": [None, "'", 3]})
    if kind == 1:
        return UnhashableNode("!t", "v")
    children = [shifty_graph(rng, depth + 1) for _ in range(rng.randrange(3))]
    if kind == 2:
        return Shifty(rng, SequenceNode, {"tag": ["!s", None], "flow_style": [True, None, BadBool()],
                                          "value": [children, iter(children), tuple(children),
                                                    None, "str", {1: 2}]})
    pairs = [(a, b) for a, b in zip(children, children[1:] + children[:1])]
    return Shifty(rng, MappingNode, {"tag": ["!m", None], "flow_style": [False, None],
                                     "value": [pairs, iter(pairs), [pairs[:1]] if pairs else [], None]})


def mode_serialize_odd_nodes(rng, ctx):
    root = odd_graph(rng) if rng.random() < 0.7 else shifty_graph(rng)
    if rng.random() < 0.05:
        deep = root = SequenceNode("s", [])
        for _ in range(rng.choice([1000, 100000])):
            child = SequenceNode("s", [])
            deep.value.append(child)
            deep = child
    if rng.random() < 0.3:
        dumper = ChangingResolverDumper(OddWriter(rng), rng, root)
    else:
        dumper = odd_emitter(rng)
    steps = rng.choice([["open", "serialize", "close"], ["serialize"], ["open", "open"],
                        ["open", "close", "serialize"], ["open", "serialize", "serialize", "close", "close"],
                        ["close"], ["open", "dispose", "serialize"]])
    for step in steps:
        if step == "serialize":
            dumper.serialize(root)
        else:
            getattr(dumper, step)()
