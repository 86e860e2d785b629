"""The command-line tool behind `python3 -m yaml`.

Every command reads the files named on the command line, or standard input
when there are none (or for "-"), and writes its result to standard output.
Problems with an input are reported on standard error as
`file:line:column: problem`, lines and columns counted from 1; the exit
status is 0 when every input was fine, 1 when one was not, 2 for a usage
error.
"""

import argparse
import base64
import datetime
import json
import os
import sys

from . import compose_all, parse, safe_dump_all, safe_load_all, serialize_all
from .error import MarkedYAMLError, YAMLError
from .notation import event_line
from .reader import ReaderError

STDIN = "-"


class InputFailure(Exception):
    """One input cannot be processed; the message is ready to print."""


def _position(data, offset):
    """Line and column (from 1) of a byte offset into `data`."""
    offset = max(0, min(offset, len(data)))
    line_start = data.rfind(b"\n", 0, offset) + 1
    return data.count(b"\n", 0, offset) + 1, offset - line_start + 1


def describe(exc, name, data):
    """The `file:line:column: problem` text for an error raised on `data`."""
    if isinstance(exc, ReaderError):
        line, column = _position(data, exc.position)
        text = str(exc).split("\n", 1)[0]
        return "%s:%d:%d: %s" % (name, line, column, text)
    if isinstance(exc, MarkedYAMLError):
        mark = exc.problem_mark if exc.problem_mark is not None else exc.context_mark
        problem = exc.problem if exc.problem is not None else exc.context
        detail = ""
        if exc.context is not None and exc.problem is not None:
            detail = " (%s" % exc.context
            if exc.context_mark is not None and exc.context_mark is not mark:
                detail += " at line %d, column %d" % (exc.context_mark.line + 1,
                                                      exc.context_mark.column + 1)
            detail += ")"
        if mark is None:
            return "%s: %s%s" % (name, problem, detail)
        return "%s:%d:%d: %s%s" % (name, mark.line + 1, mark.column + 1, problem, detail)
    if isinstance(exc, MemoryError):
        return "%s: out of memory" % name
    return "%s: %s" % (name, exc)


def _read(path, stdin):
    if path == STDIN:
        return "<stdin>", stdin.read()
    try:
        with open(path, "rb") as f:
            return path, f.read()
    except OSError as exc:
        raise InputFailure("%s: cannot read: %s" % (path, exc.strerror or exc)) from None


def _emitter_options(args):
    options = {"indent": args.indent, "width": args.width, "canonical": args.canonical or None,
               "explicit_start": args.explicit_start or None,
               "allow_unicode": not args.ascii}
    return options


# --- commands ---------------------------------------------------------------

def cmd_validate(args, name, data, out):
    count = 0
    try:
        documents = (safe_load_all if args.load else compose_all)(data)
        for _ in documents:
            count += 1
    except (YAMLError, MemoryError, RecursionError) as exc:
        raise InputFailure(describe(exc, name, data)) from None
    if args.verbose:
        out.write("%s: ok, %d document%s\n" % (name, count, "" if count == 1 else "s"))


def _json_default(value):
    if isinstance(value, (datetime.date, datetime.datetime)):
        return value.isoformat()
    if isinstance(value, bytes):
        return base64.b64encode(value).decode("ascii")
    if isinstance(value, (set, frozenset)):
        try:
            return sorted(value)
        except TypeError:
            return list(value)
    raise TypeError("%s values have no JSON form" % type(value).__name__)


def cmd_to_json(args, name, data, out):
    try:
        for number, document in enumerate(safe_load_all(data), 1):
            try:
                text = json.dumps(document, indent=args.json_indent, ensure_ascii=args.ascii,
                                  allow_nan=False, default=_json_default)
            except (TypeError, ValueError, RecursionError) as exc:
                raise InputFailure("%s: document %d: cannot be written as JSON: %s"
                                   % (name, number, exc)) from None
            out.write(text + "\n")
    except (YAMLError, MemoryError, RecursionError) as exc:
        raise InputFailure(describe(exc, name, data)) from None


def _json_documents(name, data):
    """Every JSON text in `data`, one after another, whitespace between."""
    try:
        text = data.decode(json.detect_encoding(data))
    except UnicodeDecodeError as exc:
        raise InputFailure("%s: not a JSON text: %s" % (name, exc)) from None
    text = text.lstrip("\ufeff")
    decoder = json.JSONDecoder()
    documents, index = [], 0
    while True:
        while index < len(text) and text[index] in " \t\r\n":
            index += 1
        if index == len(text):
            return documents
        try:
            document, index = decoder.raw_decode(text, index)
        except json.JSONDecodeError as exc:
            raise InputFailure("%s:%d:%d: %s" % (name, exc.lineno, exc.colno, exc.msg)) from None
        except RecursionError:
            raise InputFailure("%s: JSON nested too deeply" % name) from None
        documents.append(document)


