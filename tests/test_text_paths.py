"""Text crossing the libyaml seam on its short paths: values that are pure
ASCII, values with one non-ASCII character at any position (the ASCII test
looks at eight bytes at a time, then at the tail), NUL characters, the
shared implicit pairs and the shared standard tags. Each case goes both
ways: parsed into events and nodes, and emitted back."""

import io
import unittest

from tests.support.project import OwnPackageTest


def yaml_modules():
    import yaml
    import yaml._yaml

    return yaml, yaml._yaml


def scalar_events(source):
    """Every scalar event a CParser over `source` gives, in order."""
    yaml, _yaml = yaml_modules()
    parser = _yaml.CParser(source)
    out = []
    while True:
        event = parser.get_event()
        if event is None:
            return out
        if isinstance(event, yaml.events.ScalarEvent):
            out.append(event)


def values_with_one_wide_char():
    """ASCII strings of length 1..19 with 'é', '€' or an astral character
    at every position, plus the pure ASCII ones."""
    out = []
    for length in range(1, 20):
        base = "".join(chr(ord("a") + i % 26) for i in range(length))
        out.append(base)
        for pos in range(length):
            for wide in ("\u00e9", "\u20ac", "\U0001f600"):
                out.append(base[:pos] + wide + base[pos + 1:])
    return out


def dq(value):
    """A double-quoted YAML scalar for `value`."""
    return '"%s"' % "".join(c if c.isprintable() and c not in '"\\' else "\\x%02x" % ord(c)
                            if ord(c) < 0x80 else c for c in value)


class ParsedText(OwnPackageTest):
    def test_values_keys_and_anchors_decode_exactly(self):
        yaml, _yaml = yaml_modules()
        values = values_with_one_wide_char()
        doc = "".join("- {%s: %s}\n" % (dq(v), dq(v[::-1])) for v in values)
        got = [event.value for event in scalar_events(doc.encode("utf-8"))]
        expected = [x for v in values for x in (v, v[::-1])]
        self.assertEqual(got, expected)

        root = yaml.CLoader(doc).get_single_node()
        pairs = [item.value[0] for item in root.value]
        self.assertEqual([(k.value, v.value) for k, v in pairs], [(v, v[::-1]) for v in values])

    def test_plain_values_anchors_and_tokens(self):
        yaml, _yaml = yaml_modules()
        cases = ["a", "ab", "abcdefgh", "abcdefghi", "abcdefghijklmnop", "naïve", "x" * 7 + "é",
                 "é" + "x" * 8, "日本", "a\U0001f600b"]
        for value in cases:
            with self.subTest(value=value):
                doc = "&%s %s: *%s\n" % ("anc" + str(len(value)), value, "anc" + str(len(value)))
                tokens = []
                parser = _yaml.CParser(doc)
                while True:
                    token = parser.get_token()
                    if token is None:
                        break
                    tokens.append(token)
                scalars = [t.value for t in tokens if isinstance(t, yaml.tokens.ScalarToken)]
                self.assertEqual(scalars, [value])
                root = yaml.CLoader(doc).get_single_node()
                key, item = root.value[0]
                self.assertIs(key, item)  # the alias gives the anchored node
                self.assertEqual(key.value, value)

    def test_nul_and_empty_values(self):
        yaml, _yaml = yaml_modules()
        values = [event.value for event in scalar_events('- "a\\0b"\n- ""\n- "\\0"\n- "é\\0"\n')]
        self.assertEqual(values, ["a\0b", "", "\0", "é\0"])

    def test_implicit_pairs(self):
        yaml, _yaml = yaml_modules()
        # libyaml counts the non-specific "!" as plain for the implicit flags.
        doc = "- plain\n- 'quoted'\n- !!str tagged\n- ! bang\n"
        implicit = [event.implicit for event in scalar_events(doc)]
        self.assertEqual(implicit, [(True, False), (False, True), (False, False), (True, False)])
        for pair in implicit:
            self.assertIs(type(pair), tuple)

        seen = []

        class Recorder(yaml.CLoader):
            def resolve(self, kind, value, implicit):
                seen.append((value, implicit))
                return super().resolve(kind, value, implicit)

        Recorder(doc).get_single_node()
        self.assertEqual([s for s in seen if s[0] is not None],
                         [("plain", (True, False)), ("quoted", (False, True)), ("bang", (True, False))])

    def test_standard_tags_and_near_misses(self):
        yaml, _yaml = yaml_modules()
        tags = ["tag:yaml.org,2002:str", "tag:yaml.org,2002:map", "tag:yaml.org,2002:seq",
                "tag:yaml.org,2002:int", "tag:yaml.org,2002:float", "tag:yaml.org,2002:bool",
                "tag:yaml.org,2002:null", "tag:yaml.org,2002:timestamp", "tag:yaml.org,2002:binary",
                # Close to a standard tag, but not one.
                "tag:yaml.org,2002:strx", "tag:yaml.org,2002:st", "tag:yaml.org,2002:",
                "tag:yaml.org,2002:Str", "tag:yaml.org,2003:str", "tag:example.com,2002:str",
                "tag:yaml.org,2002:é"]
        # Verbatim tags; the last one URI-escaped, as a tag must be.
        doc = "".join("- !<%s> v\n" % t.replace("é", "%C3%A9") for t in tags)
        got = [event.tag for event in scalar_events(doc)]
        self.assertEqual(got, tags)
        root = yaml.CLoader(doc).get_single_node()
        self.assertEqual([n.tag for n in root.value], tags)
        self.assertEqual(root.tag, "tag:yaml.org,2002:seq")
        coll = yaml.CLoader("!!map {a: !!seq [b]}").get_single_node()
        self.assertEqual((coll.tag, coll.value[0][1].tag), ("tag:yaml.org,2002:map", "tag:yaml.org,2002:seq"))


