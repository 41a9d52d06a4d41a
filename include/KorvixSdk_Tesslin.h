/*
 * Korvix Tesslin SDK: the C interface of libKorvixSdk_Tesslin (KorvixSdk_Tesslin.dll on
 * Windows) for the Korvix Tesslin short-wave-infrared USB 3.0 cameras.
 *
 * Every function except Korvix_Initialize, Korvix_GetDllVersion and
 * Korvix_SetMessageHandler takes as its first argument a camera handle returned by
 * Korvix_Initialize. Functions return 1 (or a value) on success and 0 on failure unless
 * documented otherwise; the reason of a failure is the newest code of Korvix_GetLastError.
 * An unknown or released handle makes a call return 0 (-1 for Korvix_GetColorMode,
 * Korvix_GetSubSample and Korvix_GetWaitTime) and records nothing.
 *
 * Usable from C and C++; every function may be called from any thread.
 */
#ifndef KORVIXSDK_TESSLIN_H
#define KORVIXSDK_TESSLIN_H

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#if defined(_WIN32)
#if defined(KORVIX_BUILDING_SDK)
#define KORVIX_API __declspec(dllexport)
#else
#define KORVIX_API __declspec(dllimport)
#endif
#define KORVIX_CALL __stdcall
#else
#define KORVIX_API __attribute__((visibility("default")))
#define KORVIX_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* A window handle: an HWND on Windows; on Linux an X11 window id (or any pointer-sized
 * value the application's message handler recognises) carried in a pointer. */
typedef void *KorvixWindow;

/* Error codes of Korvix_GetLastError (10 is not assigned). */
#define CAMERR_NONE 0            /* success marker pushed by a few reads and sets */
#define CAMERR_NOT_READY 1       /* no device, or not allowed in the acquisition mode */
#define CAMERR_OPEN 2            /* device absent or cannot be opened */
#define CAMERR_THREAD 3          /* a worker thread could not be created */
#define CAMERR_WINDOW 4          /* the preview window could not be created; no size preset */
#define CAMERR_MEMORY 5          /* allocation failed or a caller's buffer is too small */
#define CAMERR_IO 6              /* a register access or transfer start failed */
#define CAMERR_CAPTURE_WINDOW 7  /* the capture window is outside the sensor or refused */
#define CAMERR_FRAME 8           /* a frame could not be acquired */
#define CAMERR_PARAMETER 9       /* an argument is out of range or missing */
#define CAMERR_NOT_SUPPORTED 11  /* the camera or the library does not offer the function */
#define CAMERR_FAILED 12         /* text conversion or temperature read failed */
#define CAMERR_DEVICE_LOST 13    /* the device was lost during a preview */
#define CAMERR_MASK_FILE 14      /* a mask file could not be opened, read or written */

/* Window messages. WM_CAMERA_FRAME goes to the frame window of the callback modes with
 * wParam = address of a KorvixFrameInfo (or 0) and lParam = 0 or an error code;
 * WM_CAMERA_ERROR goes to the window given to Korvix_Initialize with wParam = 0 and
 * lParam = the error code. */
#define WM_CAMERA_FRAME 0x8002
#define WM_CAMERA_ERROR 0x8003

/* Sent by address with WM_CAMERA_FRAME. */
typedef struct KorvixFrameInfo {
    int32_t reserved;     /*  0: always 0 */
    int32_t width;        /*  4: width of the raw frame in pixels */
    int32_t height;       /*  8: height of the raw frame in pixels */
    int32_t bitCount;     /* 12: bits per pixel of the output: 8, 16, 24, 32, 48 or 64 */
    int32_t frameRate10;  /* 16: frames per second x 10 (preview); 0 in trigger mode */
    int32_t padding;      /* 20 */
    void *userBuffer;     /* 24: the buffer the frame was copied into, or NULL */
} KorvixFrameInfo;

/* Filled by Korvix_GetCameraInfo; the caller sets size (at least 36; 56 also fills the
 * real-exposure limits). */
typedef struct KorvixCameraInfo {
    int32_t size;             /*  0: size of the record in bytes, set by the caller */
    int32_t sensorWidth;      /*  4 */
    int32_t sensorHeight;     /*  8 */
    int32_t minGlobalGain;    /* 12 */
    int32_t maxGlobalGain;    /* 16 */
    int32_t minColorGain;     /* 20 */
    int32_t maxColorGain;     /* 24 */
    int32_t minExposure;      /* 28: device units */
    int32_t maxExposure;      /* 32: device units */
    int32_t reserved;         /* 36: not written */
    double minRealExposure;   /* 40: seconds; only when size >= 56 */
    double maxRealExposure;   /* 48: seconds; only when size >= 56 */
} KorvixCameraInfo;

/* ---- Handle and library ------------------------------------------------------------ */

/* Makes a camera session; notifyWindow (may be NULL) receives WM_CAMERA_ERROR.
 * Returns the handle, or 0 when no session could be made. */
KORVIX_API int KORVIX_CALL Korvix_Initialize(KorvixWindow notifyWindow);
/* Stops everything the session runs, saves its settings and frees it; 0 for an unknown
 * handle. */
