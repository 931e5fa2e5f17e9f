"""Shared fixtures: the build to test, program instances, and isolated folders in the prefix."""

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