def cmd_from_json(args, name, data, out):
    documents = _json_documents(name, data)
    if not documents:
        return
    options = _emitter_options(args)
    if len(documents) > 1:
        options["explicit_start"] = True
    try:
        safe_dump_all(documents, out, default_flow_style=args.flow, sort_keys=args.sort_keys,
                 **options)
    except (YAMLError, RecursionError) as exc:
        raise InputFailure("%s: %s" % (name, exc)) from None


def cmd_events(args, name, data, out):
    try:
        for event in parse(data):
            out.write(event_line(event) + "\n")
    except (YAMLError, MemoryError) as exc:
        raise InputFailure(describe(exc, name, data)) from None


def cmd_normalize(args, name, data, out):
    # Node level: tags, anchors (renamed) and every scalar's text survive;
    # comments, styles and layout take the emitter's canonical choices.
    try:
        nodes = list(compose_all(data))
    except (YAMLError, MemoryError, RecursionError) as exc:
        raise InputFailure(describe(exc, name, data)) from None
    if not nodes:
        return
    options = _emitter_options(args)
    if len(nodes) > 1:
        options["explicit_start"] = True
    try:
        serialize_all(nodes, out, **options)
    except (YAMLError, RecursionError) as exc:
        raise InputFailure("%s: %s" % (name, exc)) from None


COMMANDS = {
    "validate": (cmd_validate, "check that each input is well-formed YAML", True),
    "to-json": (cmd_to_json, "load YAML and write each document as one JSON text", False),
    "from-json": (cmd_from_json, "read one or more JSON texts and write them as YAML", False),
    "events": (cmd_events, "print the event stream in the YAML test suite's notation", False),
    "normalize": (cmd_normalize, "write YAML again in a uniform layout (tags and anchors kept)", False),
}


def build_parser():
    parser = argparse.ArgumentParser(
        prog="python3 -m yaml",
        description="Validate, convert and inspect YAML with libyaml. Reads standard "
                    "input when no file is named; errors are reported as "
                    "file:line:column: problem.")
    commands = parser.add_subparsers(dest="command", metavar="COMMAND", required=True)
    for command, (_, text, many) in COMMANDS.items():
        aliases = ["normalise"] if command == "normalize" else []
        sub = commands.add_parser(command, help=text, description=text, aliases=aliases)
        sub.set_defaults(command=command)
        sub.add_argument("files", nargs="*" if many else "?", metavar="FILE",
                         help="input file(s); '-' or none for standard input")
        if command == "validate":
            sub.add_argument("--load", action="store_true",
                             help="also build the Python data (catches unknown tags and bad values)")
            sub.add_argument("-v", "--verbose", action="store_true",
                             help="print a line for every valid input too")
        if command == "to-json":
            sub.add_argument("--indent", dest="json_indent", type=int, default=None,
                             help="indent JSON by this many spaces (default: one line per document)")
            sub.add_argument("--ascii", action="store_true", help="escape non-ASCII characters")
        if command in ("from-json", "normalize"):
            sub.add_argument("--indent", type=int, default=None, help="indentation (2 to 9)")
            sub.add_argument("--width", type=int, default=None, help="preferred line width")
            sub.add_argument("--canonical", action="store_true", help="canonical YAML")
            sub.add_argument("--explicit-start", action="store_true", help="write '---' before every document")
            sub.add_argument("--ascii", action="store_true", help="escape non-ASCII characters")
        if command == "from-json":
            sub.add_argument("--flow", action="store_true", help="write collections in flow style")
            sub.add_argument("--sort-keys", action="store_true", help="sort mapping keys")
    return parser


def main(argv=None, stdin=None, stdout=None, stderr=None):
    stdin = stdin if stdin is not None else sys.stdin.buffer
    stdout = stdout if stdout is not None else sys.stdout
    stderr = stderr if stderr is not None else sys.stderr
    args = build_parser().parse_args(argv)
    handler = COMMANDS[args.command][0]
    files = args.files if isinstance(args.files, list) else [args.files]
    files = [f for f in files if f is not None] or [STDIN]
    status = 0
    try:
        for path in files:
            try:
                name, data = _read(path, stdin)
                handler(args, name, data, stdout)
            except InputFailure as failure:
                stdout.flush()
                stderr.write("%s\n" % failure)
                status = 1
        stdout.flush()
    except BrokenPipeError:
        # The reader went away (`| head`): stop quietly. Standard output is
        # pointed at the null device so the flush at exit cannot fail again.
        if stdout is sys.stdout:
            null = os.open(os.devnull, os.O_WRONLY)
            os.dup2(null, sys.stdout.fileno())
        return 1
    return status
