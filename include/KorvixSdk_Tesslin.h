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

/* ---- Acquisition ------------------------------------------------------------------ */

/* Acquisition modes: idle, capture (Korvix_Capture, then Korvix_SnapShot hands out single
 * frames), preview (a library thread takes every frame; Korvix_Preview, Korvix_StartPreview,
 * Korvix_CallBackPreview) and trigger (a library thread waits for externally triggered
 * frames; Korvix_Trigger). Korvix_StopPreview and Korvix_Close return to idle. Frames are
 * delivered in the colour mode (Korvix_SetColorMode) as bottom-up or top-down rows
 * (rowOrder 0: last row first, as a Windows DIB; not 0: top row first), each row padded to
 * a multiple of 4 bytes: a buffer needs height x ((width x bits / 8 + 3) & ~3) bytes, where
 * width and height are the capture window's, halved with sub-sampling 1. */

/* Prepares the selected camera and enters capture mode (1 when already in it);
 * CAMERR_NOT_READY in preview or trigger mode, CAMERR_OPEN without a selected camera. */
KORVIX_API int KORVIX_CALL Korvix_Capture(int handle);
/* Stops everything, removes the preview window, back to idle. Always 1. */
KORVIX_API int KORVIX_CALL Korvix_Close(int handle);
/* Preview into the library's preview window only (see Korvix_SetPreviewWindow). */
KORVIX_API int KORVIX_CALL Korvix_Preview(int handle);
/* Starts the preview worker without touching the window or the callback target; 1 when a
 * preview already runs, CAMERR_NOT_READY in capture or trigger mode. */
KORVIX_API int KORVIX_CALL Korvix_StartPreview(int handle);
/* Stops the preview or trigger worker and the transfer and returns to idle. Once it
 * returns, no WM_CAMERA_FRAME of the acquisition is delivered any more (do not call it
 * from inside the message handler). */
KORVIX_API int KORVIX_CALL Korvix_StopPreview(int handle);
/* Preview that also copies every frame into buffer (size bytes; NULL or 0 for none) and
 * posts WM_CAMERA_FRAME to frameWindow (may be NULL) with wParam the address of a
 * KorvixFrameInfo, valid until the handler returns; lParam 0, or 5 (buffer too small),
 * 8 (frame read failed) or 13 (device lost; the preview then stops delivering) with
 * wParam 0. The buffer holds the announced frame until its handler returns: a frame that
 * arrives while the previous frame's message waits or its handler runs is neither copied
 * nor announced (it is still shown and kept for Korvix_GetImage). Called during a running
 * preview it changes where frames go. */
KORVIX_API int KORVIX_CALL Korvix_CallBackPreview(int handle, KorvixWindow frameWindow,
                                                  unsigned char *buffer, int size, int rowOrder);
/* Takes one frame now into buffer (idle: prepares the camera each time; capture mode:
 * prepared already). CAMERR_FRAME when no frame arrives in time (3 s, 6 s once trigger
 * mode was used on the handle), CAMERR_MEMORY (twice) when the buffer is too small; the
 * frame can then still be fetched with Korvix_GetImage. */
KORVIX_API int KORVIX_CALL Korvix_SnapShot(int handle, unsigned char *buffer, int size,
                                           int rowOrder);
/* Enters trigger mode: every external trigger pulse gives one frame, copied into buffer and
 * announced with WM_CAMERA_FRAME as in Korvix_CallBackPreview (frame rate 0).
 * CAMERR_NOT_READY in any mode but idle. */
KORVIX_API int KORVIX_CALL Korvix_Trigger(int handle, KorvixWindow frameWindow,
                                          unsigned char *buffer, int size, int rowOrder);
/* Copies the last converted frame (of any mode) into buffer; CAMERR_MEMORY when there is
 * none or the buffer is too small. */
KORVIX_API int KORVIX_CALL Korvix_GetImage(int handle, unsigned char *buffer, int size,
                                           int rowOrder);
/* 8, 16, 24, 32, 48 or 64 bits per pixel, used from the next preparation on;
 * CAMERR_PARAMETER for other values and for modes the selected camera cannot deliver. */
