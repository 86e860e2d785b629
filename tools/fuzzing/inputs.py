"""Inputs: generated documents, the corpus, and mutations of both."""

import os

WORDS = ["a", "key", "value", "null", "~", "true", "1.5", "0x1F", "-", "?", ":",
         "x y", "é", "日本", "😀", "", "#c", "'q'", '"dq"', "a: b", "[x]", "{k: v}"]


def gen_scalar(rng):
    word = rng.choice(WORDS)
    style = rng.randrange(6)
    if style == 0:
        return word if word and word[0] not in "-?:[{'\"#&*!|>%@`" and ": " not in word and " #" not in word else "w"
    if style == 1:
        return "'" + word.replace("'", "''") + "'"
    if style == 2:
        return '"' + word.replace("\\", "\\\\").replace('"', '\\"') + '\\t\\u00e9"'
    if style == 3:
        return "|\n  " + word + "\n  line2"
    if style == 4:
        return ">-\n  " + word + "\n  folded"
    return rng.choice(["~", "123", "-4.5e3", ".inf", "yes", "2001-12-14"])


def gen_node(rng, depth, indent, anchors):
    prefix = ""
    if rng.random() < 0.15:
        name = "a%d" % len(anchors)
        anchors.append(name)
        prefix += "&%s " % name
    if rng.random() < 0.1:
        prefix += rng.choice(["!!str ", "!local ", "!<tag:x,2000:y> ", "!e!z ", "! "])
    if anchors and rng.random() < 0.1:
        return "*" + rng.choice(anchors)
    kind = rng.randrange(5) if depth < 5 else 0
    pad = " " * indent
    if kind in (0, 1):
        scalar = gen_scalar(rng)
        if scalar.startswith(("|", ">")):
            scalar = scalar.replace("\n  ", "\n" + pad + "  ")
        return prefix + scalar
    if kind == 2:
        items = [gen_node(rng, depth + 1, indent, anchors).replace("\n", " ").strip() or "x"
                 for _ in range(rng.randrange(4))]
        items = [i if not i.startswith(("|", ">")) else "x" for i in items]
        if rng.random() < 0.5:
            return prefix + "[" + ", ".join(items) + "]"
        return prefix + "{" + ", ".join("k%d: %s" % (n, i) for n, i in enumerate(items)) + "}"
    lines = []
    for n in range(rng.randrange(1, 4)):
        child = gen_node(rng, depth + 1, indent + 2, anchors)
        if kind == 3:
            lines.append(pad + "- " + child)
        else:
            lines.append(pad + "k%d: %s" % (n, child))
    body = "\n".join(lines)
    if prefix:
        return prefix.rstrip() + "\n" + body
    return "\n" + body


def gen_document(rng):
    docs = []
    for n in range(rng.randrange(1, 4)):
        head = ""
        if rng.random() < 0.2:
            head += "%YAML 1.1\n"
        if rng.random() < 0.2:
            head += "%TAG !e! tag:example.com,2000:\n"
        explicit = head or n > 0 or rng.random() < 0.3
        node = gen_node(rng, 0, 0, [])
        text = head + ("---" if explicit else "") + ("" if node.startswith("\n") or not explicit else " ") + node
        if not explicit:
            text = text.lstrip("\n")
        docs.append(text + "\n" + ("...\n" if rng.random() < 0.3 else ""))
    return "".join(docs).encode("utf-8")


def load_corpus(directory):
    found = []
    if directory and os.path.isdir(directory):
        for root, _dirs, files in os.walk(directory):
            for name in ("in.yaml", "out.yaml", "emit.yaml"):
                if name in files:
                    with open(os.path.join(root, name), "rb") as handle:
                        found.append(handle.read())
    return found


INTERESTING = [b"\x00", b"\xff", b"\x80", b":", b"-", b"[", b"{", b"]", b"}", b"&", b"*",
               b"!", b"\n", b" ", b"\t", b"\"", b"'", b"|", b">", b"%", b"#", b"?", b",",
               b"\r", b"\\", b"...", b"---", b"\xef\xbb\xbf", b"\xe2\x80\xa8"]
