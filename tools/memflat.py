"""Memory stays flat while a large YAML stream is read and a long stream of
documents is written.

A generator-backed file object produces the YAML on the fly (never held
whole) and the parser reads it through read(size) with get_event; then an
emitter writes many documents to a sink that only counts. The peak resident
size (VmHWM) is printed against the baseline taken before each phase; the
script fails when either phase raises it by more than --bound MiB.

    PYTHONPATH=.:. python3 -P tools/memflat.py --megabytes 200
"""

import argparse
import sys
import time

from tests.support.project import inside_repo

import yaml
import yaml._yaml as ext
from yaml.events import (DocumentEndEvent, DocumentStartEvent, MappingEndEvent,
                         MappingStartEvent, ScalarEvent, SequenceEndEvent,
                         SequenceStartEvent, StreamEndEvent, StreamStartEvent)


def status_kib(field):
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    raise RuntimeError("no %s in /proc/self/status" % field)


def reset_peak():
    """Resets VmHWM to the current size where the kernel allows it."""
    try:
        with open("/proc/self/clear_refs", "w") as f:
            f.write("5")
        return True
    except OSError:
        return False


class GeneratedStream:
    """read(size) over `total` bytes of YAML made record by record: a block
    sequence of mappings with plain, quoted, literal and flow values, split
    into documents."""

    def __init__(self, total):
        self.total = total
        self.produced = 0
        self.pending = b""
        self.record = 0

    def _next_record(self):
        i = self.record
        self.record += 1
        text = ("- id: %d\n"
                "  name: \"item %d \\u00e9\"\n"
                "  tags: [a%d, b, {k: v}]\n"
                "  anchor: &x%d value %d\n"
                "  alias: *x%d\n"
                "  text: |\n"
                "    line one of %d\n"
                "    line two\n" % (i, i, i % 97, i, i, i, i))
        if i % 1000 == 999:
            text += "---\n"
        return text.encode("utf-8")

    def read(self, size):
        while len(self.pending) < size and self.produced + len(self.pending) < self.total:
            self.pending += self._next_record()
        chunk, self.pending = self.pending[:size], self.pending[size:]
        self.produced += len(chunk)
        return chunk


class CountingSink:
    def __init__(self):
        self.written = 0

    def write(self, data):
        self.written += len(data)


def read_phase(megabytes):
    stream = GeneratedStream(megabytes * 1024 * 1024)
    parser = yaml.CLoader(stream)
    events = 0
    while parser.get_event() is not None:
        events += 1
    return events, stream.produced


def document_events(i):
    yield DocumentStartEvent(explicit=True)
    yield MappingStartEvent(None, None, True, flow_style=False)
    yield ScalarEvent(None, None, (True, False), "id")
    yield ScalarEvent(None, None, (True, False), str(i))
    yield ScalarEvent(None, None, (True, False), "items")
    yield SequenceStartEvent("s%d" % i, None, True, flow_style=True)
    for j in range(10):
        yield ScalarEvent(None, None, (False, True), "value %d \u00e9" % j, style='"')
    yield SequenceEndEvent()
    yield ScalarEvent(None, None, (True, False), "text")
    yield ScalarEvent(None, None, (False, True), "line one\nline two %d\n" % i, style="|")
    yield MappingEndEvent()
    yield DocumentEndEvent(explicit=False)


def write_phase(documents):
    sink = CountingSink()
    emitter = yaml.CDumper(sink, encoding="utf-8")
    emitter.emit(StreamStartEvent(encoding="utf-8"))
    for i in range(documents):
        for event in document_events(i):
            emitter.emit(event)
    emitter.emit(StreamEndEvent())
    return sink.written


def main():
    args = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    args.add_argument("--megabytes", type=int, default=200, help="size of the YAML stream read")
    args.add_argument("--documents", type=int, default=200000, help="documents emitted")
    args.add_argument("--bound", type=int, default=50, help="allowed peak growth per phase, MiB")
    opts = args.parse_args()
    for module in (yaml, ext):
        if not inside_repo(module.__file__):
            sys.exit("memflat: not this project's module: %s" % module.__file__)
    failed = False
    resets = reset_peak()
    for label, run in (("read %d MB with get_event" % opts.megabytes, lambda: read_phase(opts.megabytes)),
                       ("emit %d documents" % opts.documents, lambda: write_phase(opts.documents))):
        reset_peak()
        baseline = status_kib("VmRSS")
        before_peak = status_kib("VmHWM")
        start = time.monotonic()
        result = run()
        seconds = time.monotonic() - start
        peak = status_kib("VmHWM")
        grown = (peak - max(baseline, before_peak if not resets else baseline)) / 1024
        print("%-34s %s in %.0f s; RSS before %.1f MiB, peak %.1f MiB, growth %.1f MiB (bound %d)"
              % (label, result, seconds, baseline / 1024, peak / 1024, grown, opts.bound))
        if grown > opts.bound:
            failed = True
    print("memflat: %s" % ("memory grew past the bound" if failed else "flat"))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