KORVIX_API int KORVIX_CALL Korvix_Release(int handle);
/* Always 0x02160521. */
KORVIX_API int KORVIX_CALL Korvix_GetDllVersion(void);
/* Pops the newest error code of the session (codes come newest first, at most 20 are
 * kept); 0 when none is recorded or the handle is unknown. */
KORVIX_API int KORVIX_CALL Korvix_GetLastError(int handle);

/* Linux only: how window messages reach the application. The library calls `handler` on
 * one thread of its own, in posting order, with the window the message was posted to.
 * A NULL handler stops delivery; messages posted while no handler is set are dropped.
 * When the call returns, the previous handler is no longer running (unless the call was
 * made from inside it). Always returns 1. */
#if !defined(_WIN32)
typedef void (*KorvixMessageHandler)(void *window, unsigned int message, uintptr_t wParam,
                                     intptr_t lParam, void *context);
KORVIX_API int KORVIX_CALL Korvix_SetMessageHandler(KorvixMessageHandler handler, void *context);
#endif

/* ---- Device selection and identity ------------------------------------------------ */

/* Lists the attached cameras: names[k] becomes "KorvixTesslin_NN" with NN = k + 1 for
 * each present camera in device-number order (at most 10); the remaining entries become
 * empty strings. Returns the number of names written. */
KORVIX_API int KORVIX_CALL Korvix_EnumDevice(int handle, char names[10][256]);
/* Wide twin of Korvix_EnumDevice. */
KORVIX_API int KORVIX_CALL Korvix_EnumDeviceW(int handle, wchar_t names[10][256]);
/* Selects (opens) the camera with this device number (0 to 31) and writes the session's
 * cached settings to it; CAMERR_OPEN when it is absent or cannot be opened,
 * CAMERR_NOT_READY while a preview or trigger worker runs. */
KORVIX_API int KORVIX_CALL Korvix_SetDeviceNumber(int handle, int number);
/* "KorvixTesslin_NN" with NN = number + 1 for a present device number. size must hold the
 * whole name and its terminator (17 bytes), else CAMERR_PARAMETER and nothing is written;
 * CAMERR_OPEN for an absent device. */
KORVIX_API int KORVIX_CALL Korvix_GetDeviceName(int handle, int number, char *name, int size);
/* Wide twin; size in characters. Fails with the narrow lookup's code, or CAMERR_FAILED
 * when the name does not fit. */
KORVIX_API int KORVIX_CALL Korvix_GetDeviceNameW(int handle, int number, wchar_t *name, int size);
/* Fills the record up to offset 36 (CAMERR_MEMORY when info->size is below 36), and the
 * real-exposure limits too when info->size is 56 or more. */
KORVIX_API int KORVIX_CALL Korvix_GetCameraInfo(int handle, KorvixCameraInfo *info);
/* The identity text of the selected camera (at most 31 characters; empty when the camera
 * holds none); size must be at least 32 (else CAMERR_PARAMETER). Returns 0 without a code
 * when the identity memory cannot be read at all (out is left as it was). */
KORVIX_API int KORVIX_CALL Korvix_ReadSerialNumberA(int handle, char *out, int size);
/* Wide twin; size in characters; CAMERR_FAILED when the text does not fit. */
KORVIX_API int KORVIX_CALL Korvix_ReadSerialNumberW(int handle, wchar_t *out, int size);
/* One byte of the identity memory (address 0 to 0xFFF); stores 1 or 0 through ok (may be
 * NULL). A failure announces CAMERR_NOT_READY without recording it. */
KORVIX_API int KORVIX_CALL Korvix_ReadSromID(int handle, int address, int *ok);
/* Writes one byte of the identity memory and reads it back (up to 10 times, writing again
 * while it differs); 0 when it never reads back as written. A failure announces
 * CAMERR_NOT_READY without recording it. */
KORVIX_API int KORVIX_CALL Korvix_WriteSromID(int handle, int address, int value);
/* The capture window's effective width and height, before sub-sampling. */
KORVIX_API int KORVIX_CALL Korvix_Width(int handle);
KORVIX_API int KORVIX_CALL Korvix_Height(int handle);

/* ---- Functions this camera does not offer ------------------------------------------ */

/* Each returns 0 and announces CAMERR_NOT_SUPPORTED with WM_CAMERA_ERROR without recording
 * it (posted even when no notify window was given). Arguments after the handle, if an
 * application passes any, are ignored. */
KORVIX_API int KORVIX_CALL Korvix_Fps(int handle);
KORVIX_API int KORVIX_CALL Korvix_GetHalfClock(int handle);
KORVIX_API int KORVIX_CALL Korvix_SetHalfClock(int handle);
KORVIX_API int KORVIX_CALL Korvix_SetCrossbar(int handle);
/* Each records CAMERR_NOT_SUPPORTED; the text pair returns 0, the filter pair -1. */
KORVIX_API int KORVIX_CALL Korvix_ReceiveText(int handle);
KORVIX_API int KORVIX_CALL Korvix_SendText(int handle);
KORVIX_API int KORVIX_CALL Korvix_GetConfigFilter(int handle);
KORVIX_API int KORVIX_CALL Korvix_SetConfigFilter(int handle);

#ifdef __cplusplus
}
#endif

#endif /* KORVIXSDK_TESSLIN_H */
