"""The page's files: our own beside this module, the charting library (dygraphs) from the copy
an installation put into vendor/, else from Debian's libjs-dygraphs."""

from __future__ import annotations

from pathlib import Path
from typing import Dict, Optional, Tuple

_HERE = Path(__file__).resolve().parent
_CHART_PLACES = (_HERE / "vendor", Path("/usr/share/javascript/dygraphs"))

# URL path -> (file name, content type, where to look)
_FILES = {
    "/": ("index.html", "text/html; charset=utf-8", (_HERE / "static",)),
    "/panel.js": ("panel.js", "text/javascript; charset=utf-8", (_HERE / "static",)),
    "/panel.css": ("panel.css", "text/css; charset=utf-8", (_HERE / "static",)),
    "/vendor/dygraph.min.js": ("dygraph.min.js", "text/javascript; charset=utf-8", _CHART_PLACES),
    "/vendor/dygraph.min.css": ("dygraph.min.css", "text/css; charset=utf-8", _CHART_PLACES),
}


def chart_library() -> Optional[Path]:
    """Where the charting library is found, or None."""
    return next((place for place in _CHART_PLACES if (place / "dygraph.min.js").is_file()), None)


class StaticFiles:
    """Read once, on first request; a file that is not there answers None."""

    def __init__(self) -> None:
        self._cache: Dict[str, Optional[Tuple[bytes, str]]] = {}

    def get(self, path: str) -> Optional[Tuple[bytes, str]]:
        if path not in _FILES:
            return None
        if path not in self._cache:
            name, content_type, places = _FILES[path]
            found = next((place / name for place in places if (place / name).is_file()), None)
            self._cache[path] = (found.read_bytes(), content_type) if found else None
        return self._cache[path]
