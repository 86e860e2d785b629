"""The installed distribution: the files the wheel put in place, its metadata
and the libyaml the extension loaded.

These run against an installed copy only (YAML_TEST_INSTALLED=1, see
tests/support/project.py); against the source tree there is nothing installed
to look at.
"""

import glob
import importlib.machinery
import os
import re
import sys
import tomllib
import unittest

from tests.support import project
from tests.support.project import OwnPackageTest

# What pip writes into the dist-info folder besides what the wheel carries.
DIST_INFO_FILES = {"METADATA", "WHEEL", "RECORD", "INSTALLER", "REQUESTED", "direct_url.json"}


def _pyproject():
    with open(os.path.join(project.REPO_ROOT, "pyproject.toml"), "rb") as f:
        return tomllib.load(f)["project"]


def _source_package_files(pattern):
    return {os.path.basename(p) for p in glob.glob(os.path.join(project.REPO_ROOT, "yaml", pattern))}


@unittest.skipUnless(project.installed_mode(),
                     "runs against an installed copy (%s=1)" % project.INSTALLED_SWITCH)
class InstalledDistributionTest(OwnPackageTest):

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        import yaml
        cls.yaml = yaml
        cls.distribution = project.installation().distribution
        cls.files = sorted(str(f) for f in cls.distribution.files)
        stem = re.sub(r"[-_.]+", "_", cls.distribution.metadata["Name"])
        cls.dist_info = "%s-%s.dist-info" % (stem, cls.distribution.version)
        cls.libs = stem + ".libs"

    def test_files_are_the_package_and_nothing_else(self):
        modules = _source_package_files("*.py")
        stubs = _source_package_files("*.pyi")
        extension = importlib.machinery.EXTENSION_SUFFIXES[0]
        cache_tag = sys.implementation.cache_tag
        shipped_modules, shipped_stubs, unexpected = set(), set(), []
        for name in self.files:
            folder, base = os.path.split(name)
            if folder == "yaml" and base in modules:
                shipped_modules.add(base)
            elif folder == "yaml" and base in stubs:
                shipped_stubs.add(base)
            elif folder == "yaml" and (base == "py.typed" or (
                    base.endswith(extension) and base[:-len(extension)].isidentifier())):
                pass
            elif folder == "yaml/__pycache__" and re.fullmatch(
                    r"(\w+)\.%s(\.opt-\d)?\.pyc" % re.escape(cache_tag), base) \
                    and base.split(".")[0] + ".py" in modules:
                pass
            elif folder == self.dist_info and base in DIST_INFO_FILES:
                pass
            elif name in ("%s/licenses/LICENSE" % self.dist_info, self.libs + "/LICENSE.libyaml",
                          # auditwheel's record of what it grafted
                          "%s/sboms/auditwheel.cdx.json" % self.dist_info):
                pass
            elif folder == self.libs and re.fullmatch(r"libyaml-[\w.-]+\.so[.\d]*", base):
                pass
            else:
                unexpected.append(name)
        self.assertEqual(unexpected, [])
        self.assertEqual(shipped_modules, modules)
        self.assertEqual(shipped_stubs, stubs)
        self.assertIn("yaml/py.typed", self.files)
        self.assertIn("yaml/_yaml" + extension, self.files)

    def test_stubs_are_the_source_trees(self):
        # A type checker reads these, not the modules: a wheel built from an
        # older checkout would type programs against an API that moved on.
        stubs = sorted(_source_package_files("*.pyi"))
        self.assertIn("__init__.pyi", stubs)
        self.assertIn("_yaml.pyi", stubs)
        for base in stubs:
            with self.subTest(stub=base):
                installed = self.distribution.locate_file("yaml/" + base)
                with open(installed, "rb") as f:
                    shipped = f.read()
                with open(os.path.join(project.REPO_ROOT, "yaml", base), "rb") as f:
                    self.assertEqual(shipped, f.read())

    def test_metadata(self):
        declared = _pyproject()
        meta = self.distribution.metadata
        self.assertEqual(meta["Name"], declared["name"])
        self.assertEqual(meta["Version"], self.yaml.__version__)
        self.assertEqual(meta["License-Expression"], declared["license"])
        for licence in meta.get_all("License-File"):
            with self.subTest(licence=licence):
                self.assertIn("%s/licenses/%s" % (self.dist_info, licence), self.files)
        classifiers = meta.get_all("Classifier")
        self.assertIn("Programming Language :: Python :: %d.%d" % sys.version_info[:2], classifiers)
        self.assertIn("Typing :: Typed", classifiers)
        minimum = re.fullmatch(r">=(\d+)\.(\d+)", meta["Requires-Python"])
        self.assertIsNotNone(minimum, meta["Requires-Python"])
        self.assertGreaterEqual(sys.version_info[:2], tuple(int(g) for g in minimum.groups()))

    def test_libyaml_is_the_one_the_wheel_says(self):
        # A repaired wheel carries its own libyaml (with the licence beside
        # it) and must load that copy; a plain one links the system's.
        mapped = project.mapped_objects("libyaml")
        self.assertEqual(len(mapped), 1, mapped)
        bundled = [f for f in self.files if f.startswith(self.libs + "/libyaml")]
        if bundled:
            self.assertIn(self.libs + "/LICENSE.libyaml", self.files)
            self.assertEqual(mapped, [os.path.realpath(self.distribution.locate_file(bundled[0]))])
        else:
            self.assertNotIn(self.libs + "/LICENSE.libyaml", self.files)
            self.assertFalse(project.installation().owns(mapped[0]), mapped)


if __name__ == "__main__":
    unittest.main()
