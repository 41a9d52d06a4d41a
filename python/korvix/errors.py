"""The library's error codes as exceptions: a failing call raises the exception named after
the code it recorded (CAMERR_OPEN raises CameraOpenError), all of them KorvixError."""

CODES = {
    1: "CAMERR_NOT_READY",
    2: "CAMERR_OPEN",
    3: "CAMERR_THREAD",
    4: "CAMERR_WINDOW",
    5: "CAMERR_MEMORY",
    6: "CAMERR_IO",
    7: "CAMERR_CAPTURE_WINDOW",
    8: "CAMERR_FRAME",
    9: "CAMERR_PARAMETER",
    11: "CAMERR_NOT_SUPPORTED",
    12: "CAMERR_FAILED",
    13: "CAMERR_DEVICE_LOST",
    14: "CAMERR_MASK_FILE",
}


class KorvixError(Exception):
    """A call the library refused. code is the error code it recorded (0 when it recorded
    none) and name its CAMERR_ name."""

    code = 0

    def __init__(self, action, code=None):
        if code is not None:
            self.code = code
        self.action = action
        self.name = CODES.get(self.code, "no code recorded")
        super().__init__(f"{action}: {self.name} ({self.code})")


def _class_name(code_name):
    # CAMERR_CAPTURE_WINDOW -> CameraCaptureWindowError
    words = code_name[len("CAMERR_"):].split("_")
    return "Camera" + "".join(word.capitalize() for word in words) + "Error"


_BY_CODE = {}
for _code, _name in CODES.items():
    _cls = type(_class_name(_name), (KorvixError,), {"code": _code, "__module__": "korvix"})
    _BY_CODE[_code] = _cls
    globals()[_cls.__name__] = _cls

__all__ = ["KorvixError", "CODES", "error_for"] + [cls.__name__ for cls in _BY_CODE.values()]


def error_for(code, action):
    """The exception for a recorded code; a plain KorvixError for codes without one."""
    cls = _BY_CODE.get(code)
    return cls(action) if cls else KorvixError(action, code)
