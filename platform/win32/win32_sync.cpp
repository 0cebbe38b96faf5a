// Windows backend: named mutexes, through kernel32.
#include "platform/win32/win32_sync.h"

#include <string>

#include "platform/win32/code_page.h"
#include "platform/win32/pass_through.h"

namespace platform::win32 {

namespace {

// The private namespace calls came with Vista; Wine 8 has
// CreateBoundaryDescriptorW fail and an AddSIDToBoundaryDescriptor that
// ends the process. All are looked up at run time.
using CreateBoundaryDescriptorWFunction = HANDLE(WINAPI*)(LPCWSTR, ULONG);
using AddSidToBoundaryDescriptorFunction = BOOL(WINAPI*)(HANDLE*, PSID);
using DeleteBoundaryDescriptorFunction = VOID(WINAPI*)(HANDLE);
using CreatePrivateNamespaceWFunction = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPVOID, LPCWSTR);
using OpenPrivateNamespaceWFunction = HANDLE(WINAPI*)(LPVOID, LPCWSTR);
using ClosePrivateNamespaceFunction = BOOLEAN(WINAPI*)(HANDLE, ULONG);

// Full access for SYSTEM and the Administrators group, nobody else.
const wchar_t kNamespaceAccess[] = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)";

using ConvertSecurityDescriptorFunction = BOOL(WINAPI*)(LPCWSTR, DWORD, PSECURITY_DESCRIPTOR*, PULONG);

}  // namespace

HANDLE Win32Sync::CreateMutexA(const win::SECURITY_ATTRIBUTES* security, BOOL initialOwner, const char* name) {
    return ::CreateMutexW(reinterpret_cast<::SECURITY_ATTRIBUTES*>(const_cast<win::SECURITY_ATTRIBUTES*>(security)),
                          initialOwner, WideArg(name).get());
}

HANDLE Win32Sync::CreatePrivateNamespaceMutex(BOOL initialOwner, const char* alias, const char* name,
                                              HANDLE* privateNamespace) {
    if (privateNamespace != nullptr) *privateNamespace = nullptr;
    if (privateNamespace == nullptr || alias == nullptr || *alias == '\0' || name == nullptr || *name == '\0') {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // Wine exports these names but implements none of them: some are stubs,
    // which a 32-bit caller cannot even call safely (a stub does not pop a
    // stdcall function's arguments, and the stack is off from then on).
    // Under Wine the system counts as one without namespaces.
    ::HMODULE ntdll = ::GetModuleHandleA("ntdll");
    if (ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr) {
        ::SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    const auto createBoundary = Kernel32Function<CreateBoundaryDescriptorWFunction>("CreateBoundaryDescriptorW");
    const auto addSid = Kernel32Function<AddSidToBoundaryDescriptorFunction>("AddSIDToBoundaryDescriptor");
    const auto deleteBoundary = Kernel32Function<DeleteBoundaryDescriptorFunction>("DeleteBoundaryDescriptor");
    const auto createNamespace = Kernel32Function<CreatePrivateNamespaceWFunction>("CreatePrivateNamespaceW");
    const auto openNamespace = Kernel32Function<OpenPrivateNamespaceWFunction>("OpenPrivateNamespaceW");
    const auto closeNamespace = Kernel32Function<ClosePrivateNamespaceFunction>("ClosePrivateNamespace");
    // advapi32 is imported anyway; the conversion exists from Windows 2000.
    ::HMODULE advapi32 = ::GetModuleHandleA("advapi32");
    const auto convert =
        advapi32 == nullptr ? nullptr
                            : reinterpret_cast<ConvertSecurityDescriptorFunction>(reinterpret_cast<void*>(
                                  ::GetProcAddress(advapi32, "ConvertStringSecurityDescriptorToSecurityDescriptorW")));
    if (createBoundary == nullptr || addSid == nullptr || deleteBoundary == nullptr || createNamespace == nullptr ||
        openNamespace == nullptr || closeNamespace == nullptr || convert == nullptr) {
        ::SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    // Only a boundary descriptor that was really made is handed on: where
    // making one fails, the system has no namespaces worth the name.
    const std::wstring wideAlias = Wide(alias);
    HANDLE boundary = createBoundary(wideAlias.c_str(), 0);
    if (boundary == nullptr) {
        ::SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    ::DWORD error = ERROR_SUCCESS;
    HANDLE space = nullptr;
    BYTE sid[SECURITY_MAX_SID_SIZE];
    ::DWORD sidSize = sizeof(sid);
    if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &sidSize) || !addSid(&boundary, sid)) {
        error = ::GetLastError();
    } else {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (!convert(kNamespaceAccess, 1 /* SDDL_REVISION_1 */, &descriptor, nullptr)) {
            error = ::GetLastError();
        } else {
            ::SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
            space = createNamespace(&attributes, boundary, wideAlias.c_str());
            // Another run made it: open it, which the boundary allows only
            // to a member of the Administrators group.
            if (space == nullptr && ::GetLastError() == ERROR_ALREADY_EXISTS) {
                space = openNamespace(boundary, wideAlias.c_str());
            }
            if (space == nullptr) error = ::GetLastError();
            ::LocalFree(descriptor);
        }
    }
    deleteBoundary(boundary);
    if (space == nullptr) {
        ::SetLastError(error);
        return nullptr;
    }
    const std::wstring path = wideAlias + L"\\" + Wide(name);
    HANDLE mutex = ::CreateMutexW(nullptr, initialOwner, path.c_str());
    if (mutex == nullptr) {
        error = ::GetLastError();
        closeNamespace(space, 0);
        ::SetLastError(error);
        return nullptr;
    }
    *privateNamespace = space;
    return mutex;
}

BOOL Win32Sync::ClosePrivateNamespace(HANDLE privateNamespace, win::DWORD flags) {
    const auto closeNamespace = Kernel32Function<ClosePrivateNamespaceFunction>("ClosePrivateNamespace");
    if (closeNamespace == nullptr) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return closeNamespace(privateNamespace, flags) ? TRUE : FALSE;
}

BOOL Win32Sync::ReleaseMutex(HANDLE mutex) { return ::ReleaseMutex(mutex); }

BOOL Win32Sync::CloseHandle(HANDLE handle) { return ::CloseHandle(handle); }

}  // namespace platform::win32
