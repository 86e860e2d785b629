"""The exceptions a mode's calls may end in without a finding.

Each mode has its own table: an exception class, and for most classes the
message it must carry, so a wrong exception type, or the right type for
another reason, is reported.  Anything a table does not list is a finding.
"""

import pickle
import re

from .host import Injected, yaml


class Outcomes:
    """Rules (exception class, message pattern or None for any message)."""

    def __init__(self, *rules):
        self.rules = tuple((cls, re.compile(pattern) if pattern else None) for cls, pattern in rules)

    def plus(self, *rules):
        more = Outcomes(*rules)
        out = Outcomes()
        out.rules = self.rules + more.rules
        return out

    def allows(self, exc):
        for cls, pattern in self.rules:
            if isinstance(exc, cls) and (pattern is None or pattern.search(str(exc))):
                return True
        return False


# Parsing plain text: the error family, memory, the nesting limit, str input
# holding lone surrogates (encoded before libyaml sees it), and the decoding
# of text libyaml hands over (tags with %-escapes of invalid UTF-8).
PARSE = Outcomes(
    (yaml.error.YAMLError, None),
    (MemoryError, None),
    (RecursionError, r"^maximum (nesting|recursion) depth exceeded"),
    (UnicodeEncodeError, r"surrogates not allowed"),
    (UnicodeDecodeError, None),
)

# A stream's own read: its fault, a read attribute that cannot be called, a
# result that is neither str nor bytes.
READ = PARSE.plus(
    (Injected, None),
    (TypeError, r"^(a string value is expected|'\w+' object is not callable)$"),
)

# Resolver methods that raise, or return objects that raise when compared.
RESOLVER = PARSE.plus((Injected, None))

# Host globals rebound to anything or deleted: whatever the stand-in does
# when called, looked up or pickled.
HOST_GLOBALS = PARSE.plus(
    (Injected, None),
    (NameError, r"^name '\w+' is not defined$"),
    (TypeError, None),
    (AttributeError, None),
    (pickle.PickleError, None),
)

# Odd attribute values and streams for the emitter and the serializer:
# conversions refused, the odd objects' own faults and lookups (KeyError
# from tag mappings that drop keys), mappings changing while iterated.
EMIT = PARSE.plus(
    (Injected, None),
    (TypeError, None),
    (OverflowError, r"^value too large to convert to int$"),
    (ValueError, r"^too many tags$"),
    (AttributeError, r"object has no attribute '\w+'$"),
    (IndexError, r"index out of range$"),
    (KeyError, None),
    (RuntimeError, r"^dictionary changed size during iteration$"),
)
# The serializer also unpacks mapping items, and looks up nodes that the
# graph gained between its two passes in its anchor table (KeyError).
SERIALIZE = EMIT.plus(
    (ValueError, r"^(too many values to unpack \(expected 2\)|need more than \d values? to unpack)$"),
)

# Position records built, restored and unpickled from odd values.
MARK = Outcomes(
    (TypeError, None),
    (OverflowError, r"(too large to convert|can't convert negative value)"),
    (IndexError, r"^tuple index out of range$"),
    (AttributeError, r"^This object has no __dict__$"),
    (pickle.PickleError, None),
)

NOT_INITIALISED = r"\.__init__ was not called or failed$"

# Calls in the wrong state: refused as not initialised, serializer states,
# bad input for __init__, the odd writer's faults, a byte stream that gets
# str chunks (re-initialised without an encoding), and the composer's
# documented failure when get_node and get_single_node run out of order
# and find an event that begins no node.
MISUSE = PARSE.plus(
    (Injected, None),
    (RuntimeError, NOT_INITIALISED),
    (TypeError, r"^(a string or stream input is required|a bytes-like object is required, not 'str')$"),
    (UnboundLocalError, r"^local variable 'node' referenced before assignment$"),
)

# Callbacks re-entering their own parser or emitter (refused inside the
# callback, which swallows the refusal), and the stream's faults.
REENTRY = PARSE.plus((Injected, None))

# Allocations failing for a window inside a call: memory, and the odd
# stream's own faults.
OOM = PARSE.plus(
    (Injected, None),
    (TypeError, r"^a string value is expected$"),
)
