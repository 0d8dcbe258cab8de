#!/usr/bin/env python3
"""CTest entry of the network parity check (training/networks/test_parity.py): same arguments,
exit 77 when PyTorch is missing."""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "training", "networks"))

import test_parity  # noqa: E402

if __name__ == "__main__":
    sys.exit(test_parity.main())
