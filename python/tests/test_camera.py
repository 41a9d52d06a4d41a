import ctypes

import numpy as np
import pytest

import korvix
from korvix._native import lib


def c_api_image(camera, width, height, bits):
    """The last frame through the C API's own buffer, rows padded to 4 bytes."""
    pitch = (width * bits // 8 + 3) & ~3
    buffer = (ctypes.c_ubyte * (pitch * height))()
    assert lib.Korvix_GetImage(camera.handle, buffer, len(buffer), 1) == 1
    return bytes(buffer), pitch


@pytest.mark.parametrize("bits,dtype", [(8, np.uint8), (16, np.uint16)])
def test_snapshot_is_the_c_api_buffer_byte_for_byte(bits, dtype):
    # The simulated IMX990 is monochrome: gray frames of whole sensor rows.
    with korvix.Camera(bits=bits) as camera:
        camera.sub_sample = 1
        frame = camera.snap()
        assert frame.dtype == dtype and frame.shape == (512, 640)
        raw, pitch = c_api_image(camera, 640, 512, bits)
        assert pitch == frame[0].nbytes and raw == frame.tobytes()
        camera.sub_sample = 0


def test_frames_arrive_whole_and_the_preview_stops_with_the_loop():
    with korvix.Camera(bits=8) as camera:
        camera.reset_statistics()
        frames = list(camera.frames(count=5))
        assert len(frames) == 5
        assert all(frame.shape == (1024, 1280) and frame.any() for frame in frames)
        # Arrays of their own: a later frame does not change an earlier one.
        assert len({frame.ctypes.data for frame in frames}) == 5
        # The simulated sensor's noise differs in every frame: no frame comes twice.
        assert not any(np.array_equal(a, b) for a, b in zip(frames, frames[1:]))
        delivered = camera.statistics().frames_delivered
        assert delivered >= 5
        # The loop's end stopped the preview: a snapshot may be taken, and the camera
        # sends only that frame.
        camera.snap()
        assert camera.statistics().frames_delivered == delivered + 1


def test_settings_by_name_with_the_camera_ranges():
    with korvix.Camera() as camera:
        ranges = camera.ranges()
        low, high = ranges["exposure"]
        assert 0 < low < high
        camera.exposure = low
        assert camera.exposure == low
        for name, value in (("brightness", -255), ("mirror_h", 1), ("gamma", 150)):
            setattr(camera, name, value)
            assert getattr(camera, name) == value
            setattr(camera, name, {"brightness": 0, "mirror_h": 0, "gamma": 100}[name])
        with pytest.raises(korvix.CameraParameterError) as refused:
            camera.brightness = 256
        assert refused.value.code == 9 and refused.value.name == "CAMERR_PARAMETER"
        assert set(korvix.SETTINGS) <= set(dir(camera))


def test_a_missing_camera_raises_the_open_error():
    with pytest.raises(korvix.CameraOpenError):
        korvix.Camera(device=3)
    assert issubclass(korvix.CameraOpenError, korvix.KorvixError)


def test_files_mask_and_statistics(tmp_path):
    with korvix.Camera(bits=16) as camera:
        camera.snap()
        camera.save(tmp_path / "frame.png")
        assert (tmp_path / "frame.png").read_bytes()[:4] == b"\x89PNG"
        camera.capture_mask_reference("dark")
        camera.save_mask(tmp_path / "mask.msk")
        assert (tmp_path / "mask.msk").stat().st_size == 7864360
        camera.load_mask(tmp_path / "mask.msk")
        camera.record(tmp_path / "run.avi", seconds=0.3)
        assert (tmp_path / "run.avi").read_bytes()[:4] == b"RIFF"
        camera.data_timeout = 2500
        assert camera.data_timeout == 2500
        stats = camera.statistics()
        assert stats.frames_delivered > 0 and stats.transfer_failures == 0


def test_cameras_lists_the_simulated_ones():
    assert [entry.number for entry in korvix.cameras()] == [0, 1]
