// Windows backend: the version and WOW64 queries.
#include "platform/win32/win32_system_info.h"

#include "platform/win32/windows_support.h"

namespace platform::win32 {

namespace {

using GetVersionExAFunction = ::BOOL(WINAPI*)(::OSVERSIONINFOA*);
using IsWow64ProcessFunction = ::BOOL(WINAPI*)(::HANDLE, ::BOOL*);
using IsWow64Process2Function = ::BOOL(WINAPI*)(::HANDLE, ::USHORT*, ::USHORT*);

}  // namespace

BOOL Win32SystemInfo::GetVersionExA(win::OSVERSIONINFOEXA* info) {
    auto getVersionEx = Kernel32Function<GetVersionExAFunction>("GetVersionExA");
    if (getVersionEx == nullptr) return FALSE;  // GetProcAddress has set the last error
    return getVersionEx(reinterpret_cast<::OSVERSIONINFOA*>(info));
}

bool Win32SystemInfo::HasIsWow64Process() { return Kernel32Export("IsWow64Process") != nullptr; }

BOOL Win32SystemInfo::IsWow64Process(HANDLE process, BOOL* wow64) {
    auto isWow64Process = Kernel32Function<IsWow64ProcessFunction>("IsWow64Process");
    if (isWow64Process == nullptr) return FALSE;
    return isWow64Process(process, wow64);
}

bool Win32SystemInfo::HasIsWow64Process2() { return Kernel32Export("IsWow64Process2") != nullptr; }

BOOL Win32SystemInfo::IsWow64Process2(HANDLE process, win::USHORT* processMachine, win::USHORT* nativeMachine) {
    auto isWow64Process2 = Kernel32Function<IsWow64Process2Function>("IsWow64Process2");
    if (isWow64Process2 == nullptr) return FALSE;
    return isWow64Process2(process, processMachine, nativeMachine);
}

namespace {

// The Windows Runtime entry points of combase.dll ("RoGetActivationFactory
// function", "WindowsCreateString function"), an HSTRING as an opaque pointer.
using RoInitializeFunction = ::HRESULT(WINAPI*)(int initType);
using RoUninitializeFunction = void(WINAPI*)();
using WindowsCreateStringFunction = ::HRESULT(WINAPI*)(const wchar_t* text, ::UINT32 length, void** string);
using WindowsDeleteStringFunction = ::HRESULT(WINAPI*)(void* string);
using RoGetActivationFactoryFunction = ::HRESULT(WINAPI*)(void* classId, const ::GUID& iid, void** factory);

constexpr int kRoInitMultithreaded = 1;
constexpr ::HRESULT kChangedMode = static_cast<::HRESULT>(0x80010106);  // RPC_E_CHANGED_MODE

// IWindowsProtectedPrintInfoStatics (Windows.Graphics.Printing.ProtectedPrint
// in the Windows SDK's metadata): IInspectable's six methods, then the
// property's getter, whose boolean is one byte.
struct ProtectedPrintInfoStatics;
struct ProtectedPrintInfoStaticsVtbl {
    ::HRESULT(STDMETHODCALLTYPE* QueryInterface)(ProtectedPrintInfoStatics*, const ::GUID&, void**);
    ::ULONG(STDMETHODCALLTYPE* AddRef)(ProtectedPrintInfoStatics*);
    ::ULONG(STDMETHODCALLTYPE* Release)(ProtectedPrintInfoStatics*);
    ::HRESULT(STDMETHODCALLTYPE* GetIids)(ProtectedPrintInfoStatics*, ::ULONG*, ::GUID**);
    ::HRESULT(STDMETHODCALLTYPE* GetRuntimeClassName)(ProtectedPrintInfoStatics*, void**);
    ::HRESULT(STDMETHODCALLTYPE* GetTrustLevel)(ProtectedPrintInfoStatics*, int*);
    ::HRESULT(STDMETHODCALLTYPE* get_IsProtectedPrintEnabled)(ProtectedPrintInfoStatics*, unsigned char*);
};
struct ProtectedPrintInfoStatics {
    const ProtectedPrintInfoStaticsVtbl* lpVtbl;
};
// {a7d212f3-4168-5485-98ab-d89d04603b40}
const ::GUID kIidProtectedPrintInfoStatics = {0xa7d212f3, 0x4168, 0x5485, {0x98, 0xab, 0xd8, 0x9d, 0x04, 0x60, 0x3b, 0x40}};
const wchar_t kProtectedPrintInfoClass[] = L"Windows.Graphics.Printing.ProtectedPrint.WindowsProtectedPrintInfo";

template <typename Function>
Function Export(::HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

}  // namespace

win::HRESULT Win32SystemInfo::QueryProtectedPrintEnabled(BOOL* enabled) {
    if (enabled == nullptr) return E_POINTER;
    *enabled = FALSE;
    ::HMODULE combase = LoadSystemLibrary("combase.dll");
    if (combase == nullptr) return HRESULT_FROM_WIN32(::GetLastError());
    auto roInitialize = Export<RoInitializeFunction>(combase, "RoInitialize");
    auto roUninitialize = Export<RoUninitializeFunction>(combase, "RoUninitialize");
    auto createString = Export<WindowsCreateStringFunction>(combase, "WindowsCreateString");
    auto deleteString = Export<WindowsDeleteStringFunction>(combase, "WindowsDeleteString");
    auto getFactory = Export<RoGetActivationFactoryFunction>(combase, "RoGetActivationFactory");
    ::HRESULT result = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    if (roInitialize && roUninitialize && createString && deleteString && getFactory) {
        // A thread already in a single-threaded apartment keeps it; only a
        // successful initialisation is undone.
        const ::HRESULT initialised = roInitialize(kRoInitMultithreaded);
        if (SUCCEEDED(initialised) || initialised == kChangedMode) {
            void* classId = nullptr;
            result = createString(kProtectedPrintInfoClass,
                                  static_cast<::UINT32>(sizeof kProtectedPrintInfoClass / sizeof(wchar_t) - 1), &classId);
            if (SUCCEEDED(result)) {
                ProtectedPrintInfoStatics* statics = nullptr;
                result = getFactory(classId, kIidProtectedPrintInfoStatics, reinterpret_cast<void**>(&statics));
                if (SUCCEEDED(result) && statics != nullptr) {
                    unsigned char on = 0;
                    result = statics->lpVtbl->get_IsProtectedPrintEnabled(statics, &on);
                    if (SUCCEEDED(result)) *enabled = on != 0 ? TRUE : FALSE;
                    statics->lpVtbl->Release(statics);
                } else if (SUCCEEDED(result)) {
                    result = E_NOINTERFACE;
                }
                deleteString(classId);
            }
            if (SUCCEEDED(initialised)) roUninitialize();
        } else {
            result = initialised;
        }
    }
    ::FreeLibrary(combase);
    return result;
}

}  // namespace platform::win32
