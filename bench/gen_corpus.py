"""Deterministic benchmark corpora: the same seed and size give the same bytes.

Four kinds of YAML, each a few MB by default:

- config:  nested block mappings with mixed scalars, anchors, aliases
           (merge keys included) and literal/folded block scalars;
- records: one long block sequence of flat records;
- unicode: text-heavy records in many scripts, plain, double-quoted and
           block scalars;
- anchors: a graph where most nodes are anchored and later nodes refer back
           to earlier ones through aliases.

Every kind except `anchors` also gets a JSON twin holding the same data (what
composing the YAML gives, aliases expanded): `config.json`, `records.json`,
`unicode.json`. The anchor graph has none: expanding its shared nodes would
multiply its size.

Usage: python3 bench/gen_corpus.py OUTDIR [--size MB] [--seed N] [--kinds a,b]
"""

import argparse
import json
import os
import random
import sys

KINDS = ("config", "records", "unicode", "anchors")
DEFAULT_SEED = 20261210
DEFAULT_SIZE_MB = 4.0

WORDS = ("alpha beta gamma delta epsilon zeta eta theta iota kappa lambda mu nu xi "
         "omicron pi rho sigma tau upsilon phi chi psi omega server client cache "
         "index queue worker shard replica region zone bucket token session").split()

# Text in several scripts, with characters outside the BMP.
SCRIPTS = (
    "Ελληνικά κείμενα με τόνους και διαλυτικά ϊ ΰ",
    "Русский текст с буквами ё и й, а также знаки «кавычки»",
    "日本語のテキストとカタカナ、ひらがな、漢字の混在",
    "中文文本，包含标点符号和数字一二三",
    "한국어 텍스트와 공백이 섞인 문장",
    "עברית מימין לשמאל עם ניקוד",
    "العربية مع الحركات والأرقام ١٢٣",
    "हिन्दी पाठ देवनागरी लिपि में",
    "emoji 🙂🚀🌍 and symbols ∑∫√∞ ≠ ≤ ≥",
    "Français: élève, garçon, cœur, où, naïve",
)


def plain_ok(text):
    """True when `text` can be written as a plain scalar with the same value."""
    return (text != "" and all(c.isalnum() or c in "_-. " for c in text)
            and text[0].isalpha() and text[-1] != " " and "  " not in text
            and text.lower() not in ("null", "true", "false", "yes", "no", "on", "off", "y", "n"))


def scalar_text(value):
    """The YAML scalar for `value` whose composed value text is what
    `twin_text(value)` gives for the JSON twin."""
    if value is None:
        return "null"
    if value is True:
        return "true"
    if value is False:
        return "false"
    if isinstance(value, int):
        return str(value)
    if isinstance(value, float):
        return repr(value)
    if plain_ok(value):
        return value
    # A JSON string literal is a valid YAML double-quoted scalar.
    return json.dumps(value, ensure_ascii=False)


def twin_text(value):
    """The scalar value text libyaml reports for a JSON twin's value."""
    if value is None:
        return "null"
    if value is True:
        return "true"
    if value is False:
        return "false"
    if isinstance(value, float):
        return repr(value)
    return str(value)


class Writer:
    """Accumulates YAML lines and keeps count of the size."""

    def __init__(self):
        self.parts = []
        self.size = 0

    def line(self, text):
        self.parts.append(text)
        self.parts.append("\n")
        self.size += len(text.encode("utf-8")) + 1

    def text(self):
        return "".join(self.parts)


def block_scalar(w, indent, key, text, folded=False):
    """`key: |` (or `>`) with `text` as its lines; the value ends in one newline."""
    pad = " " * indent
    w.line("%s%s: %s" % (pad, key, ">" if folded else "|"))
    for line in text.split("\n"):
        w.line("%s  %s" % (pad, line))


def sentence(rng, n):
    return " ".join(rng.choice(WORDS) for _ in range(n))


def gen_config(rng, target):
    """Service definitions sharing anchored defaults."""
    w = Writer()
    data = {}
    defaults = {"timeout": 30, "retries": 3, "verbose": False, "ratio": 0.75, "mode": "standard"}
    w.line("defaults: &defaults")
    for k, v in defaults.items():
        w.line("  %s: %s" % (k, scalar_text(v)))
    data["defaults"] = defaults
    w.line("services:")
    services = {}
    data["services"] = services
    n = 0
    while w.size < target:
        n += 1
        name = "service_%05d" % n
        w.line("  %s:" % name)
        svc = {}
        # A merge key is composed as an ordinary pair whose value is the alias.
        w.line("    <<: *defaults")
        svc["<<"] = defaults
        fields = {
            "host": "%s.%s.example" % (rng.choice(WORDS), rng.choice(WORDS)),
            "port": rng.randrange(1024, 65535),
            "enabled": rng.random() < 0.8,
            "weight": round(rng.random() * 100, 3),
            "owner": None if rng.random() < 0.1 else sentence(rng, 2),
            "label": "%s: %s" % (rng.choice(WORDS), sentence(rng, 3)),
        }
        for k, v in fields.items():
            w.line("    %s: %s" % (k, scalar_text(v)))
            svc[k] = v
        tags = [rng.choice(WORDS) for _ in range(rng.randrange(1, 5))]
        w.line("    tags: [%s]" % ", ".join(tags))
        svc["tags"] = tags
        anchor = "limits_%05d" % n
        limits = {"cpu": rng.randrange(1, 64), "memory": "%dMi" % rng.randrange(64, 8192)}
        w.line("    limits: &%s" % anchor)
        for k, v in limits.items():
            w.line("      %s: %s" % (k, scalar_text(v)))
        svc["limits"] = limits
        w.line("    fallback_limits: *%s" % anchor)
        svc["fallback_limits"] = limits
        env = {"%s_%d" % (rng.choice(WORDS).upper(), i): sentence(rng, 1) for i in range(rng.randrange(1, 4))}
        w.line("    env:")
        for k, v in env.items():
            w.line("      %s: %s" % (k, scalar_text(v)))
        svc["env"] = env
        script = "\n".join("run %s --%s=%d" % (rng.choice(WORDS), rng.choice(WORDS), rng.randrange(100))
                           for _ in range(rng.randrange(1, 4))) + "\n"
        block_scalar(w, 4, "script", script.rstrip("\n"))
        svc["script"] = script
        folded_lines = [sentence(rng, 6) for _ in range(2)]
        block_scalar(w, 4, "notes", "\n".join(folded_lines), folded=True)
        svc["notes"] = " ".join(folded_lines) + "\n"
        services[name] = svc
    return w.text(), data


