"""How many of the camera's frames Camera.frames() hands to a Python loop: the simulated
camera's counter scene numbers every frame, so the gaps between the numbers the loop sees
are the frames it missed, and the numbers' rate is the camera's.

    KORVIX_LIBRARY=build/release/src/api/libKorvixSdk_Tesslin.so.2 \\
        python3 python/bench_frames.py --frames 500 --bits 8 [--sum]

Not a test (its figures depend on the machine and its load); see docs/performance.md.
"""

import argparse
import atexit
import os
import shutil
import sys
import tempfile
import time

# The library reads these once, when it loads: a counter-scene camera and a settings store
# and shared memory of this run's own, unless the caller chose others.
_store = tempfile.mkdtemp(prefix="korvix-bench-")
atexit.register(shutil.rmtree, _store, ignore_errors=True)
os.environ.setdefault("KORVIX_SIMULATE", "imx990:scene=counter")
os.environ.setdefault("KORVIX_REGISTRY", os.path.join(_store, "settings.sqlite"))
os.environ.setdefault("KORVIX_IPC_NAMESPACE", f"korvix-bench-{os.getpid()}")

_here = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [_here, os.path.join(_here, "tests")]
import numpy as np  # noqa: E402

import korvix  # noqa: E402
from frame_stamp import frame_number  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--frames", type=int, default=500, help="frames to measure")
    parser.add_argument("--bits", type=int, default=8, choices=(8, 16))
    parser.add_argument("--settle", type=int, default=10, help="frames taken before measuring")
    parser.add_argument("--sum", action="store_true", help="the loop sums every pixel")
    options = parser.parse_args()

    with korvix.Camera(bits=options.bits) as camera:
        numbers, arrivals, cpu = [], [], []
        for frame in camera.frames(count=options.settle + options.frames):
            arrivals.append(time.monotonic())
            cpu.append(time.process_time())
            numbers.append(frame_number(frame))
            if options.sum:
                int(frame.sum(dtype=np.uint64))
        height, width = frame.shape

    numbers, arrivals, cpu = (values[options.settle:] for values in (numbers, arrivals, cpu))
    seconds = arrivals[-1] - arrivals[0]
    made = numbers[-1] - numbers[0] + 1  # by the camera, from the first measured frame on
    steps = [b - a for a, b in zip(numbers, numbers[1:])]
    gaps = [step - 1 for step in steps if step > 1]
    print(f"{width} x {height}, {options.bits} bits, the loop "
          f"{'sums every pixel' if options.sum else 'reads the frame number only'}")
    print(f"camera: made {made} frames ({numbers[0]} to {numbers[-1]}) in {seconds:.2f} s, "
          f"{(made - 1) / seconds:.1f} fps")
    print(f"loop:   got {len(numbers)}, {(len(numbers) - 1) / seconds:.1f} fps; missed "
          f"{sum(gaps)} in {len(gaps)} gaps (largest {max(gaps, default=0)}); out of order or "
          f"repeated {sum(step < 1 for step in steps)}; process CPU "
          f"{(cpu[-1] - cpu[0]) * 1000 / (len(numbers) - 1):.2f} ms per frame")

if __name__ == "__main__":
    main()
