/* The smallest program: take one frame from the first camera and save it as a PNG file.
 *
 *   KORVIX_SIMULATE=imx990 ./snapshot_png frame.png
 */
#include <KorvixSdk_Tesslin.h>

#include <stdio.h>

#define FILE_TYPE_PNG 5

int main(int argc, char **argv) {
    const char *file = argc > 1 ? argv[1] : "snapshot.png";

    int handle = Korvix_Initialize(NULL);  /* selects the camera when exactly one is attached */
    if (handle == 0) {
        fprintf(stderr, "no library session\n");
        return 1;
    }
    int ok = Korvix_SetDeviceNumber(handle, 0)    /* the first camera */
             && Korvix_SetColorMode(handle, 16)   /* 16-bit gray, 12 significant bits */
             && Korvix_SnapShot(handle, NULL, 0, 1)  /* the frame stays in the library */
             && Korvix_SaveImage(handle, file, FILE_TYPE_PNG);
    if (!ok) {
        fprintf(stderr, "failed with error code %d\n", Korvix_GetLastError(handle));
    } else {
        printf("wrote %s (%d x %d)\n", file, Korvix_Width(handle), Korvix_Height(handle));
    }
    Korvix_Release(handle);
    return ok ? 0 : 1;
}
