/* A preview without a window: the library copies every frame into our buffer and tells us
 * with WM_CAMERA_FRAME through the message handler. Prints the mean of each frame.
 *
 *   KORVIX_SIMULATE=imx990 ./callback_preview 20
 */
#include <KorvixSdk_Tesslin.h>

#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>

/* Shared between the library's message thread and main. */
struct FrameCounter {
    pthread_mutex_t lock;
    pthread_cond_t changed;
    int frames;
    int failures;
};

/* Any pointer-sized value names our "window"; the library hands it back with the message. */
static char frameWindow;

static void on_message(void *window, unsigned int message, uintptr_t wParam, intptr_t lParam,
                       void *context) {
    struct FrameCounter *counter = context;
    if (window != &frameWindow || message != WM_CAMERA_FRAME) return;
    pthread_mutex_lock(&counter->lock);
    if (wParam != 0) {
        /* The info record and the pixels in the buffer are ours to read until the handler
         * returns: the library writes no new frame into the buffer before that. */
        const KorvixFrameInfo *info = (const KorvixFrameInfo *)wParam;
        const unsigned char *pixels = info->userBuffer;
        const int stride = (info->width * info->bitCount / 8 + 3) & ~3;
        unsigned long long sum = 0;
        for (int y = 0; y < info->height; ++y)
            for (int x = 0; x < info->width; ++x) sum += pixels[y * stride + x];
        printf("frame %d: %d x %d, %d bits, %.1f fps, mean %.1f\n", counter->frames + 1,
               info->width, info->height, info->bitCount, info->frameRate10 / 10.0,
               (double)sum / ((double)info->width * info->height));
        ++counter->frames;
    } else {
        fprintf(stderr, "frame failed with error code %ld\n", (long)lParam);
        ++counter->failures;
    }
    pthread_cond_signal(&counter->changed);
    pthread_mutex_unlock(&counter->lock);
}

int main(int argc, char **argv) {
    const int wanted = argc > 1 ? atoi(argv[1]) : 10;
    struct FrameCounter counter = {PTHREAD_MUTEX_INITIALIZER, PTHREAD_COND_INITIALIZER, 0, 0};
    Korvix_SetMessageHandler(on_message, &counter);

    int handle = Korvix_Initialize(NULL);
    int ok = handle != 0 && Korvix_SetDeviceNumber(handle, 0) && Korvix_SetColorMode(handle, 8) &&
             Korvix_SetPreviewWindow(handle, NULL, 0, 0, 0, 0); /* no window */
    /* 8 bits per pixel: one byte a pixel, rows padded to 4 bytes. */
    const int size = Korvix_Height(handle) * ((Korvix_Width(handle) + 3) & ~3);
    unsigned char *buffer = malloc((size_t)size);
    ok = ok && buffer != NULL && Korvix_CallBackPreview(handle, &frameWindow, buffer, size, 1);
    if (ok) {
        pthread_mutex_lock(&counter.lock);
        while (counter.frames < wanted && counter.failures < wanted)
            pthread_cond_wait(&counter.changed, &counter.lock);
        pthread_mutex_unlock(&counter.lock);
        Korvix_StopPreview(handle);  /* no frame message comes after it returns */
    } else {
        fprintf(stderr, "failed with error code %d\n", handle ? Korvix_GetLastError(handle) : 0);
    }
    Korvix_SetMessageHandler(NULL, NULL);
    Korvix_Release(handle);
    free(buffer);
    return ok && counter.frames >= wanted ? 0 : 1;
}
