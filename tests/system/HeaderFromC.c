/* The public header must compile as plain C11 with the documented record layouts. */
#include <stddef.h>

#include "KorvixSdk_Tesslin.h"

_Static_assert(offsetof(KorvixFrameInfo, width) == 4, "width at 4");
_Static_assert(offsetof(KorvixFrameInfo, bitCount) == 12, "bit count at 12");
_Static_assert(offsetof(KorvixFrameInfo, frameRate10) == 16, "frame rate at 16");
_Static_assert(offsetof(KorvixFrameInfo, userBuffer) == 24, "buffer pointer at 24");
_Static_assert(offsetof(KorvixCameraInfo, maxExposure) == 32, "max exposure at 32");
_Static_assert(offsetof(KorvixCameraInfo, minRealExposure) == 40, "min real exposure at 40");
_Static_assert(sizeof(KorvixCameraInfo) == 56, "camera information is 56 bytes");

int KorvixVersionFromC(void) { return Korvix_GetDllVersion(); }
