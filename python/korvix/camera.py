"""Cameras: listing them, and a Camera object over one library session."""

import collections
import ctypes
import os
import queue
import time

import numpy as np

from . import errors
from ._native import (WM_CAMERA_FRAME, CameraInfo, FrameInfo, StreamStatistics, lib,
                      messages)

DeviceEntry = collections.namedtuple("DeviceEntry", "number name")
Statistics = collections.namedtuple(
    "Statistics", "frames_delivered frames_lost transfer_failures restart_pulses "
    "transfer_rate_mbps")

# Settings addressed by setting id: name -> (id, fixed range or None). The ranges of the
# gains and of the exposure come from the camera; None where the camera decides alone.
SETTING_IDS = {
    "brightness": (1, (-255, 255)),
    "contrast": (2, (-127, 127)),
    "hue": (3, (-360, 360)),
    "saturation": (4, (-255, 255)),
    "sharpness": (5, (0, 30)),
    "balance_rgb": (6, None),
    "balance_red": (7, (0, 400)),
    "balance_green": (8, (0, 400)),
    "balance_blue": (9, (0, 400)),
    "balance_auto": (10, (0, 1)),
    "gamma": (11, (0, 200)),
    "bayer_phase": (12, (0, 3)),
    "gain": (13, None),
    "gain_red": (14, None),
    "gain_green1": (15, None),
    "gain_green2": (16, None),
    "gain_blue": (17, None),
    "exposure": (18, None),
    "gray_mode": (19, (0, 2)),
    "gray_gain_r": (20, (0, 255)),
    "gray_gain_g1": (21, (0, 255)),
    "gray_gain_g2": (22, (0, 255)),
    "gray_gain_b": (23, (0, 255)),
    "gray_offset_r": (24, (-255, 255)),
    "gray_offset_g1": (25, (-255, 255)),
    "gray_offset_g2": (26, (-255, 255)),
    "gray_offset_b": (27, (-255, 255)),
    "cooler": (100, (0, 1)),
    "defect_correction": (102, (0, 1)),
    "mask_correction": (103, (0, 1)),
    "gain_mode": (104, None),
    "aux_switch": (105, (0, 1)),
    "black_level": (106, None),
}

# Settings with exports of their own: name -> (getter, setter, range).
_OWN_EXPORTS = {
    "mirror_h": ("Korvix_GetMirrorH", "Korvix_SetMirrorH", (0, 1)),
    "mirror_v": ("Korvix_GetMirrorV", "Korvix_SetMirrorV", (0, 1)),
    "auto_exposure": ("Korvix_GetAutoIris", "Korvix_SetAutoIris", (0, 2)),
}

SETTINGS = tuple(SETTING_IDS) + tuple(_OWN_EXPORTS)

# File types of Korvix_SaveImage by file name extension.
_FILE_TYPES = {".bmp": 0, ".raw": 1, ".jpg": 2, ".jpeg": 2, ".png": 5, ".tif": 6, ".tiff": 6}

# Bits per pixel -> (sample type, channels): gray, BGR or BGRA.
_PIXELS = {8: (np.uint8, 1), 16: (np.uint16, 1), 24: (np.uint8, 3), 32: (np.uint8, 4),
           48: (np.uint16, 3), 64: (np.uint16, 4)}

_TOP_ROW_FIRST = 1


def cameras():
    """The attached cameras (simulated ones when KORVIX_SIMULATE names them)."""
    handle = lib.Korvix_Initialize(None)
    if handle == 0:
        raise errors.CameraMemoryError("making a session")
    try:
        names = (ctypes.c_char * 256 * 10)()
        count = lib.Korvix_EnumDevice(handle, names)
        entries = []
        for row in names[:count]:
            name = row.value.decode()
            # "KorvixTesslin_NN" names device number NN - 1.
            entries.append(DeviceEntry(int(name.rsplit("_", 1)[1]) - 1, name))
        return entries
    finally:
        lib.Korvix_Release(handle)


