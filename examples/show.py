"""Shows what the extension makes of a YAML file.

Usage: python3 examples/show.py FILE
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

import yaml  # noqa: E402
from yaml import _yaml  # noqa: E402


def main(path):
    print("libyaml %s (%d.%d.%d)" % ((_yaml.get_version_string(),) + _yaml.get_version()))
    with open(path, "rb") as f:
        data = f.read()
    text = data.decode("utf-8")
    lines = text.split("\n")
    end = _yaml.Mark(path, len(data), len(lines) - 1, len(lines[-1]), None, None)
    print("end of input:%s (index %d)" % (end, end.index))


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip())
    main(sys.argv[1])