KORVIX_API int KORVIX_CALL Korvix_SetColorMode(int handle, int bits);
/* The colour mode in bits per pixel; -1 for an unknown handle. */
KORVIX_API int KORVIX_CALL Korvix_GetColorMode(int handle);
/* Sub-sampling 0 (off) or 1 (half width and height), used from the next preparation on;
 * other values return 0 without a code. */
KORVIX_API int KORVIX_CALL Korvix_SetSubSample(int handle, int mode);
KORVIX_API int KORVIX_CALL Korvix_GetSubSample(int handle);
/* The preview worker's pause before each frame wait, in ms (0 or more; a negative value
 * returns 0 without a code): it takes a frame at most every `ms` milliseconds, counted from
 * the previous frame it took, so a camera slower than that keeps its full rate. */
KORVIX_API int KORVIX_CALL Korvix_SetWaitTime(int handle, int ms);
KORVIX_API int KORVIX_CALL Korvix_GetWaitTime(int handle);
/* Selects the first size preset of the settings store whose effective size is
 * width x height (CAMERR_WINDOW when none); CAMERR_NOT_READY while a preview or trigger
 * worker runs. */
KORVIX_API int KORVIX_CALL Korvix_SetCaptureWindow(int handle, int width, int height);
/* Sets the capture window: totals, starts and effective sizes. The values are stored even
 * when the window lies outside the 1280 x 1024 sensor or the camera refuses it
 * (CAMERR_CAPTURE_WINDOW, result 0); CAMERR_NOT_READY (nothing changed) while a preview or
 * trigger worker runs. */
KORVIX_API int KORVIX_CALL Korvix_SetCaptureWindowEx(int handle, int hTotal, int hStart,
                                                     int hEffective, int vTotal, int vStart,
                                                     int vEffective);
/* The stored capture window through those pointers that are not NULL. Always 1. */
KORVIX_API int KORVIX_CALL Korvix_GetCaptureWindowEx(int handle, int *hTotal, int *hStart,
                                                     int *hEffective, int *vTotal, int *vStart,
                                                     int *vEffective);
/* Where the next preview window goes: a child of parent at (left, top) of size
 * right x bottom, or, without a parent, a centred top-level window; NULL and four zeros
 * create no window. */
KORVIX_API int KORVIX_CALL Korvix_SetPreviewWindow(int handle, KorvixWindow parent, int left,
                                                   int top, int right, int bottom);
/* Always 0. */
KORVIX_API int KORVIX_CALL Korvix_GetStatus(int handle);
/* Reads a file of pairs of little-endian 32-bit integers (8 bytes a pair; a shorter tail is
 * ignored) into the handle's configuration pairs; 0 without a code when it cannot be read.
 * The wide twin records CAMERR_FAILED when the name cannot be converted. */
KORVIX_API int KORVIX_CALL Korvix_LoadConfigFileA(int handle, const char *file);
KORVIX_API int KORVIX_CALL Korvix_LoadConfigFileW(int handle, const wchar_t *file);
/* ---- Image files, defect mask and recording ------------------------------------- */

/* Saves the current output frame in the format of fileType (never chosen by the file
 * name): 0 BMP, 1 raw pixel buffer (top row first, rows padded to 4 bytes), 2, 3, 4
 * progressive JPEG of quality 100, 70, 20, 5 PNG, 6 TIFF. 16-bit samples are written as
 * they are. CAMERR_NOT_READY without a device or before the first frame; a file that
 * cannot be written, or another fileType, returns 0 without recording a code. */
KORVIX_API int KORVIX_CALL Korvix_SaveImage(int handle, const char *file, int fileType);
/* Wide twin; CAMERR_FAILED when the name does not convert into 1024 bytes. */
KORVIX_API int KORVIX_CALL Korvix_SaveImageW(int handle, const wchar_t *file, int fileType);

/* The defect mask: a dark and a bright reference frame per depth (8 and 16 bits) at the
 * full 1280 x 1024 sensor, and the hot and dead pixel maps derived from them. Loads a
 * mask file of 7864360 bytes ("VELSOR MASK1000"); a missing, damaged or truncated file
 * records CAMERR_MASK_FILE and leaves the mask exactly as it was. */