def gen_records(rng, target):
    w = Writer()
    records = []
    n = 0
    while w.size < target:
        n += 1
        rec = {
            "id": n,
            "name": "%s %s" % (rng.choice(WORDS).capitalize(), rng.choice(WORDS).capitalize()),
            "email": "%s.%d@example.org" % (rng.choice(WORDS), n),
            "active": rng.random() < 0.5,
            "score": round(rng.random() * 1000, 2),
            "group": rng.choice(WORDS),
            "created": "2024-%02d-%02dT%02d:%02d:00Z" % (rng.randrange(1, 13), rng.randrange(1, 29),
                                                         rng.randrange(24), rng.randrange(60)),
        }
        first = True
        for k, v in rec.items():
            w.line("%s %s: %s" % ("-" if first else " ", k, scalar_text(v)))
            first = False
        records.append(rec)
    return w.text(), records


def gen_unicode(rng, target):
    w = Writer()
    items = []
    n = 0
    while w.size < target:
        n += 1
        a, b = rng.choice(SCRIPTS), rng.choice(SCRIPTS)
        words = a.split()
        rng.shuffle(words)
        item = {"id": n, "title": " ".join(words[:4]), "quote": "%s «%d»" % (b, n)}
        w.line("- id: %d" % n)
        w.line("  title: %s" % scalar_text(item["title"]))
        w.line("  quote: %s" % json.dumps(item["quote"], ensure_ascii=False))
        body = "\n".join(rng.choice(SCRIPTS) for _ in range(3))
        block_scalar(w, 2, "body", body)
        item["body"] = body + "\n"
        items.append(item)
    return w.text(), items


def gen_anchors(rng, target):
    """Anchored nodes, each later one pointing back at up to three earlier ones."""
    w = Writer()
    w.line("nodes:")
    n = 0
    while w.size < target:
        w.line("  - &n%d" % n)
        w.line("    id: %d" % n)
        w.line("    name: %s" % sentence(rng, 2))
        w.line("    props: &p%d {weight: %d, kind: %s}" % (n, rng.randrange(100), rng.choice(WORDS)))
        if n:
            refs = sorted({rng.randrange(n) for _ in range(rng.randrange(1, 4))})
            w.line("    links: [%s]" % ", ".join("*n%d" % r for r in refs))
            w.line("    same_props: *p%d" % rng.randrange(n))
        n += 1
    return w.text(), None


GENERATORS = {"config": gen_config, "records": gen_records, "unicode": gen_unicode, "anchors": gen_anchors}


def generate(kind, size_mb=DEFAULT_SIZE_MB, seed=DEFAULT_SEED):
    """(yaml_text, data or None) for one kind; the same arguments give the same text."""
    # A per-kind stream, so selecting kinds never changes any one corpus.
    rng = random.Random("%d/%s" % (seed, kind))
    return GENERATORS[kind](rng, int(size_mb * 1024 * 1024))


def write_corpus(outdir, size_mb=DEFAULT_SIZE_MB, seed=DEFAULT_SEED, kinds=KINDS):
    """Writes KIND.yaml (and KIND.json) for every kind; returns the paths written."""
    os.makedirs(outdir, exist_ok=True)
    written = []
    for kind in kinds:
        text, data = generate(kind, size_mb, seed)
        path = os.path.join(outdir, kind + ".yaml")
        with open(path, "w", encoding="utf-8", newline="\n") as f:
            f.write(text)
        written.append(path)
        if data is not None:
            path = os.path.join(outdir, kind + ".json")
            with open(path, "w", encoding="utf-8", newline="\n") as f:
                json.dump(data, f, ensure_ascii=False, indent=1)
            written.append(path)
    return written


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("outdir")
    ap.add_argument("--size", type=float, default=DEFAULT_SIZE_MB, help="MB per corpus (default 4)")
    ap.add_argument("--seed", type=int, default=DEFAULT_SEED)
    ap.add_argument("--kinds", default=",".join(KINDS))
    args = ap.parse_args(argv)
    kinds = [k for k in args.kinds.split(",") if k]
    for k in kinds:
        if k not in GENERATORS:
            ap.error("unknown kind %r (known: %s)" % (k, ", ".join(KINDS)))
    for path in write_corpus(args.outdir, args.size, args.seed, kinds):
        print("%-40s %10d bytes" % (path, os.path.getsize(path)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
