"""Where the project lives, and proof that the tests run against it."""

import os
import unittest

REPO_ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.realpath(__file__))))


def inside_repo(path):
    """True when `path` resolves to a file inside this repository."""
    real = os.path.realpath(path)
    return os.path.commonpath([real, REPO_ROOT]) == REPO_ROOT


def assert_own_package(testcase):
    """Fails unless `yaml` and `yaml._yaml` are this project's own."""
    import yaml
    import yaml._yaml

    for module in (yaml, yaml._yaml):
        testcase.assertTrue(inside_repo(module.__file__),
                            "%s comes from %s, outside %s" % (module.__name__, module.__file__, REPO_ROOT))
    return yaml, yaml._yaml


class OwnPackageTest(unittest.TestCase):
    """Base for test cases: every test module proves what it imported."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        import yaml
        import yaml._yaml

        for module in (yaml, yaml._yaml):
            if not inside_repo(module.__file__):
                raise AssertionError("not this project's module: %s" % module.__file__)