KORVIX_API int KORVIX_CALL Korvix_LoadMaskFile(int handle, const char *file);
KORVIX_API int KORVIX_CALL Korvix_LoadMaskFileW(int handle, const wchar_t *file);
/* Writes the four references to a mask file; CAMERR_MASK_FILE when it cannot be written
 * in full. */
KORVIX_API int KORVIX_CALL Korvix_SaveMaskFile(int handle, const char *file);
KORVIX_API int KORVIX_CALL Korvix_SaveMaskFileW(int handle, const wchar_t *file);
/* Stores the current raw frame as the dark (which 0) or bright (which 1) reference of
 * its depth and rebuilds that reference's defect map. Returns 1 without storing anything
 * when the frame is not 1280 x 1024; any other which records CAMERR_FAILED. */
KORVIX_API int KORVIX_CALL Korvix_UpdateMaskData(int handle, int which);

/* Records the preview into an uncompressed AVI file of 24-bit frames for durationMs
 * milliseconds from the first recorded frame, starting a preview when none runs; with
 * showWindow 0 no preview window is created. The file's frame rate is the one measured.
 * Korvix_StopPreview, Korvix_Close and Korvix_Release end a recording early; its file then
 * holds every frame written. CAMERR_PARAMETER for a missing or empty name or a negative
 * duration; CAMERR_WINDOW when the preview window cannot be made; CAMERR_FAILED when the
 * preview cannot start, the file cannot be opened or a recording already runs;
 * CAMERR_THREAD when the recording worker cannot start. */
KORVIX_API int KORVIX_CALL Korvix_Record(int handle, const char *file, int durationMs,
                                         int showWindow);
KORVIX_API int KORVIX_CALL Korvix_RecordW(int handle, const wchar_t *file, int durationMs,
                                          int showWindow);

/* ---- Settings dialogs --------------------------------------------------------------- */

/* Each shows a modal settings dialog on the calling thread (English, or Japanese when the
 * locale is ja_*), over the window `parent` (an X11 window id on Linux; may be NULL), and
 * returns 1 once the user closed it, whether with OK or Cancel. CAMERR_NOT_READY without an
 * open camera; CAMERR_WINDOW when no dialog can be shown (no display, or the dialog module
 * libKorvixSdk_TesslinDialogs.so is not installed beside the library). The dialog module,
 * and GTK with it, is loaded only when the first dialog opens.
 *
 * Camera dialog: colour mode, image size (the size list can be extended with "Custom", up to
 * 100 sizes), sub-sampling and wait time of the camera, stored with the camera's settings. A
 * running preview or capture is stopped while it is open (a trigger acquisition paused) and
 * started again afterwards; after OK the next acquisition uses the stored choices. */
KORVIX_API int KORVIX_CALL Korvix_SetCameraDlg(int handle, KorvixWindow parent);
/* Image dialog: brightness, contrast, hue, saturation, sharpness, colour balance, gamma,
 * white balance and Bayer phase, plus the gray gains, offsets and gray mode in the
 * monochrome colour modes. Changes apply to the frames at once; Cancel restores every
 * value from before the dialog. */
KORVIX_API int KORVIX_CALL Korvix_SetImageDlg(int handle, KorvixWindow parent);
/* Analog dialog: global gain, exposure (in 0.1 ms, or as a time with a unit), black level,
 * cooler, gain mode, mirrors and the automatic exposure mode, each written to the camera at
 * once. Cancel puts gain, exposure and mirrors back; black level, cooler and gain mode stay
 * as set. */
KORVIX_API int KORVIX_CALL Korvix_SetAnalogDlg(int handle, KorvixWindow parent);

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

/* ---- Settings addressed by setting id --------------------------------------------- */