class EmittedText(OwnPackageTest):
    def emit(self, events, **options):
        yaml, _yaml = yaml_modules()
        out = io.StringIO()
        emitter = _yaml.CEmitter(out, **options)
        for event in events:
            emitter.emit(event)
        return out.getvalue()

    def test_values_anchors_and_tags_round_trip(self):
        yaml, _yaml = yaml_modules()
        E = yaml.events
        values = values_with_one_wide_char() + ["a\0b", "\0", "x" * 9 + "\0", ""]
        for allow_unicode in (None, True):
            with self.subTest(allow_unicode=allow_unicode):
                events = [E.StreamStartEvent(), E.DocumentStartEvent(), E.SequenceStartEvent(None, None, True)]
                for i, v in enumerate(values):
                    anchor = "a%d" % i if i % 3 == 0 else None
                    tag = "tag:example.com,2000:t%d" % i if i % 5 == 0 else None
                    events.append(E.ScalarEvent(anchor, tag, (tag is None, tag is None), v,
                                                style='"' if i % 2 else None))
                events += [E.SequenceEndEvent(), E.DocumentEndEvent(), E.StreamEndEvent()]
                text = self.emit(events, allow_unicode=allow_unicode)
                back = [(event.anchor, event.tag, event.value) for event in scalar_events(text)]
                expected = [("a%d" % i if i % 3 == 0 else None,
                             "tag:example.com,2000:t%d" % i if i % 5 == 0 else None, v)
                            for i, v in enumerate(values)]
                self.assertEqual(back, expected)

    def test_unencodable_text_still_refused(self):
        yaml, _yaml = yaml_modules()
        E = yaml.events
        head = [E.StreamStartEvent(), E.DocumentStartEvent()]
        for field in ("value", "anchor", "tag"):
            with self.subTest(field=field):
                kwargs = {"anchor": None, "tag": None, "value": "ok"}
                kwargs[field] = "bad\ud800"
                event = E.ScalarEvent(kwargs["anchor"], kwargs["tag"], (True, True), kwargs["value"])
                out = io.StringIO()
                emitter = _yaml.CEmitter(out)
                for e in head:
                    emitter.emit(e)
                with self.assertRaises(UnicodeEncodeError):
                    emitter.emit(event)

    def test_serialized_graph_keeps_ascii_and_wide_text(self):
        yaml, _yaml = yaml_modules()
        values = ["plain", "x" * 17, "naïve", "\U0001f600" * 3, "tab\there"]
        doc = "".join("- %s\n" % dq(v) for v in values)
        graph = yaml.CLoader(doc).get_single_node()
        out = io.StringIO()
        dumper = yaml.Dumper(out, allow_unicode=True)
        dumper.open()
        dumper.serialize(graph)
        dumper.close()
        again = yaml.CLoader(out.getvalue()).get_single_node()
        self.assertEqual([n.value for n in again.value], values)

        raw = io.BytesIO()

        class Sink:
            def write(self, data):
                raw.write(data)

        dumper = yaml.Dumper(Sink(), encoding="utf-8", allow_unicode=True)
        dumper.open()
        dumper.serialize(graph)
        dumper.close()
        self.assertEqual(raw.getvalue().decode("utf-8"), out.getvalue())


if __name__ == "__main__":
    unittest.main()
