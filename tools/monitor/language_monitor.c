/* Windows print monitor DLL: a minimal language monitor.
 *
 * The label drivers name "Advanced Language Monitor"; the spooler loads its
 * DLL when the monitor is registered and calls InitializePrintMonitor2, so a
 * placeholder file would make AddMonitor fail. This one passes every job
 * unchanged to the port monitor below it. Built twice, as qmtNLMNT.dll
 * (32-bit) and qmtNLM64.dll (64-bit), and exported without decoration.
 */
#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

/* One open port: the port monitor's handle and functions. */
typedef struct {
    HANDLE portHandle;
    MONITOR2 *port;
} LanguagePort;

static BOOL WINAPI LmOpenPortEx(HANDLE monitor, HANDLE monitorPort, LPWSTR portName, LPWSTR printerName,
                                PHANDLE handle, MONITOR2 *portMonitor) {
    LanguagePort *open;
    (void)monitor;
    (void)printerName;
    if (handle == NULL || portMonitor == NULL || portMonitor->pfnOpenPort == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    open = (LanguagePort *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof *open);
    if (open == NULL) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    if (!portMonitor->pfnOpenPort(monitorPort, portName, &open->portHandle)) {
        HeapFree(GetProcessHeap(), 0, open);
        return FALSE;
    }
    open->port = portMonitor;
    *handle = open;
    return TRUE;
}

static BOOL WINAPI LmStartDocPort(HANDLE port, LPWSTR printerName, DWORD jobId, DWORD level, LPBYTE docInfo) {
    LanguagePort *open = (LanguagePort *)port;
    if (open->port->pfnStartDocPort == NULL) return TRUE;
    return open->port->pfnStartDocPort(open->portHandle, printerName, jobId, level, docInfo);
}

static BOOL WINAPI LmWritePort(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD written) {
    LanguagePort *open = (LanguagePort *)port;
    if (open->port->pfnWritePort == NULL) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    return open->port->pfnWritePort(open->portHandle, buffer, size, written);
}

static BOOL WINAPI LmReadPort(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD read) {
    LanguagePort *open = (LanguagePort *)port;
    if (open->port->pfnReadPort == NULL) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    return open->port->pfnReadPort(open->portHandle, buffer, size, read);
}

static BOOL WINAPI LmEndDocPort(HANDLE port) {
    LanguagePort *open = (LanguagePort *)port;
    if (open->port->pfnEndDocPort == NULL) return TRUE;
    return open->port->pfnEndDocPort(open->portHandle);
}

static BOOL WINAPI LmClosePort(HANDLE port) {
    LanguagePort *open = (LanguagePort *)port;
    BOOL closed = open->port->pfnClosePort == NULL || open->port->pfnClosePort(open->portHandle);
    HeapFree(GetProcessHeap(), 0, open);
    return closed;
}

static VOID WINAPI LmShutdown(HANDLE monitor) { (void)monitor; }

/* Unset entries stay null: a language monitor has no ports of its own to
 * enumerate, add, configure or delete. */
static MONITOR2 g_monitor = {
    .cbSize = sizeof(MONITOR2),
    .pfnOpenPortEx = LmOpenPortEx,
    .pfnStartDocPort = LmStartDocPort,
    .pfnWritePort = LmWritePort,
    .pfnReadPort = LmReadPort,
    .pfnEndDocPort = LmEndDocPort,
    .pfnClosePort = LmClosePort,
    .pfnShutdown = LmShutdown,
};

__declspec(dllexport) LPMONITOR2 WINAPI InitializePrintMonitor2(PMONITORINIT init, PHANDLE monitor) {
    (void)init;
    if (monitor != NULL) *monitor = (HANDLE)&g_monitor;
    return &g_monitor;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    return TRUE;
}