/* Reads setting `id` (table below). Stores 1 through ok (may be NULL) on success and 0 on
 * failure; a failure returns 0 (-1 where noted) and records CAMERR_NOT_READY (no device
 * core), CAMERR_PARAMETER (id unknown or not readable) or the id's own code.
 *
 *  Id   Setting                      Set accepts            Get returns
 *  1    brightness                   -255..255              cached value
 *  2    contrast                     -127..127              cached value
 *  3    hue                          -360..360              cached value
 *  4    saturation                   -255..255              cached value
 *  5    sharpness                    0..30                  cached value
 *  6    colour balance, packed       any: red bits 0-7,     the three balance values,
 *                                    green 8-15, blue 16-23 8 bits each, packed the same way
 *  7-9  colour balance red/green/blue 0..400 (100 = unity)  cached value
 *  10   automatic balance            any, stored as 0 or 1  cached value
 *  11   gamma                        0..200 (100 neutral)   cached value
 *  12   Bayer phase                  0..3                   cached value
 *  13   global gain                  device min..max (the   device value
 *                                    limits of Korvix_GetCameraInfo); also sets the four
 *                                    cached colour gains
 *  14-17 colour gain red, green1,    device colour-gain     device value
 *       green2, blue                 min..max
 *  18   exposure, 0.1 ms units       device min..max        device value
 *  19   gray mode                    0..2                   cached value
 *  20-23 gray gain R, G1, G2, B      0..255                 cached value
 *  24-27 gray offset R, G1, G2, B    -255..255              cached value
 *  28   gray one-shot measurement    0 or 1                 not readable: CAMERR_PARAMETER
 *  100  cooler                       device decides;        device value; -1 with
 *                                    CAMERR_NOT_SUPPORTED   CAMERR_NOT_SUPPORTED without
 *                                    without a cooler       a cooler
 *  101  temperature                  not settable           always -1, ok 0,
 *                                                           CAMERR_NOT_SUPPORTED
 *                                                           (use Korvix_GetTemperatureEx)
 *  102  defect correction            0 or 1                 cached value
 *  103  mask correction              0 or 1                 cached value
 *  104  gain mode                    device decides         device value
 *  105  auxiliary switch             any; above 0 is on     0 or 1, records CAMERR_NONE
 *  106  black level                  device decides;        device value, records
 *                                    records CAMERR_NONE    CAMERR_NONE
 *
 * Ids 105 and 106 record CAMERR_NOT_SUPPORTED on a camera without them; the IMX993 reports
 * the auxiliary mode it identified at start-up and refuses a change (CAMERR_IO). Any other
 * id, the channel ids 29 to 36 among them, records CAMERR_PARAMETER. */
KORVIX_API int KORVIX_CALL Korvix_GetFilterValue(int handle, int id, int *ok);
/* Writes setting `id` (table above): stores it and, for the device settings (13 to 18 and
 * 100 to 106 but 102 and 103), writes it to the camera. Returns 1, or 0 and records
 * CAMERR_NOT_READY (no device core), CAMERR_PARAMETER (id unknown or not settable, value
 * outside the accepted range; nothing changes), CAMERR_IO (the camera refused the value;
 * the cached value stays) or CAMERR_NOT_SUPPORTED (ids 100, 105, 106 on a camera without
 * them). */
KORVIX_API int KORVIX_CALL Korvix_SetFilterValue(int handle, int id, int value);

/* Named settings: each getter is Korvix_GetFilterValue and each setter
 * Korvix_SetFilterValue with the id given, with the same results, ok and codes. */
/* Id 1: brightness, -255..255. */
KORVIX_API int KORVIX_CALL Korvix_GetBrightness(int handle, int *ok);
KORVIX_API int KORVIX_CALL Korvix_SetBrightness(int handle, int value);
/* Id 2: contrast, -127..127. */
KORVIX_API int KORVIX_CALL Korvix_GetContrast(int handle, int *ok);
KORVIX_API int KORVIX_CALL Korvix_SetContrast(int handle, int value);
/* Id 3: hue in degrees, -360..360. */
KORVIX_API int KORVIX_CALL Korvix_GetHue(int handle, int *ok);
KORVIX_API int KORVIX_CALL Korvix_SetHue(int handle, int value);
/* Id 4: saturation, -255..255. */
KORVIX_API int KORVIX_CALL Korvix_GetSaturation(int handle, int *ok);
KORVIX_API int KORVIX_CALL Korvix_SetSaturation(int handle, int value);
/* Id 5: sharpness, 0..30. */
KORVIX_API int KORVIX_CALL Korvix_GetSharpness(int handle, int *ok);
KORVIX_API int KORVIX_CALL Korvix_SetSharpness(int handle, int value);
/* Id 6: the three colour balance values packed red | green << 8 | blue << 16 (8 bits each;
 * a value above 255 set through its own id reads as its low 8 bits here). */