BAD_UTF8 = [b"\xc3\x28", b"\xff", b"\xfe", b"\xed\xa0\x80", b"\xc0\xaf", b"\xf4\x90\x80\x80",
            b"\xe2\x82", b"\x80", b"\xf0\x9f\x98"]


def nested(rng):
    # libyaml's scanner is quadratic in the nesting of flow collections,
    # so past the composer's limit of 10000 a case only gets slower.
    n = rng.choice([50, 500, 5000, 12000])
    shape = rng.randrange(5)
    if shape == 0:
        return b"[" * n + b"x" + b"]" * n
    if shape == 1:
        return b"{a: " * n + b"b" + b"}" * n
    if shape == 2:
        n = min(n, 3000)
        return b"".join(b" " * i + b"- \n" for i in range(n)) + b" " * n + b"x\n"
    if shape == 3:
        n = min(n, 3000)
        return b"".join(b" " * i + b"k:\n" for i in range(n)) + b" " * n + b"v\n"
    return b"&a [" * min(n, 2000) + b"*a" + b"]" * min(n, 2000)


def long_item(rng):
    n = rng.choice([1000, 65536, 300000])
    kind = rng.randrange(6)
    if kind == 0:
        return b"&" + b"a" * n + b" x\n"
    if kind == 1:
        return b"!" + b"t" * n + b" x\n"
    if kind == 2:
        return b"!<" + b"tag:%41" * (n // 7) + b"> x\n"
    if kind == 3:
        return b'"' + b"\\u00e9" * (n // 6) + b'"\n'
    if kind == 4:
        return b"%TAG !" + b"h" * min(n, 5000) + b"! tag:x:\n--- !" + b"h" * min(n, 5000) + b"!s x\n"
    return b"k" * n + b": " + b"v" * n + b"\n"


def mutate(rng, data, pool):
    data = bytearray(data)
    for _ in range(rng.randrange(1, 4)):
        op = rng.randrange(12)
        pos = rng.randrange(len(data) + 1)
        if op == 0 and data:
            for _ in range(rng.randrange(1, 8)):
                data[rng.randrange(len(data))] ^= 1 << rng.randrange(8)
        elif op == 1:
            data[pos:pos] = rng.choice(INTERESTING)
        elif op == 2:
            del data[pos:]
        elif op == 3:
            other = rng.choice(pool)
            data[pos:] = other[rng.randrange(len(other) + 1):]
        elif op == 4:
            data[pos:pos] = nested(rng)
        elif op == 5:
            data[pos:pos] = long_item(rng)
        elif op == 6:
            data[pos:pos] = rng.choice(BAD_UTF8)
        elif op == 7:
            bom = rng.choice([b"\xef\xbb\xbf", b"\xff\xfe", b"\xfe\xff"])
            data[0 if rng.random() < 0.7 else pos:0 if rng.random() < 0.7 else pos] = bom
        elif op == 8:
            text = bytes(data).decode("utf-8", "replace")
            data = bytearray(text.encode(rng.choice(["utf-16-le", "utf-16-be", "utf-16"])))
        elif op == 9 and data:
            end = min(len(data), pos + rng.randrange(1, 64))
            data[pos:pos] = data[pos:end] * rng.randrange(2, 50)
        elif op == 10 and data:
            del data[pos:pos + rng.randrange(1, 16)]
        else:
            data[pos:pos] = rng.choice([b"\x1b", b"\x7f", b"\xc2\x85", b"\xef\xbf\xbf",
                                        b"\xf0\x90\x80\x80", b"\t", b"\r\n"])
    return bytes(data)


MAX_INPUT = 512 * 1024   # keeps a case to seconds under the sanitizers


def make_input(rng, pool):
    base = rng.choice(pool) if pool and rng.random() < 0.7 else gen_document(rng)
    if rng.random() < 0.8:
        base = mutate(rng, base, pool or [base])[:MAX_INPUT]
    if rng.random() < 0.3:
        text = base.decode("utf-8", "surrogateescape" if rng.random() < 0.2 else "replace")
        return text
    return base
