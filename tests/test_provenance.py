"""The guards that prove which `yaml` the tests run against.

Every other test module leans on tests/support/project.py: a guard that
accepts the wrong copy makes the whole suite vouch for code it never ran.
These tests build small fake installations and source trees and check that
the guard accepts exactly the project's own files, in both modes.
"""

import base64
import hashlib
import importlib.machinery
import importlib.metadata
import os
import pathlib
import sys
import tempfile
import unittest
from unittest import mock

from tests.support import project


def _record_hash(data):
    digest = hashlib.sha256(data).digest()
    return "sha256=" + base64.urlsafe_b64encode(digest).rstrip(b"=").decode("ascii")


class FakeSite:
    """A site folder holding one installed distribution of a few files."""

    def __init__(self, root, files, unhashed=()):
        self.root = root
        dist_info = os.path.join(root, "yaml_libyaml-0.1.0.dist-info")
        os.makedirs(dist_info)
        lines = []
        for name, data in files.items():
            path = os.path.join(root, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
            lines.append("%s,%s,%d" % (name, "" if name in unhashed else _record_hash(data), len(data)))
        lines.append("yaml_libyaml-0.1.0.dist-info/RECORD,,")
        with open(os.path.join(dist_info, "RECORD"), "w") as f:
            f.write("\n".join(lines) + "\n")
        with open(os.path.join(dist_info, "METADATA"), "w") as f:
            f.write("Metadata-Version: 2.4\nName: yaml-libyaml\nVersion: 0.1.0\n")
        self.installation = project.Installation(importlib.metadata.PathDistribution(
            pathlib.Path(dist_info)))

    def path(self, name):
        return os.path.join(self.root, name)


class InstallationTest(unittest.TestCase):

    def setUp(self):
        tmp = tempfile.TemporaryDirectory()
        self.addCleanup(tmp.cleanup)
        self.tmp = tmp.name
        self.site = FakeSite(os.path.join(self.tmp, "site-packages"), {
            "yaml/__init__.py": b"# package\n",
            "yaml/_yaml.so": b"\x7fELF native",
            "yaml/changed.py": b"original = 1\n",
            "yaml/bare.py": b"# no hash recorded\n",
        }, unhashed={"yaml/bare.py"})
        with open(self.site.path("yaml/changed.py"), "wb") as f:
            f.write(b"original = 2\n")
        with open(self.site.path("yaml/stray.py"), "wb") as f:
            f.write(b"# not in RECORD\n")
        os.symlink(self.site.path("yaml/__init__.py"), os.path.join(self.tmp, "link.py"))

    def test_owns_exactly_the_recorded_unchanged_files(self):
        cases = [
            (self.site.path("yaml/__init__.py"), True),
            (self.site.path("yaml/_yaml.so"), True),
            (os.path.join(self.tmp, "link.py"), True),  # resolved to a recorded file
            (self.site.path("yaml/changed.py"), False),  # content differs from RECORD
            (self.site.path("yaml/bare.py"), False),  # recorded without a hash
            (self.site.path("yaml/stray.py"), False),  # beside the files, not recorded
            (self.site.path("yaml/missing.py"), False),
            (os.path.join(project.REPO_ROOT, "yaml", "__init__.py"), False),  # the source tree
        ]
        for path, expected in cases:
            with self.subTest(path=os.path.relpath(path, self.tmp)):
                self.assertIs(self.site.installation.owns(path), expected)

    def test_installed_mode_decides_by_the_installation(self):
        with mock.patch.dict(os.environ, {project.INSTALLED_SWITCH: "1"}), \
                mock.patch.object(project, "installation", return_value=self.site.installation):
            self.assertTrue(project.inside_repo(self.site.path("yaml/__init__.py")))
            self.assertFalse(project.inside_repo(os.path.join(project.REPO_ROOT, "yaml", "__init__.py")))
            self.assertFalse(project.inside_repo(self.site.path("yaml/stray.py")))

    def test_installed_mode_without_an_installation_refuses_everything(self):
        missing = mock.Mock(side_effect=ImportError("not installed"))
        with mock.patch.dict(os.environ, {project.INSTALLED_SWITCH: "1"}), \
                mock.patch.object(project, "installation", missing):
            self.assertFalse(project.inside_repo(os.path.join(project.REPO_ROOT, "yaml", "__init__.py")))
            with self.assertRaisesRegex(ImportError, "not installed"):
                project.check_origin("yaml")


class SourceTreeModeTest(unittest.TestCase):

    def test_accepts_repository_files_outside_installations(self):
        root = project.REPO_ROOT
        cases = [
            (os.path.join(root, "yaml", "__init__.py"), True),
            (os.path.join(root, "build", "matrix", "py3.12.1", "stage", "yaml", "__init__.py"), True),
            (os.path.join(root, "build", "venv", "lib", "python3.12", "site-packages", "yaml",
                          "__init__.py"), False),
            (os.path.join(os.path.dirname(root), "elsewhere", "yaml", "__init__.py"), False),
            (os.path.join(sys.prefix, "lib", "site-packages", "yaml", "__init__.py"), False),
        ]
        with mock.patch.dict(os.environ, {project.INSTALLED_SWITCH: "0"}):
            for path, expected in cases:
                with self.subTest(path=path):
                    self.assertIs(project.inside_repo(path), expected)

    def test_switch_values(self):
        for value, expected in [("", False), ("0", False), ("1", True), ("yes", True)]:
            with self.subTest(value=value), mock.patch.dict(os.environ, {project.INSTALLED_SWITCH: value}):
                self.assertIs(project.installed_mode(), expected)


class GuardTest(unittest.TestCase):

    def setUp(self):
        tmp = tempfile.TemporaryDirectory()
        self.addCleanup(tmp.cleanup)
        self.tmp = tmp.name

    def test_foreign_module_is_refused_before_it_runs(self):
        marker = os.path.join(self.tmp, "ran")
        package = os.path.join(self.tmp, "provenance_probe")
        os.mkdir(package)
        with open(os.path.join(package, "__init__.py"), "w") as f:
            f.write("open(%r, 'w').close()\n" % marker)
        with mock.patch.object(sys, "path", [self.tmp] + sys.path):
            with self.assertRaisesRegex(ImportError, "provenance_probe comes from .*provenance_probe"):
                project.check_origin("provenance_probe")
        self.assertFalse(os.path.exists(marker))
        self.assertNotIn("provenance_probe", sys.modules)

    def test_missing_module_is_refused(self):
        with self.assertRaisesRegex(ImportError, "comes from None"):
            project.check_origin("provenance_probe_absent")

    def test_native_modules_are_the_builds_for_this_interpreter(self):
        # A staged package folder: its modules link to the source folder,
        # which holds no build for this interpreter; the builds are its own.
        source, package = os.path.join(self.tmp, "source"), os.path.join(self.tmp, "pkg")
        os.mkdir(source)
        os.mkdir(package)
        open(os.path.join(source, "__init__.py"), "w").close()
        os.symlink(os.path.join(source, "__init__.py"), os.path.join(package, "__init__.py"))
        own = importlib.machinery.EXTENSION_SUFFIXES[0]
        names = ["_yaml" + own, "_speedups" + own, "_yaml.cpython-399-x86_64-linux-gnu.so",
                 "bad-name" + own, "notes.txt", "_yaml.pyi"]
        for name in names:
            open(os.path.join(package, name), "w").close()
        fake = mock.Mock(__file__=os.path.join(package, "__init__.py"))
        self.assertEqual(project.native_module_names(fake), ["_speedups", "_yaml"])

    def test_installed_mode_puts_the_source_tree_last(self):
        elsewhere = os.path.join(self.tmp, "site-packages")
        path = [project.REPO_ROOT, elsewhere, project.REPO_ROOT + os.sep]
        with mock.patch.dict(os.environ, {project.INSTALLED_SWITCH: "1"}), \
                mock.patch.object(sys, "path", path), \
                mock.patch.object(project, "check_origin") as check:
            project.arrange_path()
            self.assertEqual(sys.path, [elsewhere, project.REPO_ROOT])
        check.assert_called_once_with("yaml")

    def test_the_suite_runs_against_the_mode_it_was_asked_for(self):
        modules = project.own_modules()
        self.assertIn("_yaml", project.native_module_names(modules[0]))
        source_package = os.path.join(project.REPO_ROOT, "yaml")
        for module in modules:
            with self.subTest(module=module.__name__):
                real = os.path.realpath(module.__file__)
                if project.installed_mode():
                    self.assertTrue(project.installation().owns(real), real)
                    self.assertNotEqual(os.path.dirname(real), source_package)
                else:
                    self.assertEqual(os.path.commonpath([real, project.REPO_ROOT]), project.REPO_ROOT)


if __name__ == "__main__":
    unittest.main()