KORVIX_API int KORVIX_CALL Korvix_GetBayerGainRGB(int handle, int *ok);
KORVIX_API int KORVIX_CALL Korvix_SetBayerGainRGB(int handle, int value);
/* Ids 7, 8, 9: colour balance of red, green and blue in percent, 0..400. */
KORVIX_API int KORVIX_CALL Korvix_GetBayerGainRed(int handle, int *ok);
KORVIX_API int KORVIX_CALL Korvix_SetBayerGainRed(int handle, int value);
KORVIX_API int KORVIX_CALL Korvix_GetBayerGainGreen(int handle, int *ok);
KORVIX_API int KORVIX_CALL Korvix_SetBayerGainGreen(int handle, int value);
KORVIX_API int KORVIX_CALL Korvix_GetBayerGainBlue(int handle, int *ok);
KORVIX_API int KORVIX_CALL Korvix_SetBayerGainBlue(int handle, int value);
/* Id 10: automatic colour balance, any value; stored as 0 or 1. */
KORVIX_API int KORVIX_CALL Korvix_GetBayerGainAuto(int handle, int *ok);
KORVIX_API int KORVIX_CALL Korvix_SetBayerGainAuto(int handle, int value);
/* Id 11: gamma in percent, 0..200, 100 neutral. */
KORVIX_API int KORVIX_CALL Korvix_GetGamma(int handle, int *ok);
KORVIX_API int KORVIX_CALL Korvix_SetGamma(int handle, int value);
/* Id 12: Bayer phase of the sensor, 0..3. */
KORVIX_API int KORVIX_CALL Korvix_GetBayerMode(int handle, int *ok);
KORVIX_API int KORVIX_CALL Korvix_SetBayerMode(int handle, int value);
/* Id 13: global gain within the camera's limits; the camera's value is read back. */
KORVIX_API int KORVIX_CALL Korvix_GetGlobalGain(int handle, int *ok);
KORVIX_API int KORVIX_CALL Korvix_SetGlobalGain(int handle, int value);
/* Ids 14 to 17: colour gains within the camera's colour-gain limits (Korvix_GetCameraInfo).
 * The IMX99x cameras have none: their limits are 0..0 and the camera refuses the value
 * (result 0, CAMERR_IO); the getters return 0. */
