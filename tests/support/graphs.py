"""Comparing node graphs: structure, tags, values and sharing."""

from yaml.nodes import MappingNode, ScalarNode, SequenceNode


def isomorphism_problem(left, right):
    """None when the two graphs match in structure, tags, values and
    sharing; else a description of the first mismatch."""
    forward, backward = {}, {}
    stack = [(left, right, "root")]
    while stack:
        a, b, path = stack.pop()
        if id(a) in forward or id(b) in backward:
            if forward.get(id(a)) is not b or backward.get(id(b)) is not a:
                return "%s: sharing differs" % path
            continue
        forward[id(a)], backward[id(b)] = b, a
        if type(a) is not type(b):
            return "%s: %s became %s" % (path, type(a).__name__, type(b).__name__)
        if a.tag != b.tag:
            return "%s: tag %r became %r" % (path, a.tag, b.tag)
        if type(a) is ScalarNode:
            if a.value != b.value:
                return "%s: value %.300r became %.300r" % (path, a.value, b.value)
            continue
        if len(a.value) != len(b.value):
            return "%s: %d items became %d" % (path, len(a.value), len(b.value))
        if type(a) is SequenceNode:
            for i, (x, y) in enumerate(zip(a.value, b.value)):
                stack.append((x, y, "%s[%d]" % (path, i)))
        elif type(a) is MappingNode:
            for i, ((ka, va), (kb, vb)) in enumerate(zip(a.value, b.value)):
                stack.append((ka, kb, "%s.key%d" % (path, i)))
                stack.append((va, vb, "%s.value%d" % (path, i)))
    return None
