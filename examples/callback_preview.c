/* A preview without a window: the library copies every frame into our buffer and tells us
 * with WM_CAMERA_FRAME through the message handler. Prints each frame's description, and
 * the mean of the last frame once the preview has stopped.
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
    int width;
    int height;
};

/* Any pointer-sized value names our "window"; the library hands it back with the message. */
static char frameWindow;

static void on_message(void *window, unsigned int message, uintptr_t wParam, intptr_t lParam,
                       void *context) {
    struct FrameCounter *counter = context;
    if (window != &frameWindow || message != WM_CAMERA_FRAME) return;
    pthread_mutex_lock(&counter->lock);
    if (wParam != 0) {
        /* The info record is ours to read until the handler returns. The pixels are not: the
         * library copies the next frame into the buffer as soon as it arrives, possibly while
         * this handler still runs, so they are read once the preview has stopped. */
        const KorvixFrameInfo *info = (const KorvixFrameInfo *)wParam;
        ++counter->frames;
        counter->width = info->width;
        counter->height = info->height;
        printf("frame %d: %d x %d, %d bits, %.1f fps\n", counter->frames, info->width,
               info->height, info->bitCount, info->frameRate10 / 10.0);
    } else {
        fprintf(stderr, "frame failed with error code %ld\n", (long)lParam);
        ++counter->failures;
    }
    pthread_cond_signal(&counter->changed);
    pthread_mutex_unlock(&counter->lock);
}

int main(int argc, char **argv) {
    const int wanted = argc > 1 ? atoi(argv[1]) : 10;
    struct FrameCounter counter = {PTHREAD_MUTEX_INITIALIZER, PTHREAD_COND_INITIALIZER, 0, 0, 0, 0};
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
        Korvix_StopPreview(handle);  /* no frame message or copy comes after it returns */
        pthread_mutex_lock(&counter.lock);
        const int width = counter.width, height = counter.height;
        pthread_mutex_unlock(&counter.lock);
        const int stride = (width + 3) & ~3;
        unsigned long long sum = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) sum += buffer[y * stride + x];
        if (width > 0 && height > 0)
            printf("mean of the last frame: %.1f\n", (double)sum / ((double)width * height));
    } else {
        fprintf(stderr, "failed with error code %d\n", handle ? Korvix_GetLastError(handle) : 0);
    }
    Korvix_SetMessageHandler(NULL, NULL);
    Korvix_Release(handle);
    free(buffer);
    return ok && counter.frames >= wanted ? 0 : 1;
}
