"""Undoing registrations a test makes on shared loader or dumper classes."""


def keep_table(testcase, cls, name):
    """After the test, gives `cls` back its table `name` as it is now (its
    own copy, or none so that it inherits again)."""
    own = cls.__dict__.get(name)
    saved = None if own is None else dict(own)

    def restore():
        if saved is not None:
            setattr(cls, name, saved)
        elif name in cls.__dict__:
            delattr(cls, name)
    testcase.addCleanup(restore)
