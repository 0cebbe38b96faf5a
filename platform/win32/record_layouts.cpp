// Windows backend: proof that the seam's records are the Windows records.
//
// The backends hand the project's structs to the system by reinterpret_cast;
// that is sound only while size and every field offset agree, which these
// assertions check at compile time.
#include "platform/win32/windows_support.h"

#include <cstddef>

#define SAME_FIELD(Ours, Theirs, field) \
    static_assert(offsetof(Ours, field) == offsetof(Theirs, field) && \
                      sizeof(Ours::field) == sizeof(Theirs::field), \
                  #Ours "::" #field)
#define SAME_SIZE(Ours, Theirs) static_assert(sizeof(Ours) == sizeof(Theirs), "size of " #Ours)
// A record that stops early holds nothing after its last field but the tail
// padding its alignment asks for (none on 32 bits, up to 4 bytes on 64 bits,
// where the longer record puts its next field), and fits in the longer one.
#define ENDS_AFTER(Ours, Theirs, field) \
    static_assert(sizeof(Ours) == (offsetof(Theirs, field) + sizeof(Ours::field) + alignof(Ours) - 1) / \
                                          alignof(Ours) * alignof(Ours) && \
                      sizeof(Ours) <= sizeof(Theirs), \
                  #Ours " ends after " #field)

SAME_SIZE(win::FILETIME, FILETIME);
SAME_SIZE(win::WIN32_FIND_DATAA, WIN32_FIND_DATAA);
SAME_FIELD(win::WIN32_FIND_DATAA, WIN32_FIND_DATAA, dwFileAttributes);
SAME_FIELD(win::WIN32_FIND_DATAA, WIN32_FIND_DATAA, ftCreationTime);
SAME_FIELD(win::WIN32_FIND_DATAA, WIN32_FIND_DATAA, ftLastAccessTime);
SAME_FIELD(win::WIN32_FIND_DATAA, WIN32_FIND_DATAA, ftLastWriteTime);
SAME_FIELD(win::WIN32_FIND_DATAA, WIN32_FIND_DATAA, nFileSizeHigh);
SAME_FIELD(win::WIN32_FIND_DATAA, WIN32_FIND_DATAA, nFileSizeLow);
SAME_FIELD(win::WIN32_FIND_DATAA, WIN32_FIND_DATAA, cFileName);
SAME_FIELD(win::WIN32_FIND_DATAA, WIN32_FIND_DATAA, cAlternateFileName);

SAME_SIZE(win::SECURITY_ATTRIBUTES, SECURITY_ATTRIBUTES);
SAME_FIELD(win::SECURITY_ATTRIBUTES, SECURITY_ATTRIBUTES, nLength);
SAME_FIELD(win::SECURITY_ATTRIBUTES, SECURITY_ATTRIBUTES, lpSecurityDescriptor);
SAME_FIELD(win::SECURITY_ATTRIBUTES, SECURITY_ATTRIBUTES, bInheritHandle);

SAME_SIZE(win::SERVICE_STATUS, SERVICE_STATUS);
SAME_FIELD(win::SERVICE_STATUS, SERVICE_STATUS, dwServiceType);
SAME_FIELD(win::SERVICE_STATUS, SERVICE_STATUS, dwCurrentState);
SAME_FIELD(win::SERVICE_STATUS, SERVICE_STATUS, dwControlsAccepted);
SAME_FIELD(win::SERVICE_STATUS, SERVICE_STATUS, dwWin32ExitCode);
SAME_FIELD(win::SERVICE_STATUS, SERVICE_STATUS, dwServiceSpecificExitCode);
SAME_FIELD(win::SERVICE_STATUS, SERVICE_STATUS, dwCheckPoint);
SAME_FIELD(win::SERVICE_STATUS, SERVICE_STATUS, dwWaitHint);

SAME_SIZE(win::ENUM_SERVICE_STATUSA, ENUM_SERVICE_STATUSA);
SAME_FIELD(win::ENUM_SERVICE_STATUSA, ENUM_SERVICE_STATUSA, lpServiceName);
SAME_FIELD(win::ENUM_SERVICE_STATUSA, ENUM_SERVICE_STATUSA, lpDisplayName);
SAME_FIELD(win::ENUM_SERVICE_STATUSA, ENUM_SERVICE_STATUSA, ServiceStatus);

SAME_SIZE(win::LUID, LUID);
SAME_FIELD(win::LUID, LUID, LowPart);
SAME_FIELD(win::LUID, LUID, HighPart);
SAME_SIZE(win::LUID_AND_ATTRIBUTES, LUID_AND_ATTRIBUTES);
SAME_FIELD(win::LUID_AND_ATTRIBUTES, LUID_AND_ATTRIBUTES, Luid);
SAME_FIELD(win::LUID_AND_ATTRIBUTES, LUID_AND_ATTRIBUTES, Attributes);
SAME_SIZE(win::TOKEN_PRIVILEGES, TOKEN_PRIVILEGES);
SAME_FIELD(win::TOKEN_PRIVILEGES, TOKEN_PRIVILEGES, PrivilegeCount);
SAME_FIELD(win::TOKEN_PRIVILEGES, TOKEN_PRIVILEGES, Privileges);

SAME_SIZE(win::OSVERSIONINFOEXA, OSVERSIONINFOEXA);
static_assert(win::OSVERSIONINFOA_SIZE == sizeof(OSVERSIONINFOA), "size of OSVERSIONINFOA");
SAME_FIELD(win::OSVERSIONINFOEXA, OSVERSIONINFOEXA, dwOSVersionInfoSize);
SAME_FIELD(win::OSVERSIONINFOEXA, OSVERSIONINFOEXA, dwMajorVersion);
SAME_FIELD(win::OSVERSIONINFOEXA, OSVERSIONINFOEXA, dwMinorVersion);
SAME_FIELD(win::OSVERSIONINFOEXA, OSVERSIONINFOEXA, dwBuildNumber);
SAME_FIELD(win::OSVERSIONINFOEXA, OSVERSIONINFOEXA, dwPlatformId);
SAME_FIELD(win::OSVERSIONINFOEXA, OSVERSIONINFOEXA, szCSDVersion);
SAME_FIELD(win::OSVERSIONINFOEXA, OSVERSIONINFOEXA, wServicePackMajor);
SAME_FIELD(win::OSVERSIONINFOEXA, OSVERSIONINFOEXA, wServicePackMinor);
SAME_FIELD(win::OSVERSIONINFOEXA, OSVERSIONINFOEXA, wSuiteMask);
SAME_FIELD(win::OSVERSIONINFOEXA, OSVERSIONINFOEXA, wProductType);
SAME_FIELD(win::OSVERSIONINFOEXA, OSVERSIONINFOEXA, wReserved);

SAME_SIZE(win::PORT_INFO_2, PORT_INFO_2A);
SAME_FIELD(win::PORT_INFO_2, PORT_INFO_2A, pPortName);
SAME_FIELD(win::PORT_INFO_2, PORT_INFO_2A, pMonitorName);
SAME_FIELD(win::PORT_INFO_2, PORT_INFO_2A, pDescription);
SAME_FIELD(win::PORT_INFO_2, PORT_INFO_2A, fPortType);
SAME_FIELD(win::PORT_INFO_2, PORT_INFO_2A, Reserved);

SAME_SIZE(win::PRINTER_INFO_2, PRINTER_INFO_2A);
SAME_FIELD(win::PRINTER_INFO_2, PRINTER_INFO_2A, pServerName);
SAME_FIELD(win::PRINTER_INFO_2, PRINTER_INFO_2A, pPrinterName);
SAME_FIELD(win::PRINTER_INFO_2, PRINTER_INFO_2A, pShareName);
SAME_FIELD(win::PRINTER_INFO_2, PRINTER_INFO_2A, pPortName);
SAME_FIELD(win::PRINTER_INFO_2, PRINTER_INFO_2A, pDriverName);
SAME_FIELD(win::PRINTER_INFO_2, PRINTER_INFO_2A, pComment);
SAME_FIELD(win::PRINTER_INFO_2, PRINTER_INFO_2A, pLocation);
SAME_FIELD(win::PRINTER_INFO_2, PRINTER_INFO_2A, pDevMode);
SAME_FIELD(win::PRINTER_INFO_2, PRINTER_INFO_2A, pSepFile);
SAME_FIELD(win::PRINTER_INFO_2, PRINTER_INFO_2A, pPrintProcessor);
SAME_FIELD(win::PRINTER_INFO_2, PRINTER_INFO_2A, pDatatype);
SAME_FIELD(win::PRINTER_INFO_2, PRINTER_INFO_2A, pParameters);
SAME_FIELD(win::PRINTER_INFO_2, PRINTER_INFO_2A, pSecurityDescriptor);
SAME_FIELD(win::PRINTER_INFO_2, PRINTER_INFO_2A, Attributes);
SAME_FIELD(win::PRINTER_INFO_2, PRINTER_INFO_2A, Priority);
SAME_FIELD(win::PRINTER_INFO_2, PRINTER_INFO_2A, DefaultPriority);
SAME_FIELD(win::PRINTER_INFO_2, PRINTER_INFO_2A, StartTime);
SAME_FIELD(win::PRINTER_INFO_2, PRINTER_INFO_2A, UntilTime);
SAME_FIELD(win::PRINTER_INFO_2, PRINTER_INFO_2A, Status);
SAME_FIELD(win::PRINTER_INFO_2, PRINTER_INFO_2A, cJobs);
SAME_FIELD(win::PRINTER_INFO_2, PRINTER_INFO_2A, AveragePPM);

SAME_SIZE(win::DRIVER_INFO_3, DRIVER_INFO_3A);
SAME_FIELD(win::DRIVER_INFO_3, DRIVER_INFO_3A, cVersion);
SAME_FIELD(win::DRIVER_INFO_3, DRIVER_INFO_3A, pName);
SAME_FIELD(win::DRIVER_INFO_3, DRIVER_INFO_3A, pEnvironment);
SAME_FIELD(win::DRIVER_INFO_3, DRIVER_INFO_3A, pDriverPath);
SAME_FIELD(win::DRIVER_INFO_3, DRIVER_INFO_3A, pDataFile);
SAME_FIELD(win::DRIVER_INFO_3, DRIVER_INFO_3A, pConfigFile);
SAME_FIELD(win::DRIVER_INFO_3, DRIVER_INFO_3A, pHelpFile);
SAME_FIELD(win::DRIVER_INFO_3, DRIVER_INFO_3A, pDependentFiles);
SAME_FIELD(win::DRIVER_INFO_3, DRIVER_INFO_3A, pMonitorName);
SAME_FIELD(win::DRIVER_INFO_3, DRIVER_INFO_3A, pDefaultDataType);

SAME_SIZE(win::MONITOR_INFO_2, MONITOR_INFO_2A);
SAME_FIELD(win::MONITOR_INFO_2, MONITOR_INFO_2A, pName);
SAME_FIELD(win::MONITOR_INFO_2, MONITOR_INFO_2A, pEnvironment);
SAME_FIELD(win::MONITOR_INFO_2, MONITOR_INFO_2A, pDLLName);

SAME_SIZE(win::PRINTER_DEFAULTS, PRINTER_DEFAULTSA);
SAME_FIELD(win::PRINTER_DEFAULTS, PRINTER_DEFAULTSA, pDatatype);
SAME_FIELD(win::PRINTER_DEFAULTS, PRINTER_DEFAULTSA, pDevMode);
SAME_FIELD(win::PRINTER_DEFAULTS, PRINTER_DEFAULTSA, DesiredAccess);

// The list-view records stop where comctl32 4.70 stopped. Later versions
// appended fields (groups, columns' minimum widths) that a list view reads
// only under mask bits the installer never sets, so the project's records
// are whole prefixes of the current ones.
SAME_FIELD(win::LVITEMA, LVITEMA, mask);
SAME_FIELD(win::LVITEMA, LVITEMA, iItem);
SAME_FIELD(win::LVITEMA, LVITEMA, iSubItem);
SAME_FIELD(win::LVITEMA, LVITEMA, state);
SAME_FIELD(win::LVITEMA, LVITEMA, stateMask);
SAME_FIELD(win::LVITEMA, LVITEMA, pszText);
SAME_FIELD(win::LVITEMA, LVITEMA, cchTextMax);
SAME_FIELD(win::LVITEMA, LVITEMA, iImage);
SAME_FIELD(win::LVITEMA, LVITEMA, lParam);
SAME_FIELD(win::LVITEMA, LVITEMA, iIndent);
ENDS_AFTER(win::LVITEMA, LVITEMA, iIndent);

SAME_FIELD(win::LVCOLUMNA, LVCOLUMNA, mask);
SAME_FIELD(win::LVCOLUMNA, LVCOLUMNA, fmt);
SAME_FIELD(win::LVCOLUMNA, LVCOLUMNA, cx);
SAME_FIELD(win::LVCOLUMNA, LVCOLUMNA, pszText);
SAME_FIELD(win::LVCOLUMNA, LVCOLUMNA, cchTextMax);
SAME_FIELD(win::LVCOLUMNA, LVCOLUMNA, iSubItem);
SAME_FIELD(win::LVCOLUMNA, LVCOLUMNA, iImage);
SAME_FIELD(win::LVCOLUMNA, LVCOLUMNA, iOrder);
ENDS_AFTER(win::LVCOLUMNA, LVCOLUMNA, iOrder);

SAME_SIZE(win::OVERLAPPED, OVERLAPPED);
SAME_FIELD(win::OVERLAPPED, OVERLAPPED, Internal);
SAME_FIELD(win::OVERLAPPED, OVERLAPPED, InternalHigh);
SAME_FIELD(win::OVERLAPPED, OVERLAPPED, Offset);
SAME_FIELD(win::OVERLAPPED, OVERLAPPED, OffsetHigh);
SAME_FIELD(win::OVERLAPPED, OVERLAPPED, hEvent);

SAME_SIZE(win::COMMTIMEOUTS, COMMTIMEOUTS);
SAME_FIELD(win::COMMTIMEOUTS, COMMTIMEOUTS, ReadIntervalTimeout);
SAME_FIELD(win::COMMTIMEOUTS, COMMTIMEOUTS, ReadTotalTimeoutMultiplier);
SAME_FIELD(win::COMMTIMEOUTS, COMMTIMEOUTS, ReadTotalTimeoutConstant);
SAME_FIELD(win::COMMTIMEOUTS, COMMTIMEOUTS, WriteTotalTimeoutMultiplier);
SAME_FIELD(win::COMMTIMEOUTS, COMMTIMEOUTS, WriteTotalTimeoutConstant);

// COMSTAT and DCB begin with bit fields, which offsetof cannot name; the
// fields after them pin the layout.
SAME_SIZE(win::COMSTAT, COMSTAT);
SAME_FIELD(win::COMSTAT, COMSTAT, cbInQue);
SAME_FIELD(win::COMSTAT, COMSTAT, cbOutQue);

SAME_SIZE(win::DCB, DCB);
SAME_FIELD(win::DCB, DCB, DCBlength);
SAME_FIELD(win::DCB, DCB, BaudRate);
SAME_FIELD(win::DCB, DCB, wReserved);
SAME_FIELD(win::DCB, DCB, XonLim);
SAME_FIELD(win::DCB, DCB, XoffLim);
SAME_FIELD(win::DCB, DCB, ByteSize);
SAME_FIELD(win::DCB, DCB, Parity);
SAME_FIELD(win::DCB, DCB, StopBits);
SAME_FIELD(win::DCB, DCB, XonChar);
SAME_FIELD(win::DCB, DCB, XoffChar);
SAME_FIELD(win::DCB, DCB, ErrorChar);
SAME_FIELD(win::DCB, DCB, EofChar);
SAME_FIELD(win::DCB, DCB, EvtChar);
SAME_FIELD(win::DCB, DCB, wReserved1);

// Handles the seam passes around as opaque pointers.
static_assert(sizeof(win::HANDLE) == sizeof(HANDLE) && sizeof(win::HKEY) == sizeof(HKEY) &&
                  sizeof(win::SC_HANDLE) == sizeof(SC_HANDLE) && sizeof(win::HMODULE) == sizeof(HMODULE),
              "handle sizes");
static_assert(sizeof(win::DWORD) == sizeof(DWORD) && sizeof(win::LONG) == sizeof(LONG) &&
                  sizeof(win::WPARAM) == sizeof(WPARAM) && sizeof(win::LPARAM) == sizeof(LPARAM),
              "integer sizes");

// The backends call the W functions and lay the W records out again as A
// records (platform/win32/wide_records.h): both forms must have the same
// fields at the same places, the strings' type apart.
#define SAME_AS_WIDE(A, W, field) static_assert(offsetof(A, field) == offsetof(W, field), #A "::" #field " as in " #W)
static_assert(sizeof(PORT_INFO_1A) == sizeof(PORT_INFO_1W) && sizeof(PORT_INFO_2A) == sizeof(PORT_INFO_2W) &&
                  sizeof(PRINTER_INFO_1A) == sizeof(PRINTER_INFO_1W) &&
                  sizeof(PRINTER_INFO_2A) == sizeof(PRINTER_INFO_2W) &&
                  sizeof(PRINTER_INFO_4A) == sizeof(PRINTER_INFO_4W) &&
                  sizeof(PRINTER_INFO_5A) == sizeof(PRINTER_INFO_5W) &&
                  sizeof(DRIVER_INFO_1A) == sizeof(DRIVER_INFO_1W) && sizeof(DRIVER_INFO_2A) == sizeof(DRIVER_INFO_2W) &&
                  sizeof(DRIVER_INFO_3A) == sizeof(DRIVER_INFO_3W) &&
                  sizeof(MONITOR_INFO_2A) == sizeof(MONITOR_INFO_2W) &&
                  sizeof(ENUM_SERVICE_STATUSA) == sizeof(ENUM_SERVICE_STATUSW) &&
                  sizeof(PRINTER_DEFAULTSA) == sizeof(PRINTER_DEFAULTSW),
              "A and W records of the same size");
SAME_AS_WIDE(PORT_INFO_2A, PORT_INFO_2W, pDescription);
SAME_AS_WIDE(PORT_INFO_2A, PORT_INFO_2W, fPortType);
SAME_AS_WIDE(PRINTER_INFO_2A, PRINTER_INFO_2W, pDevMode);
SAME_AS_WIDE(PRINTER_INFO_2A, PRINTER_INFO_2W, pSecurityDescriptor);
SAME_AS_WIDE(PRINTER_INFO_2A, PRINTER_INFO_2W, AveragePPM);
SAME_AS_WIDE(DRIVER_INFO_3A, DRIVER_INFO_3W, pDependentFiles);
SAME_AS_WIDE(DRIVER_INFO_3A, DRIVER_INFO_3W, pDefaultDataType);
SAME_AS_WIDE(ENUM_SERVICE_STATUSA, ENUM_SERVICE_STATUSW, ServiceStatus);
// DEVMODEA is DEVMODEW with its two names in bytes.
static_assert(sizeof(DEVMODEW) - sizeof(DEVMODEA) == sizeof(WCHAR) * (CCHDEVICENAME + CCHFORMNAME) / 2,
              "DEVMODE's names");

// PORT_DATA_1 comes from tcpxcv.h, which mingw-w64 does not ship: its
// offsets as the "PORT_DATA_1 structure" page declares the fields.
static_assert(offsetof(win::PORT_DATA_1, dwVersion) == 128, "PORT_DATA_1::dwVersion");
static_assert(offsetof(win::PORT_DATA_1, sztHostAddress) == 144, "PORT_DATA_1::sztHostAddress");
static_assert(offsetof(win::PORT_DATA_1, dwDoubleSpool) == 308, "PORT_DATA_1::dwDoubleSpool");
static_assert(offsetof(win::PORT_DATA_1, sztIPAddress) == 378, "PORT_DATA_1::sztIPAddress");
static_assert(offsetof(win::PORT_DATA_1, dwPortNumber) == 952, "PORT_DATA_1::dwPortNumber");
static_assert(sizeof(win::WCHAR) == sizeof(WCHAR), "WCHAR");
