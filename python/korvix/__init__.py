"""Python bindings of the Korvix Tesslin SDK (libKorvixSdk_Tesslin) over ctypes.

    import korvix
    print(korvix.cameras())
    with korvix.Camera(bits=16) as camera:
        camera.exposure = 500          # tenths of a millisecond
        frame = camera.snap()          # numpy array, uint16, (height, width)

The library is found by the loader (installed package) or at KORVIX_LIBRARY.
"""

from .camera import SETTINGS, Camera, DeviceEntry, Statistics, cameras
from .errors import *  # noqa: F401,F403 - the exception of every error code
from .errors import CODES, KorvixError, error_for

__all__ = ["Camera", "cameras", "DeviceEntry", "Statistics", "SETTINGS", "KorvixError",
           "CODES", "error_for"] + [name for name in dir() if name.startswith("Camera") and
                                    name.endswith("Error")]
