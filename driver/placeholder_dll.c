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
