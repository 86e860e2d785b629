"""Running the same tests over the native fast path and the Python
pipeline, as the interpreter's own tests run a C accelerator against its
Python twin.

    @both_pipelines
    class Loading(OwnPackageTest):
        def test_x(self): ...

leaves `Loading` running with the fast path allowed (`yaml._fast.enabled`
true) and adds `LoadingPython` beside it in the module, the same tests with
the Python pipeline forced. `self.native` tells a test which one it is.
"""

import sys
from contextlib import contextmanager

import yaml._fast as _fast


@contextmanager
def pipeline(native):
    """Runs the block with the fast path allowed (True) or forced off (False)."""
    saved = _fast.enabled
    _fast.enabled = native
    try:
        yield
    finally:
        _fast.enabled = saved


def _variant(cls, native, name):
    def setUp(self):
        saved = _fast.enabled
        _fast.enabled = native
        self.addCleanup(setattr, _fast, "enabled", saved)
        cls.setUp(self)

    return type(name, (cls,), {"native": native, "setUp": setUp,
                               "__module__": cls.__module__,
                               "__qualname__": name})


def both_pipelines(cls):
    """Class decorator: `cls` on the native path, plus its twin on the
    Python pipeline under the name `<cls>Python` in the same module."""
    python = _variant(cls, False, cls.__name__ + "Python")
    setattr(sys.modules[cls.__module__], python.__name__, python)
    return _variant(cls, True, cls.__name__)
