"""Reading the frame counter that the simulated camera's counter scene (KORVIX_SIMULATE
"imx990:scene=counter") stamps into its frames."""

import numpy as np


def frame_number(frame):
    """The camera's frame counter carried by a gray frame of the counter scene: one byte per
    sample from the top-left corner, least significant first; 16-bit samples hold the byte
    shifted left by 4 (12 significant bits)."""
    stamp = frame[0, :4].astype(np.uint32)
    if frame.dtype == np.uint16:
        stamp >>= 4
    return int(stamp[0] | stamp[1] << 8 | stamp[2] << 16 | stamp[3] << 24)
