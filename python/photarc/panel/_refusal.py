"""What the panel answers when it does not do what a request asks: an HTTP status and
``{"error": {"result": R, "code": C, "text": "..."}}``."""

from __future__ import annotations

from typing import Any, Dict, Optional

# Failures the panel finds itself carry result 0 and an errno-style code, as the library does
# for a refused argument (22).
NOT_FROM_LIBRARY = 0
EACCES = 13
EBUSY = 16
EINVAL = 22


class Refusal(Exception):
    """An answer other than success; raised anywhere below the request handler."""

    def __init__(self, status: int, text: str, *, result: int = NOT_FROM_LIBRARY, code: int = EINVAL,
                 headers: Optional[Dict[str, str]] = None) -> None:
        super().__init__(text)
        self.status = status
        self.result = result
        self.code = code
        self.text = text
        self.headers = headers or {}

    def body(self) -> Dict[str, Any]:
        return {"error": {"result": self.result, "code": self.code, "text": self.text}}


def bad_input(text: str, status: int = 400) -> Refusal:
    """A request the panel cannot carry out as written; nothing reaches the device."""
    return Refusal(status, text)
