"""The shared library through ctypes: where it is found, the prototypes of the functions
the package calls, the records it fills, and the one process-wide message handler."""

import ctypes
import os
import threading

WM_CAMERA_FRAME = 0x8002
WM_CAMERA_ERROR = 0x8003


class FrameInfo(ctypes.Structure):
    _fields_ = [("reserved", ctypes.c_int32), ("width", ctypes.c_int32),
                ("height", ctypes.c_int32), ("bitCount", ctypes.c_int32),
                ("frameRate10", ctypes.c_int32), ("padding", ctypes.c_int32),
                ("userBuffer", ctypes.c_void_p)]


class CameraInfo(ctypes.Structure):
    _fields_ = [("size", ctypes.c_int32), ("sensorWidth", ctypes.c_int32),
                ("sensorHeight", ctypes.c_int32), ("minGlobalGain", ctypes.c_int32),
                ("maxGlobalGain", ctypes.c_int32), ("minColorGain", ctypes.c_int32),
                ("maxColorGain", ctypes.c_int32), ("minExposure", ctypes.c_int32),
                ("maxExposure", ctypes.c_int32), ("reserved", ctypes.c_int32),
                ("minRealExposure", ctypes.c_double), ("maxRealExposure", ctypes.c_double)]


class StreamStatistics(ctypes.Structure):
    _fields_ = [("size", ctypes.c_int32), ("reserved", ctypes.c_int32),
                ("framesDelivered", ctypes.c_uint64), ("framesLost", ctypes.c_uint64),
                ("transferFailures", ctypes.c_uint64), ("restartPulses", ctypes.c_uint64),
                ("transferRateMBps", ctypes.c_double)]


MessageHandler = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_uint, ctypes.c_size_t,
                                  ctypes.c_ssize_t, ctypes.c_void_p)

_int, _ptr, _str, _dbl = ctypes.c_int, ctypes.c_void_p, ctypes.c_char_p, ctypes.c_double
_intp = ctypes.POINTER(ctypes.c_int)

# name: (result, argument types)
_PROTOTYPES = {
    "Korvix_Initialize": (_int, [_ptr]),
    "Korvix_Release": (_int, [_int]),
    "Korvix_GetLastError": (_int, [_int]),
    "Korvix_SetMessageHandler": (_int, [MessageHandler, _ptr]),
    "Korvix_EnumDevice": (_int, [_int, _ptr]),
    "Korvix_SetDeviceNumber": (_int, [_int, _int]),
    "Korvix_GetCameraInfo": (_int, [_int, ctypes.POINTER(CameraInfo)]),
    "Korvix_ReadSerialNumberA": (_int, [_int, _str, _int]),
    "Korvix_Width": (_int, [_int]),
    "Korvix_Height": (_int, [_int]),
    "Korvix_SetColorMode": (_int, [_int, _int]),
    "Korvix_GetColorMode": (_int, [_int]),
    "Korvix_SetSubSample": (_int, [_int, _int]),
    "Korvix_GetSubSample": (_int, [_int]),
    "Korvix_SetWaitTime": (_int, [_int, _int]),
    "Korvix_GetWaitTime": (_int, [_int]),
    "Korvix_SetCaptureWindowEx": (_int, [_int] + [_int] * 6),
    "Korvix_GetCaptureWindowEx": (_int, [_int] + [_intp] * 6),
    "Korvix_SetPreviewWindow": (_int, [_int, _ptr, _int, _int, _int, _int]),
    "Korvix_SnapShot": (_int, [_int, _ptr, _int, _int]),
    "Korvix_GetImage": (_int, [_int, _ptr, _int, _int]),
    "Korvix_CallBackPreview": (_int, [_int, _ptr, _ptr, _int, _int]),
    "Korvix_StopPreview": (_int, [_int]),
    "Korvix_GetFilterValue": (_int, [_int, _int, _intp]),
    "Korvix_SetFilterValue": (_int, [_int, _int, _int]),
    "Korvix_GetMirrorH": (_int, [_int]),
    "Korvix_SetMirrorH": (_int, [_int, _int]),
    "Korvix_GetMirrorV": (_int, [_int]),
    "Korvix_SetMirrorV": (_int, [_int, _int]),
    "Korvix_GetAutoIris": (_int, [_int, _intp]),
    "Korvix_SetAutoIris": (_int, [_int, _int]),
    "Korvix_GetExposureTimeEx": (_dbl, [_int, _intp]),
    "Korvix_SetExposureTimeEx": (_int, [_int, _dbl]),
    "Korvix_GetTemperatureEx": (_dbl, [_int, _intp]),
    "Korvix_SaveImage": (_int, [_int, _str, _int]),
    "Korvix_Record": (_int, [_int, _str, _int, _int]),
    "Korvix_LoadMaskFile": (_int, [_int, _str]),
    "Korvix_SaveMaskFile": (_int, [_int, _str]),
    "Korvix_UpdateMaskData": (_int, [_int, _int]),
    "Korvix_GetStreamStatistics": (_int, [_int, ctypes.POINTER(StreamStatistics)]),
    "Korvix_ResetStreamStatistics": (_int, [_int]),
    "Korvix_GetDataTimeout": (_int, [_int]),
    "Korvix_SetDataTimeout": (_int, [_int, _int]),
}


def _load():
    # KORVIX_LIBRARY names the file (a build tree's library, for example); otherwise the
    # loader's search finds the installed one.
    path = os.environ.get("KORVIX_LIBRARY") or "libKorvixSdk_Tesslin.so.2"
    library = ctypes.CDLL(path)  # CDLL: the GIL is released during every call
    for name, (result, arguments) in _PROTOTYPES.items():
        function = getattr(library, name)
        function.restype = result
        function.argtypes = arguments
    return library


lib = _load()


class _Messages:
    """Routes the library's window messages to the receivers registered per window value.
    The library calls the handler on a thread of its own; receivers run there."""

    def __init__(self):
        self._lock = threading.Lock()
        self._receivers = {}
        self._next_window = 0x4B580000
        self._handler = MessageHandler(self._dispatch)  # kept alive with this object
        lib.Korvix_SetMessageHandler(self._handler, None)

    def _dispatch(self, window, message, wparam, lparam, _context):
        with self._lock:
            receiver = self._receivers.get(window or 0)
        if receiver is not None:
            receiver(message, wparam, lparam)

    def register(self, receiver):
        """A fresh window value whose messages go to receiver(message, wparam, lparam)."""
        with self._lock:
            self._next_window += 1
            self._receivers[self._next_window] = receiver
            return self._next_window

    def unregister(self, window):
        with self._lock:
            self._receivers.pop(window, None)


_messages = None
_messages_lock = threading.Lock()


def messages():
    global _messages
    with _messages_lock:
        if _messages is None:
            _messages = _Messages()
        return _messages