KORVIX_API int KORVIX_CALL Korvix_GetColorGainRed(int handle, int *ok);
KORVIX_API int KORVIX_CALL Korvix_SetColorGainRed(int handle, int value);
KORVIX_API int KORVIX_CALL Korvix_GetColorGainGreen1(int handle, int *ok);
KORVIX_API int KORVIX_CALL Korvix_SetColorGainGreen1(int handle, int value);
KORVIX_API int KORVIX_CALL Korvix_GetColorGainGreen2(int handle, int *ok);
KORVIX_API int KORVIX_CALL Korvix_SetColorGainGreen2(int handle, int value);
KORVIX_API int KORVIX_CALL Korvix_GetColorGainBlue(int handle, int *ok);
KORVIX_API int KORVIX_CALL Korvix_SetColorGainBlue(int handle, int value);
/* Id 18: exposure in tenths of a millisecond within the camera's limits. */
KORVIX_API int KORVIX_CALL Korvix_GetExposureTime(int handle, int *ok);
KORVIX_API int KORVIX_CALL Korvix_SetExposureTime(int handle, int value);
/* Id 19: gray mode, 0 off, 1 gain and offset per Bayer site, 2 through colour to gray. */
KORVIX_API int KORVIX_CALL Korvix_GetGrayMode(int handle, int *ok);
KORVIX_API int KORVIX_CALL Korvix_SetGrayMode(int handle, int value);
/* Ids 20 to 23: gray gain per Bayer site, 0..255. */
KORVIX_API int KORVIX_CALL Korvix_GetGrayGainR(int handle, int *ok);
KORVIX_API int KORVIX_CALL Korvix_SetGrayGainR(int handle, int value);
KORVIX_API int KORVIX_CALL Korvix_GetGrayGainG1(int handle, int *ok);
KORVIX_API int KORVIX_CALL Korvix_SetGrayGainG1(int handle, int value);
KORVIX_API int KORVIX_CALL Korvix_GetGrayGainG2(int handle, int *ok);
KORVIX_API int KORVIX_CALL Korvix_SetGrayGainG2(int handle, int value);
KORVIX_API int KORVIX_CALL Korvix_GetGrayGainB(int handle, int *ok);
KORVIX_API int KORVIX_CALL Korvix_SetGrayGainB(int handle, int value);
/* Ids 24 to 27: gray offset per Bayer site, -255..255. */
KORVIX_API int KORVIX_CALL Korvix_GetGrayOffsetR(int handle, int *ok);
KORVIX_API int KORVIX_CALL Korvix_SetGrayOffsetR(int handle, int value);
KORVIX_API int KORVIX_CALL Korvix_GetGrayOffsetG1(int handle, int *ok);
KORVIX_API int KORVIX_CALL Korvix_SetGrayOffsetG1(int handle, int value);
KORVIX_API int KORVIX_CALL Korvix_GetGrayOffsetG2(int handle, int *ok);
KORVIX_API int KORVIX_CALL Korvix_SetGrayOffsetG2(int handle, int value);
KORVIX_API int KORVIX_CALL Korvix_GetGrayOffsetB(int handle, int *ok);
KORVIX_API int KORVIX_CALL Korvix_SetGrayOffsetB(int handle, int value);
/* Id 100: cooler on (nonzero) or off; CAMERR_NOT_SUPPORTED without a cooler. */
KORVIX_API int KORVIX_CALL Korvix_GetPeltier(int handle, int *ok);
KORVIX_API int KORVIX_CALL Korvix_SetPeltier(int handle, int value);
/* Id 101: always -1 with ok 0 and CAMERR_NOT_SUPPORTED; Korvix_GetTemperatureEx reads the
 * temperature. */
KORVIX_API int KORVIX_CALL Korvix_GetTemperature(int handle, int *ok);
/* Id 102: defect (hot and dead pixel) correction, 0 or 1. */
KORVIX_API int KORVIX_CALL Korvix_GetDotFilter(int handle, int *ok);
KORVIX_API int KORVIX_CALL Korvix_SetDotFilter(int handle, int value);
/* Id 103: mask (dark and bright reference) correction, 0 or 1. */
KORVIX_API int KORVIX_CALL Korvix_GetMaskFilter(int handle, int *ok);
KORVIX_API int KORVIX_CALL Korvix_SetMaskFilter(int handle, int value);

/* Channel gain and offset: channels 1 to 4 map to ids 29 to 32 (gain) and 33 to 36
 * (offset), which this camera does not have, so they return 0 and record
 * CAMERR_PARAMETER (ok 0). Any other channel returns 0, records nothing and leaves ok. */
KORVIX_API int KORVIX_CALL Korvix_GetChannelGain(int handle, int channel, int *ok);
KORVIX_API int KORVIX_CALL Korvix_SetChannelGain(int handle, int channel, int value);
KORVIX_API int KORVIX_CALL Korvix_GetChannelOffset(int handle, int channel, int *ok);
KORVIX_API int KORVIX_CALL Korvix_SetChannelOffset(int handle, int channel, int value);

/* ---- Other camera settings ---------------------------------------------------------- */

/* The exposure in seconds as the camera reports it (also cached). On failure returns -1.0
 * with ok 0 and records CAMERR_NOT_READY (no device core), CAMERR_NOT_SUPPORTED (the camera
 * takes no real exposure) or CAMERR_IO (the read failed). */
