import numpy as np
import pytest

import korvix
from frame_stamp import frame_number
from korvix.camera import _frame_array, _unpad

COUNTER_CAMERA = 1  # conftest.py: the second simulated camera shows the counter scene


@pytest.mark.parametrize("bits,leave_by_break", [(8, False), (16, True)])
def test_frames_come_in_the_cameras_order_and_leaving_the_loop_stops_the_preview(
        bits, leave_by_break):
    with korvix.Camera(device=COUNTER_CAMERA, bits=bits) as camera:
        numbers = []
        for frame in camera.frames(count=None if leave_by_break else 10):
            # The stamp at the far corner, read back to front, is the frame's last row:
            # both ends of one frame carry the same number.
            assert frame_number(frame[::-1, ::-1]) == frame_number(frame)
            numbers.append(frame_number(frame))
            if leave_by_break and len(numbers) == 10:
                break
        assert len(numbers) == 10
        # Each frame once and in the camera's order. A consumer slower than the camera may
        # miss frames: how many is measured (bench_frames.py), not asserted.
        assert all(a < b for a, b in zip(numbers, numbers[1:])), numbers
        # The preview has stopped: a snapshot may be taken, and it is a later frame.
        assert frame_number(camera.snap()) > numbers[-1]


def library_layout(pixels, sample_bytes):
    """The bytes of a frame as the library lays it out: pixels in rows, the channels of a
    pixel in the array's order (blue, green, red, fourth), samples little-endian, each row
    padded to a multiple of 4 bytes. The padding is 0xEE, so padding left in an array shows."""
    rows = []
    for row in pixels:
        data = b"".join(int(value).to_bytes(sample_bytes, "little") for value in row.reshape(-1))
        rows.append(data + b"\xee" * (-len(data) % 4))
    return np.frombuffer(b"".join(rows), dtype=np.uint8).copy()


@pytest.mark.parametrize("bits,width,dtype,channels", [
    (8, 5, np.uint8, 1),     # rows of 5 bytes, padded to 8
    (16, 3, np.uint16, 1),   # 6 -> 8
    (24, 5, np.uint8, 3),    # BGR: 15 -> 16
    (32, 3, np.uint8, 4),    # BGRA: never padded
    (48, 3, np.uint16, 3),   # BGR of 16-bit samples: 18 -> 20
    (64, 1, np.uint16, 4),   # BGRA of 16-bit samples
])
def test_frame_buffers_become_gray_bgr_and_bgra_arrays(bits, width, dtype, channels):
    height = 3
    sample_bytes = np.dtype(dtype).itemsize
    # Every sample distinct and, at 16 bits, with both bytes in use: a swapped channel,
    # byte or row shows.
    pixels = (np.arange(height * width * channels).reshape(height, width, channels) *
              (0x0101 if sample_bytes == 2 else 1) + 7).astype(dtype)
    raw = library_layout(pixels, sample_bytes)

    array_dtype, shape, pitch = _frame_array(width, height, bits)
    assert pitch * height == raw.size
    array = _unpad(raw, array_dtype, shape, pitch)

    assert array.dtype == dtype
    assert array.shape == ((height, width) if channels == 1 else (height, width, channels))
    np.testing.assert_array_equal(array, pixels.reshape(array.shape))
