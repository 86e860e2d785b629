"""Seeded, time-bounded fuzzer for yaml._yaml (entry point: tools/fuzz.py).

Every case is numbered; case i of seed s draws all its choices from
random.Random("s:i") and runs one mode (i modulo the number of modes), so
`--seed s --case i` repeats it alone.  Cases run in batches inside a worker
process; a worker that dies (a signal, or a sanitizer report, which exits
non-zero) is a crash, and the case it was running is re-run on its own to
give a reproducer.

A finding is a crash, an exception that the mode's table of outcomes does
not allow (each mode names the exception classes, and for most of them the
messages, that its calls may end in), a SystemError (always a bug), a round
trip that changes the data, events that differ from libyaml's own reading,
a call that an instance must refuse but does not, or memory that keeps
growing while the same case repeats.  The exit status is 1 when there is a
finding, else 0.

The parts: host.py (the project's own package and the classes over it),
inputs.py (documents and their mutations), odd.py (objects that misbehave),
outcomes.py (allowed exceptions), modes/ (one module per group of modes,
the table in modes/__init__.py) and runner.py (cases, workers, reports).
"""
