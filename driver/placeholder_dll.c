/* The stand-in for every driver DLL of the sample package other than the
   language monitors: a real, minimal DLL for the folder's processor, so that
   the package passes the same checks as one made from real drivers. It
   loads and does nothing. */
#include <windows.h>

BOOL WINAPI PlaceholderEntry(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}

/* A spooler client asks the configuration DLL of a printer's driver for the
   default document settings when the printer is created (Wine's AddPrinter
   calls this export without checking that it exists). The stand-in has no
   settings to give: it fails as a configuration DLL may, and the client
   goes on with its own defaults. */
__declspec(dllexport) LONG WINAPI DrvDocumentPropertySheets(void* sheetInfo, LPARAM header) {
    (void)sheetInfo;
    (void)header;
    return -1;
}

__declspec(dllexport) DWORD WINAPI DrvDeviceCapabilities(HANDLE printer, LPWSTR device, WORD capability,
                                                         LPVOID output, DEVMODEW* devmode) {
    (void)printer;
    (void)device;
    (void)capability;
    (void)output;
    (void)devmode;
    return GDI_ERROR;
}
