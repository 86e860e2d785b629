"""The project's own yaml package, and the classes the modes drive it with.

The package is looked up before it is imported: one from outside the
repository is never loaded.
"""

import importlib.util

from tests.support.hostnames import ERROR_NAMES, EVENT_NAMES, NODE_NAMES, TOKEN_NAMES
from tests.support.project import REPO_ROOT, inside_repo
from tests.support.roundtrip import read_documents, read_events


def _import_own_yaml():
    found = importlib.util.find_spec("yaml")
    if found is None or not found.origin or not inside_repo(found.origin):
        raise SystemExit("fuzz: no yaml package inside %s (found %s)"
                         % (REPO_ROOT, found and found.origin))
    import yaml
    import yaml._yaml
    for module in (yaml, yaml._yaml):
        if not inside_repo(module.__file__):
            raise SystemExit("fuzz: refusing %s from %s (outside %s)"
                             % (module.__name__, module.__file__, REPO_ROOT))
    return yaml


yaml = _import_own_yaml()
_yaml = yaml._yaml
import yaml.error  # noqa: E402
from yaml import events as ev  # noqa: E402,F401 (for the modes)
from yaml.resolver import Resolver  # noqa: E402

HOST_NAMES = ERROR_NAMES + TOKEN_NAMES + EVENT_NAMES + NODE_NAMES
TOKEN_CLASSES = [getattr(_yaml, n) for n in TOKEN_NAMES]
EVENT_CLASSES = [getattr(_yaml, n) for n in EVENT_NAMES]


class Loader(_yaml.CParser, Resolver):
    pass


class Dumper(_yaml.CEmitter, Resolver):
    pass


class Injected(Exception):
    """The fuzzer's own fault, raised from streams, hooks and host classes."""


class Finding(Exception):
    """An internal consistency failure found by a mode."""


SAMPLE = (b"%YAML 1.1\n%TAG !e! tag:e,2000:\n--- &a !e!t\nk: [1, *a, {x: !!str y}]\n? |\n  lit\n"
          b": >\n  fold\n...\n--- 'q'\n---\n- \"d\\x41\"\n- &b x\n- *b\n")


def parse_events(data):
    return read_events(Loader, data)


def compose_all(data):
    return read_documents(Loader, data)


def serialize_all(dumper, graphs):
    dumper.open()
    for node in graphs:
        dumper.serialize(node)
    dumper.close()
