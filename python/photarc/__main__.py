"""``python3 -m photarc``: the command line."""

import sys

from .cli import main

sys.exit(main())
