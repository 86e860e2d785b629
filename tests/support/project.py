"""Where the project lives, and proof that the tests run against it."""

import importlib
import os
import unittest

REPO_ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.realpath(__file__))))

# The package's native modules; every test process proves all of them are ours.
NATIVE_MODULES = ("yaml._yaml", "yaml._speedups")


def inside_repo(path):
    """True when `path` resolves to a file inside this repository."""
    real = os.path.realpath(path)
    return os.path.commonpath([real, REPO_ROOT]) == REPO_ROOT


def own_modules():
    """`yaml` and its native modules, imported."""
    import yaml

    return [yaml] + [importlib.import_module(name) for name in NATIVE_MODULES]


def assert_own_package(testcase):
    """Fails unless `yaml` and its native modules are this project's own;
    returns `yaml` and `yaml._yaml`."""
    modules = own_modules()
    for module in modules:
        testcase.assertTrue(inside_repo(module.__file__),
                            "%s comes from %s, outside %s" % (module.__name__, module.__file__, REPO_ROOT))
    return modules[0], modules[1]


class OwnPackageTest(unittest.TestCase):
    """Base for test cases: every test module proves what it imported."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        for module in own_modules():
            if not inside_repo(module.__file__):
                raise AssertionError("not this project's module: %s" % module.__file__)
