/* Loads KorvixSdk_Tesslin.dll at run time, the way most Windows applications of a camera DLL
 * do (LoadLibraryA and GetProcAddress, no import library), takes one frame and saves it in
 * every file format the library writes, then records a short AVI file.
 *
 *   set KORVIX_SIMULATE=imx990
 *   load_library.exe [KorvixSdk_Tesslin.dll] [output directory]
 *
 * Writes frame.bmp, frame.raw, frame.jpg, frame.png, frame.tif and movie.avi and prints the
 * frame's size. Exits 0 when everything succeeded.
 */
#include <windows.h>

#include <stdio.h>

typedef int(__stdcall *NoArgument)(void);
typedef int(__stdcall *InitializeFunction)(void *window);
typedef int(__stdcall *HandleFunction)(int handle);
typedef int(__stdcall *HandleIntFunction)(int handle, int value);
typedef int(__stdcall *SnapShotFunction)(int handle, unsigned char *buffer, int size,
                                         int newFrame);
typedef int(__stdcall *SaveImageFunction)(int handle, const char *file, int fileType);
typedef int(__stdcall *RecordFunction)(int handle, const char *file, int durationMs,
                                       int showWindow);

/* Every function the program calls, looked up by its undecorated name. */
struct Sdk {
    NoArgument GetDllVersion;
    InitializeFunction Initialize;
    HandleFunction Release, GetLastError, Width, Height, StopPreview;
    HandleIntFunction SetDeviceNumber, SetColorMode;
    SnapShotFunction SnapShot;
    SaveImageFunction SaveImage;
    RecordFunction Record;
};

/* A function of unknown type; C allows a cast from it to the function's real type. */
typedef void (*AnyFunction)(void);

static AnyFunction Find(HMODULE library, const char *name, int *missing) {
    FARPROC function = GetProcAddress(library, name);
    if (function == NULL) {
        fprintf(stderr, "%s is not exported\n", name);
        *missing = 1;
    }
    return (AnyFunction)function;
}

static int LoadSdk(HMODULE library, struct Sdk *sdk) {
    int missing = 0;
    sdk->GetDllVersion = (NoArgument)Find(library, "Korvix_GetDllVersion", &missing);
    sdk->Initialize = (InitializeFunction)Find(library, "Korvix_Initialize", &missing);
    sdk->Release = (HandleFunction)Find(library, "Korvix_Release", &missing);
    sdk->GetLastError = (HandleFunction)Find(library, "Korvix_GetLastError", &missing);
    sdk->Width = (HandleFunction)Find(library, "Korvix_Width", &missing);
    sdk->Height = (HandleFunction)Find(library, "Korvix_Height", &missing);
    sdk->StopPreview = (HandleFunction)Find(library, "Korvix_StopPreview", &missing);
    sdk->SetDeviceNumber = (HandleIntFunction)Find(library, "Korvix_SetDeviceNumber", &missing);
    sdk->SetColorMode = (HandleIntFunction)Find(library, "Korvix_SetColorMode", &missing);
    sdk->SnapShot = (SnapShotFunction)Find(library, "Korvix_SnapShot", &missing);
    sdk->SaveImage = (SaveImageFunction)Find(library, "Korvix_SaveImage", &missing);
    sdk->Record = (RecordFunction)Find(library, "Korvix_Record", &missing);
    return !missing;
}

/* Saves the frame in the library as directory\name in the format fileType. */
static int Save(const struct Sdk *sdk, int handle, const char *directory, const char *name,
                int fileType) {
    char path[MAX_PATH];
    snprintf(path, sizeof path, "%s\\%s", directory, name);
    if (sdk->SaveImage(handle, path, fileType)) return 1;
    fprintf(stderr, "saving %s failed\n", path);
    return 0;
}

int main(int argc, char **argv) {
    const char *dll = argc > 1 ? argv[1] : "KorvixSdk_Tesslin.dll";
    const char *directory = argc > 2 ? argv[2] : ".";

    HMODULE library = LoadLibraryA(dll);
    if (library == NULL) {
        fprintf(stderr, "LoadLibraryA(%s) failed: %lu\n", dll, GetLastError());
        return 1;
    }
    struct Sdk sdk;
    if (!LoadSdk(library, &sdk)) return 1;
    printf("version 0x%08X\n", (unsigned)sdk.GetDllVersion());

    int handle = sdk.Initialize(NULL);
    if (handle == 0) {
        fprintf(stderr, "no library session\n");
        return 1;
    }
    int ok = sdk.SetDeviceNumber(handle, 0) && sdk.SetColorMode(handle, 8) &&
             sdk.SnapShot(handle, NULL, 0, 1);
    if (ok) {
        printf("frame %d x %d\n", sdk.Width(handle), sdk.Height(handle));
        ok = Save(&sdk, handle, directory, "frame.bmp", 0) &&
             Save(&sdk, handle, directory, "frame.raw", 1) &&
             Save(&sdk, handle, directory, "frame.jpg", 2) &&
             Save(&sdk, handle, directory, "frame.png", 5) &&
             Save(&sdk, handle, directory, "frame.tif", 6);
    }
    if (ok) {
        /* The recording runs in the background; stopping the preview ends it with every
         * frame written. */
        char movie[MAX_PATH];
        snprintf(movie, sizeof movie, "%s\\movie.avi", directory);
        ok = sdk.Record(handle, movie, 1000, 0);
        Sleep(1500);
        sdk.StopPreview(handle);
    }
    if (!ok) fprintf(stderr, "failed with error code %d\n", sdk.GetLastError(handle));
    sdk.Release(handle);
    FreeLibrary(library);
    return ok ? 0 : 1;
}
