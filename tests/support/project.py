"""Where the project lives, and proof that the tests run against it.

The tests run in one of two modes:

- source tree (the default): `yaml` and its native modules must be files of
  this repository, its yaml/ folder or a staged build folder under it;
- installed copy (YAML_TEST_INSTALLED=1): they must be files that this
  interpreter's installation of the distribution recorded, listed in its
  RECORD with the same hash, so the source tree is refused as firmly as a
  copy from anywhere else. The tests are still read from this repository;
  the source tree is put at the end of sys.path so that it cannot shadow the
  installation.

A package that fails the check is refused before it is imported wherever the
check can run first (tests/__init__.py runs it before any test module).
"""

import base64
import functools
import hashlib
import importlib.machinery
import importlib.metadata
import importlib.util
import os
import sys
import tomllib
import unittest

REPO_ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.realpath(__file__))))

# The switch to installed-copy mode; any value but "" or "0" turns it on.
INSTALLED_SWITCH = "YAML_TEST_INSTALLED"

# Folders that hold installed packages: a file under one is never part of the
# source tree, even when the environment was made inside the repository.
_SITE_FOLDERS = ("site-packages", "dist-packages")


def installed_mode():
    """True when the tests must run against an installed copy."""
    return os.environ.get(INSTALLED_SWITCH, "") not in ("", "0")


def distribution_name():
    """The distribution name, as pyproject.toml declares it."""
    with open(os.path.join(REPO_ROOT, "pyproject.toml"), "rb") as f:
        return tomllib.load(f)["project"]["name"]


class Installation:
    """The files one installed distribution recorded, by real path."""

    def __init__(self, distribution):
        self.distribution = distribution
        self.records = {}
        for entry in distribution.files or ():
            self.records[os.path.realpath(distribution.locate_file(entry))] = entry

    def owns(self, path):
        """True when `path` is a recorded file whose content has the recorded hash."""
        real = os.path.realpath(path)
        entry = self.records.get(real)
        if entry is None or entry.hash is None or not os.path.isfile(real):
            return False
        with open(real, "rb") as f:
            digest = hashlib.new(entry.hash.mode, f.read()).digest()
        return base64.urlsafe_b64encode(digest).rstrip(b"=").decode("ascii") == entry.hash.value


@functools.lru_cache(maxsize=None)
def installation():
    """This interpreter's installation of the distribution; ImportError when there is none."""
    name = distribution_name()
    try:
        return Installation(importlib.metadata.distribution(name))
    except importlib.metadata.PackageNotFoundError:
        raise ImportError("%s=1 but the distribution %s is not installed for %s"
                          % (INSTALLED_SWITCH, name, sys.executable)) from None


def inside_repo(path):
    """True when `path` is a file of the package under test: in the source
    tree mode a file of this repository outside any installation, in the
    installed-copy mode a file the installation recorded, unchanged."""
    if installed_mode():
        try:
            return installation().owns(path)
        except ImportError:
            return False
    real = os.path.realpath(path)
    if os.path.commonpath([real, REPO_ROOT]) != REPO_ROOT:
        return False
    return not any(part in _SITE_FOLDERS for part in real.split(os.sep))


def _describe_expected():
    if installed_mode():
        try:
            dist = installation().distribution
        except ImportError as exc:
            return str(exc)
        return "the installed %s at %s" % (distribution_name(), dist.locate_file(""))
    return "the source tree %s" % REPO_ROOT


def check_origin(name):
    """Raises ImportError unless module `name` is the project's own; a module
    not imported yet is located without being run."""
    module = sys.modules.get(name)
    if module is not None:
        origin = getattr(module, "__file__", None)
    else:
        spec = importlib.util.find_spec(name)
        origin = spec.origin if spec is not None else None
    if not origin or not inside_repo(origin):
        raise ImportError("%s comes from %s, not from %s" % (name, origin, _describe_expected()))


# The native modules every build of the package has.
REQUIRED_NATIVE_MODULES = ("_yaml", "_speedups")


def native_module_names(package):
    """Names of the native modules in `package`'s folder built for this
    interpreter (builds for other interpreters may sit beside them)."""
    # Not resolved: a staged package folder links its Python modules to the
    # source tree but holds its own builds.
    folder = os.path.dirname(os.path.abspath(package.__file__))
    suffixes = sorted(importlib.machinery.EXTENSION_SUFFIXES, key=len, reverse=True)
    names = set()
    for entry in os.listdir(folder):
        suffix = next((s for s in suffixes if entry.endswith(s)), None)
        if suffix and entry[:-len(suffix)].isidentifier():
            names.add(entry[:-len(suffix)])
    return sorted(names)


def mapped_objects(stem):
    """Real paths of the shared objects mapped into this process whose file
    name starts with `stem` (e.g. "libyaml": the copy the extension loaded)."""
    with open("/proc/self/maps") as f:
        paths = {fields[5].strip() for fields in (line.split(None, 5) for line in f)
                 if len(fields) == 6}
    return sorted({os.path.realpath(p) for p in paths if os.path.basename(p).startswith(stem)})


def own_modules():
    """Imports `yaml` and every native module of it, each refused before it
    runs unless it is the project's own; returns them, `yaml` first."""
    check_origin("yaml")
    import yaml
    modules = [yaml]
    for name in native_module_names(yaml):
        check_origin("yaml." + name)
        modules.append(importlib.import_module("yaml." + name))
    return modules


def arrange_path():
    """In installed-copy mode, moves the source tree to the end of sys.path
    (test discovery and `python -m` from the root put it first), so that
    `import yaml` finds the installation; then refuses a foreign `yaml`."""
    if installed_mode():
        kept = [p for p in sys.path if os.path.realpath(p or os.curdir) != REPO_ROOT]
        sys.path[:] = kept + [REPO_ROOT]
    check_origin("yaml")


def assert_own_package(testcase):
    """Fails unless `yaml` and every native module are this project's own;
    returns `yaml` and `yaml._yaml`."""
    try:
        modules = own_modules()
    except ImportError as exc:
        testcase.fail(str(exc))
    for module in modules:
        testcase.assertTrue(inside_repo(module.__file__), module.__file__)
    yaml = modules[0]
    for name in REQUIRED_NATIVE_MODULES:
        testcase.assertIn(name, native_module_names(yaml))
    return yaml, yaml._yaml


class OwnPackageTest(unittest.TestCase):
    """Base for test cases: every test module proves what it imported."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        modules = own_modules()
        built = native_module_names(modules[0])
        for name in REQUIRED_NATIVE_MODULES:
            if name not in built:
                raise AssertionError("yaml.%s is not built in %s" % (name, os.path.dirname(modules[0].__file__)))