KORVIX_API double KORVIX_CALL Korvix_GetExposureTimeEx(int handle, int *ok);
/* Sets the exposure in seconds; the cached exposure in tenths of a millisecond follows.
 * Returns 1, or 0 and records CAMERR_NOT_READY, CAMERR_NOT_SUPPORTED, CAMERR_PARAMETER (not
 * a finite number, or outside the limits of Korvix_GetCameraInfo) or CAMERR_IO (refused). */
KORVIX_API int KORVIX_CALL Korvix_SetExposureTimeEx(int handle, double value);
/* The cached exposure in hundredths of its device units (tenths of a millisecond x 100).
 * ok 1; without a device core 0, ok 0 and CAMERR_NOT_READY. */
KORVIX_API int KORVIX_CALL Korvix_GetRealExposureTime(int handle, int *ok);
/* Sets the exposure to value / 100 device units (truncated): Korvix_SetExposureTime with
 * that value, with its results and codes. */
KORVIX_API int KORVIX_CALL Korvix_SetRealExposureTime(int handle, int value);
/* The cached horizontal mirror. Without a device core 0 and CAMERR_NOT_READY. */
KORVIX_API int KORVIX_CALL Korvix_GetMirrorH(int handle);
/* The cached vertical mirror. Without a device core 0; CAMERR_NOT_READY is announced with
 * WM_CAMERA_ERROR, not recorded. */
KORVIX_API int KORVIX_CALL Korvix_GetMirrorV(int handle);
/* Mirrors the image horizontally (on nonzero) in the camera and caches the setting.
 * Returns 1, or 0 and records CAMERR_NOT_READY (no device core) or CAMERR_IO (refused). */
KORVIX_API int KORVIX_CALL Korvix_SetMirrorH(int handle, int on);
/* As Korvix_SetMirrorH, vertically; without a device core CAMERR_NOT_READY is announced,
 * not recorded. */
KORVIX_API int KORVIX_CALL Korvix_SetMirrorV(int handle, int on);
/* The automatic exposure mode: 0 off, 1 by exposure, 2 by gain. ok 1; never fails. */
KORVIX_API int KORVIX_CALL Korvix_GetAutoIris(int handle, int *ok);
/* Sets the automatic exposure mode 0, 1 or 2 and returns 1. Any other mode returns 0 and
 * announces CAMERR_PARAMETER without recording it. */
KORVIX_API int KORVIX_CALL Korvix_SetAutoIris(int handle, int mode);
/* The sensor temperature in degrees Celsius, ok 1, and records CAMERR_NONE. On failure
 * 0.0, ok 0, and records CAMERR_NOT_READY, CAMERR_NOT_SUPPORTED or CAMERR_FAILED (the
 * reading failed). */
KORVIX_API double KORVIX_CALL Korvix_GetTemperatureEx(int handle, int *ok);
/* The camera's internal correction switch, 0 or 1, ok 1. On failure 0 and ok 0:
 * CAMERR_NOT_READY recorded without a device core; CAMERR_NOT_SUPPORTED announced, not
 * recorded, on a camera without the correction. */
KORVIX_API int KORVIX_CALL Korvix_GetInternalCorrection(int handle, int *ok);
/* Switches the internal correction on (nonzero) or off; the camera's result (0 when it
 * refuses). Codes as Korvix_GetInternalCorrection. */
KORVIX_API int KORVIX_CALL Korvix_SetInternalCorrection(int handle, int value);
/* This camera has no sampling-rate or video-format choice: both write 0 through value (may
 * be NULL) and return 0, recording nothing. */
KORVIX_API int KORVIX_CALL Korvix_GetSamplingRate(int handle, int *value);
KORVIX_API int KORVIX_CALL Korvix_GetVideoFormat(int handle, int *value);
/* Hands the value to the camera and returns its result (0 on this camera); records
 * nothing. */
KORVIX_API int KORVIX_CALL Korvix_SetSamplingRate(int handle, int value);
/* Reads the camera's input port byte into *value and returns 1. On failure returns 0 and
 * announces, without recording, CAMERR_NOT_READY (no device core) or CAMERR_PARAMETER
 * (value NULL or the read failed). */
KORVIX_API int KORVIX_CALL Korvix_GetIOPort(int handle, uint8_t *value);
/* Writes the low 8 bits of value to the camera's output port; the camera's result (0 when
 * it refuses). Without a device core 0, CAMERR_NOT_READY announced, not recorded. */