def _frame_array(width, height, bits):
    dtype, channels = _PIXELS[bits]
    pitch = (width * bits // 8 + 3) & ~3
    shape = (height, width) if channels == 1 else (height, width, channels)
    return dtype, shape, pitch


class Camera:
    """One camera through one library session; a context manager.

    Every setting is a property by name (Camera.SETTINGS lists them; ranges() gives their
    limits). A call the library refuses raises the exception named after its error code.
    """

    SETTINGS = SETTINGS

    def __init__(self, device=None, bits=8):
        """Opens camera number `device` (the first when None) with `bits` per pixel."""
        self._handle = lib.Korvix_Initialize(None)
        if self._handle == 0:
            raise errors.CameraMemoryError("making a session")
        try:
            number = 0 if device is None else device
            self._check(lib.Korvix_SetDeviceNumber(self._handle, number),
                        f"opening camera {number}")
            # No window of the library's own: frames come to Python only.
            self._check(lib.Korvix_SetPreviewWindow(self._handle, None, 0, 0, 0, 0),
                        "turning the preview window off")
            self.bits = bits
        except BaseException:
            self.close()
            raise

    # ---- Life cycle ----
    def close(self):
        if self._handle:
            lib.Korvix_Release(self._handle)
            self._handle = 0

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    @property
    def handle(self):
        """The library handle, for calls of the C API this package does not wrap."""
        return self._handle

    def _check(self, result, action):
        if result == 0:
            raise errors.error_for(lib.Korvix_GetLastError(self._handle), action)
        return result

    # ---- Geometry and format ----
    @property
    def bits(self):
        """Bits per pixel of the frames: 8 or 16 gray, 24 BGR, 32 BGRA, 48 or 64 (16-bit
        samples)."""
        return lib.Korvix_GetColorMode(self._handle)

    @bits.setter
    def bits(self, value):
        self._check(lib.Korvix_SetColorMode(self._handle, value), f"choosing {value} bits")

    @property
    def sub_sample(self):
        return lib.Korvix_GetSubSample(self._handle)

    @sub_sample.setter
    def sub_sample(self, value):
        self._check(lib.Korvix_SetSubSample(self._handle, value), f"sub-sampling {value}")

    @property
    def window(self):
        """(x, y, width, height) of the capture window."""
        values = [ctypes.c_int() for _ in range(6)]
        lib.Korvix_GetCaptureWindowEx(self._handle, *[ctypes.byref(v) for v in values])
        _, x, width, _, y, height = (v.value for v in values)
        return x, y, width, height

    @window.setter
    def window(self, value):
        x, y, width, height = value
        info = self.info()
        self._check(lib.Korvix_SetCaptureWindowEx(self._handle, info.sensorWidth, x, width,
                                                   info.sensorHeight, y, height),
                    f"setting the capture window {value}")

    def frame_shape(self):
        """(dtype, shape, row pitch in bytes) of the frames the camera delivers now."""
        scale = 2 if self.sub_sample == 1 else 1
        return _frame_array(lib.Korvix_Width(self._handle) // scale,
                            lib.Korvix_Height(self._handle) // scale, self.bits)

    def info(self):
        """The camera's limits (KorvixCameraInfo)."""
        record = CameraInfo(size=ctypes.sizeof(CameraInfo))
        self._check(lib.Korvix_GetCameraInfo(self._handle, ctypes.byref(record)),
                    "reading the camera information")
        return record

    @property
    def serial(self):
        text = ctypes.create_string_buffer(32)
        self._check(lib.Korvix_ReadSerialNumberA(self._handle, text, len(text)),
                    "reading the serial number")
        return text.value.decode(errors="replace")

    # ---- Settings ----
    def ranges(self):
        """name -> (lowest, highest) of every setting whose limits are known."""
        info = self.info()
        limits = {name: limit for name, (_, limit) in SETTING_IDS.items() if limit}
        limits.update({name: limit for name, (_, _, limit) in _OWN_EXPORTS.items()})
        limits["gain"] = (info.minGlobalGain, info.maxGlobalGain)
        for channel in ("red", "green1", "green2", "blue"):
            limits["gain_" + channel] = (info.minColorGain, info.maxColorGain)
        limits["exposure"] = (info.minExposure, info.maxExposure)
        return limits

    def get(self, name):
        ok = ctypes.c_int(1)
        if name in _OWN_EXPORTS:
            getter = getattr(lib, _OWN_EXPORTS[name][0])
            if name == "auto_exposure":
                value = getter(self._handle, ctypes.byref(ok))
            else:
                # The mirror getters fail only without a device core, which an open Camera
                # always has.
                value = getter(self._handle)
        else:
            value = lib.Korvix_GetFilterValue(self._handle, SETTING_IDS[name][0], ctypes.byref(ok))
        self._check(ok.value, f"reading {name}")
        return value

    def set(self, name, value):
        if name in _OWN_EXPORTS:
            result = getattr(lib, _OWN_EXPORTS[name][1])(self._handle, int(value))
        else:
            result = lib.Korvix_SetFilterValue(self._handle, SETTING_IDS[name][0], int(value))
        self._check(result, f"setting {name} to {value}")

    @property
    def exposure_seconds(self):
        ok = ctypes.c_int()
        value = lib.Korvix_GetExposureTimeEx(self._handle, ctypes.byref(ok))
        self._check(ok.value, "reading the exposure")
        return value

    @exposure_seconds.setter
    def exposure_seconds(self, seconds):
        self._check(lib.Korvix_SetExposureTimeEx(self._handle, float(seconds)),
                    f"setting the exposure to {seconds} s")

    @property
    def temperature(self):
        ok = ctypes.c_int()
        value = lib.Korvix_GetTemperatureEx(self._handle, ctypes.byref(ok))
        self._check(ok.value, "reading the temperature")
        return value

    # ---- Frames ----
    def snap(self):
        """One frame now, as a numpy array: (height, width) for gray, (height, width, 3 or 4)
        for BGR or BGRA; uint8 or uint16 samples."""
        dtype, shape, pitch = self.frame_shape()
        raw = np.empty(pitch * shape[0], dtype=np.uint8)
        self._check(lib.Korvix_SnapShot(self._handle, raw.ctypes.data, raw.nbytes,
                                        _TOP_ROW_FIRST), "taking a snapshot")
        return _unpad(raw, dtype, shape, pitch)

    def frames(self, count=None, timeout=5.0, queued=4):
        """Frames of a callback preview as they come, each a new array as snap() returns;
        up to `count` frames (None: until the loop ends). The library copies each frame
        into a buffer of this iterator and announces it; while the announcement is being
        handled it copies no other frame there, so every array is one whole frame, and the
        frames come in the camera's order, none twice. A consumer slower than the camera
        misses frames: at most `queued` wait for it. Leaving the loop stops the preview. A
        setting that makes the frames larger while the loop runs ends it with
        CameraMemoryError."""
        waiting = queue.Queue()
        dtype, shape, pitch = self.frame_shape()
        buffer = np.empty(pitch * shape[0], dtype=np.uint8)

        def receive(message, wparam, lparam):
            if message != WM_CAMERA_FRAME:
                return
            if lparam != 0 or not wparam:
                waiting.put(errors.error_for(lparam, "receiving a frame"))
                return
            if waiting.qsize() >= queued:
                return
            frame = FrameInfo.from_address(wparam)
            dtype, shape, pitch = _frame_array(frame.width, frame.height, frame.bitCount)
            # A copy of its own: the buffer takes the next frame once this handler returns.
            waiting.put(_unpad(buffer[:pitch * shape[0]].copy(), dtype, shape, pitch))

        window = messages().register(receive)
        try:
            self._check(lib.Korvix_CallBackPreview(self._handle, window, buffer.ctypes.data,
                                                   buffer.nbytes, _TOP_ROW_FIRST),
                        "starting the preview")
            delivered = 0
            while count is None or delivered < count:
                try:
                    item = waiting.get(timeout=timeout)
                except queue.Empty:
                    raise errors.CameraFrameError(f"waiting {timeout} s for a frame") from None
                if isinstance(item, Exception):
                    raise item
                delivered += 1
                yield item
        finally:
            lib.Korvix_StopPreview(self._handle)
            messages().unregister(window)

    def save(self, file, file_type=None):
        """Saves the last frame (of snap() or frames()) to a file; the type from the
        extension (.bmp .raw .jpg .png .tif) unless file_type gives it."""
        if file_type is None:
            extension = os.path.splitext(str(file))[1].lower()
            if extension not in _FILE_TYPES:
                raise ValueError(f"no file type for the extension '{extension}'")
            file_type = _FILE_TYPES[extension]
        self._check(lib.Korvix_SaveImage(self._handle, os.fsencode(file), file_type),
                    f"saving {file}")

    def record(self, file, seconds, timeout=5.0):
        """Records an AVI file of `seconds` from the first recorded frame; returns when the
        file is complete."""
        done = queue.Queue()
        first = []

        def receive(message, wparam, lparam):
            if message != WM_CAMERA_FRAME:
                return
            if lparam != 0:
                done.put(errors.error_for(lparam, "recording"))
                return
            now = time.monotonic()
            if not first:
                first.append(now)
            # The recorder ends with the first frame after its time: one more frame after
            # that and the file holds all it will.
            if now - first[0] >= seconds:
                done.put(None)

        window = messages().register(receive)
        try:
            self._check(lib.Korvix_Record(self._handle, os.fsencode(file),
                                          int(seconds * 1000), 0), f"recording {file}")
            self._check(lib.Korvix_CallBackPreview(self._handle, window, None, 0, _TOP_ROW_FIRST),
                        "following the recording")
            ends = 0
            while ends < 2:
                try:
                    item = done.get(timeout=seconds + timeout)
                except queue.Empty:
                    raise errors.CameraFrameError(f"recording {file}: no frames") from None
                if isinstance(item, Exception):
                    raise item
                ends += 1
        finally:
            # Stopping the preview finishes the file.
            lib.Korvix_StopPreview(self._handle)
            messages().unregister(window)

    # ---- Defect mask ----
    def load_mask(self, file):
        self._check(lib.Korvix_LoadMaskFile(self._handle, os.fsencode(file)), f"loading {file}")

    def save_mask(self, file):
        self._check(lib.Korvix_SaveMaskFile(self._handle, os.fsencode(file)), f"saving {file}")

    def capture_mask_reference(self, which):
        """Takes the dark ("dark") or bright ("bright") reference of the defect mask: a
        full-sensor frame at 8 and at 16 bits; the window and format are restored after."""
        index = {"dark": 0, "bright": 1}[which]
        bits, window, sub_sample = self.bits, self.window, self.sub_sample
        info = self.info()
        try:
            self.sub_sample = 0
            self.window = (0, 0, info.sensorWidth, info.sensorHeight)
            for depth in (8, 16):
                self.bits = depth
                self._check(lib.Korvix_SnapShot(self._handle, None, 0, _TOP_ROW_FIRST),
                            f"taking the {which} frame at {depth} bits")
                self._check(lib.Korvix_UpdateMaskData(self._handle, index),
                            f"storing the {which} reference")
        finally:
            self.bits, self.sub_sample, self.window = bits, sub_sample, window

    # ---- Stream statistics ----
    def statistics(self):
        record = StreamStatistics(size=ctypes.sizeof(StreamStatistics))
        self._check(lib.Korvix_GetStreamStatistics(self._handle, ctypes.byref(record)),
                    "reading the stream statistics")
        return Statistics(record.framesDelivered, record.framesLost, record.transferFailures,
                          record.restartPulses, record.transferRateMBps)

    def reset_statistics(self):
        self._check(lib.Korvix_ResetStreamStatistics(self._handle), "resetting the statistics")

    @property
    def data_timeout(self):
        """Time limit of each frame's data transfer in ms; setting 0 gives the library's
        own back."""
        return self._check(lib.Korvix_GetDataTimeout(self._handle), "reading the data timeout")

    @data_timeout.setter
    def data_timeout(self, ms):
        self._check(lib.Korvix_SetDataTimeout(self._handle, ms), f"setting the data timeout {ms}")


def _unpad(raw, dtype, shape, pitch):
    # Rows are padded to 4 bytes; the array holds the pixels only.
    row_bytes = shape[1] * np.dtype(dtype).itemsize * (shape[2] if len(shape) == 3 else 1)
    rows = raw.reshape(shape[0], pitch)[:, :row_bytes]
    return np.ascontiguousarray(rows).view(dtype).reshape(shape)


def _setting_property(name):
    return property(lambda self: self.get(name), lambda self, value: self.set(name, value),
                    doc=f"The {name.replace('_', ' ')} setting.")


for _name in SETTINGS:
    setattr(Camera, _name, _setting_property(_name))
