"""Shows what the extension makes of a YAML file, and writes it back.

Usage: python3 examples/show.py FILE

Prints the libyaml version, the file's event stream (one event a line, with
its start position), then composes the file into node graphs, serializes
them back to YAML, composes that text again and checks that both graphs
agree (structure, tags, values and shared nodes). Last it loads the file
as Python data, dumps that data and loads the dump again.
"""

import io
import os
import pprint
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

import yaml  # noqa: E402
from yaml import _yaml  # noqa: E402


def describe(event):
    name = type(event).__name__[:-len("Event")]
    details = []
    for attr in ("anchor", "tag", "value"):
        value = getattr(event, attr, None)
        if value is not None:
            details.append("%s=%r" % (attr, value))
    mark = event.start_mark
    return "%4d:%-3d %s %s" % (mark.line + 1, mark.column + 1, name, " ".join(details))


def compose_all(source):
    loader = yaml.Loader(source)
    documents = []
    while loader.check_node():
        documents.append(loader.get_node())
    return documents


def same_graph(a, b, seen):
    """True when two node graphs agree, sharing included."""
    if id(a) in seen:
        return seen[id(a)] is b
    seen[id(a)] = b
    if type(a) is not type(b) or a.tag != b.tag:
        return False
    if isinstance(a, yaml.nodes.ScalarNode):
        return a.value == b.value
    if len(a.value) != len(b.value):
        return False
    if isinstance(a, yaml.nodes.MappingNode):
        return all(same_graph(ka, kb, seen) and same_graph(va, vb, seen)
                   for (ka, va), (kb, vb) in zip(a.value, b.value))
    return all(same_graph(x, y, seen) for x, y in zip(a.value, b.value))


def main(path):
    print("libyaml %s" % _yaml.get_version_string())
    with open(path, "rb") as f:
        parser = yaml.Loader(f)
        print("events of %s:" % path)
        while True:
            event = parser.get_event()
            if event is None:
                break
            print("  " + describe(event))

    with open(path, "rb") as f:
        documents = compose_all(f)
    out = io.StringIO()
    dumper = yaml.Dumper(out, explicit_start=True)
    dumper.open()
    for document in documents:
        dumper.serialize(document)
    dumper.close()
    text = out.getvalue()
    print("written back:")
    print("  " + text.rstrip("\n").replace("\n", "\n  "))
    again = compose_all(text)
    ok = len(again) == len(documents) and all(
        same_graph(a, b, {}) for a, b in zip(documents, again))
    print("round trip: %s (%d document%s)" % ("ok" if ok else "MISMATCH", len(documents),
                                              "" if len(documents) == 1 else "s"))

    with open(path, "rb") as f:
        data = list(yaml.load_all(f))
    print("as Python data:")
    print("  " + pprint.pformat(data, sort_dicts=False).replace("\n", "\n  "))
    data_ok = list(yaml.load_all(yaml.dump_all(data))) == data
    print("data round trip: %s" % ("ok" if data_ok else "MISMATCH"))
    return 0 if ok and data_ok else 1


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip())
    sys.exit(main(sys.argv[1]))