KORVIX_API int KORVIX_CALL Korvix_SetIOPort(int handle, int value);

/* ---- Register access ---------------------------------------------------------------- */

/* Each returns 0 on failure and records CAMERR_NOT_READY (no device core) or CAMERR_IO (the
 * camera refused the access); a read then stores 0 through ok (may be NULL). */

/* FPGA register (low 8 bits of address): its value. ok is left untouched on success. */
KORVIX_API int KORVIX_CALL Korvix_Fpga_ReadRegister(int handle, int address, int *ok);
/* Writes an FPGA register (low 8 bits of address and of value); 1 on success. */
KORVIX_API int KORVIX_CALL Korvix_Fpga_WriteRegister(int handle, int address, int value);
/* Sensor register at the low 8 bits of address: its value, ok 1. */
KORVIX_API int KORVIX_CALL Korvix_ReadRegister(int handle, int address, int *ok);
/* Sensor register at the full address: its value, ok 1. */
KORVIX_API int KORVIX_CALL Korvix_ReadRegisterEx(int handle, int address, int *ok);
/* Writes a sensor register at the low 8 bits of address (the sensor keeps the low 8 bits
 * of value); 1 on success. */
KORVIX_API int KORVIX_CALL Korvix_WriteRegister(int handle, int address, int value);
/* Writes a sensor register at the full address; 1 on success. */
KORVIX_API int KORVIX_CALL Korvix_WriteRegisterEx(int handle, int address, int value);

/* ==== Linux extensions ==================================================================
 * Beyond the catalogue above, and offered by the Linux library only: the statistics of a
 * session's frame transfers, and the time limit of each frame's data transfer. */
#if !defined(_WIN32)

/* Filled by Korvix_GetStreamStatistics; the caller sets size (at least 48). The counts run
 * since the session's camera was selected or the statistics were last reset, and cover the
 * transfers of every acquisition mode (preview, callback preview, trigger, snapshot). */
typedef struct KorvixStreamStatistics {
    int32_t size;               /*  0: size of the record in bytes, set by the caller */
    int32_t reserved;           /*  4: written as 0 */
    uint64_t framesDelivered;   /*  8: frames received whole from the camera */
    uint64_t framesLost;        /* 16: frames the camera sent that never arrived: gaps in
                                 *     its frame counter while a transfer runs, and frames
                                 *     the library had no room for */
    uint64_t transferFailures;  /* 24: frame headers that did not come, failed data reads */
    uint64_t restartPulses;     /* 32: restarts of the camera's frame output after failures */
    double transferRateMBps;    /* 40: data rate of the last frame's transfer, 10^6 bytes
                                 *     per second; 0 before the first frame */
} KorvixStreamStatistics;

/* Fills *stats. 0 and CAMERR_PARAMETER for a NULL stats, CAMERR_MEMORY when stats->size is
 * below 48, CAMERR_NOT_READY without a device core. */
KORVIX_API int KORVIX_CALL Korvix_GetStreamStatistics(int handle, KorvixStreamStatistics *stats);
/* Sets every count of the statistics to 0. 0 and CAMERR_NOT_READY without a device core. */
KORVIX_API int KORVIX_CALL Korvix_ResetStreamStatistics(int handle);
/* The time limit of each frame's data transfer in milliseconds: the one set with
 * Korvix_SetDataTimeout, else the library's own (5000, longer for long exposures and in
 * trigger mode). 0 and CAMERR_NOT_READY without a device core. */
KORVIX_API int KORVIX_CALL Korvix_GetDataTimeout(int handle);
/* Fixes that limit at ms milliseconds for the session, whatever the exposure; 0 returns to
 * the library's own. The next frame of a running transfer already uses it. 0 and
 * CAMERR_PARAMETER for a negative ms, CAMERR_NOT_READY without a device core. */
KORVIX_API int KORVIX_CALL Korvix_SetDataTimeout(int handle, int ms);

#endif /* !_WIN32 */

#ifdef __cplusplus
}
#endif

#endif /* KORVIXSDK_TESSLIN_H */
