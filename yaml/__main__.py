"""python3 -m yaml: validate, convert and inspect YAML files."""

import sys

from .cli import main

sys.exit(main())
