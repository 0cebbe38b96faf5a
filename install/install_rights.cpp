#include "install/install_rights.h"

#include <cstring>
#include <vector>

namespace install {

namespace {

const char* const kNotElevatedBox =
    "需要管理员权限才能安装打印机驱动程序,本程序没有对系统做任何更改。\r\n\r\n"
    "请右键单击本程序,选择\"以管理员身份运行\"后重新安装;或请管理员登录后安装。";
const char* const kProtectedPrintBox =
    "Windows受保护的打印模式已开启:系统只使用Windows自带的打印驱动程序,不允许安装其他驱动程序。"
    "本程序没有对系统做任何更改。\r\n\r\n"
    "如需安装,请管理员关闭该模式(\"设置 > 蓝牙和其他设备 > 打印机和扫描仪 > Windows受保护的打印模式\","
    "或组策略\"计算机配置 > 管理模板 > 打印机 > 配置Windows受保护的打印\"设为\"已禁用\"),然后重新运行本程序。";

// A DWORD policy value under HKEY_LOCAL_MACHINE, or -1 when it is not set.
// The 64-bit view is asked for, so that a 32-bit program on 64-bit Windows
// reads what the system's own components read ("Accessing an Alternate
// Registry View"; 32-bit Windows ignores the flag).
long long ReadPolicy(platform::Registry& registry, const char* path, const char* name) {
    win::HKEY key = nullptr;
    if (registry.RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, path, 0, win::KEY_QUERY_VALUE | win::KEY_WOW64_64KEY, &key) !=
        static_cast<win::LONG>(win::ERROR_SUCCESS)) {
        return -1;
    }
    win::DWORD type = 0;
    win::DWORD value = 0;
    win::DWORD size = sizeof value;
    const win::LONG status =
        registry.RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<win::BYTE*>(&value), &size);
    registry.RegCloseKey(key);
    if (status != static_cast<win::LONG>(win::ERROR_SUCCESS) || type != win::REG_DWORD || size != sizeof value) return -1;
    return value;
}

// Whether the token holds the privilege, enabled or not; true when the
// token's privileges cannot be read, as before these checks.
bool HoldsPrivilege(platform::Services& services, win::HANDLE token, const char* name) {
    win::LUID luid{};
    if (!services.LookupPrivilegeValueA(nullptr, name, &luid)) return true;
    win::DWORD needed = 0;
    services.GetTokenInformation(token, win::TokenPrivileges, nullptr, 0, &needed);
    if (needed < sizeof(win::DWORD)) return true;
    std::vector<win::DWORD> buffer((needed + sizeof(win::DWORD) - 1) / sizeof(win::DWORD));
    if (!services.GetTokenInformation(token, win::TokenPrivileges, buffer.data(),
                                      static_cast<win::DWORD>(buffer.size() * sizeof(win::DWORD)), &needed)) {
        return true;
    }
    const auto* privileges = reinterpret_cast<const win::TOKEN_PRIVILEGES*>(buffer.data());
    const win::DWORD room = static_cast<win::DWORD>((buffer.size() * sizeof(win::DWORD) - sizeof(win::DWORD)) /
                                                    sizeof(win::LUID_AND_ATTRIBUTES));
    const win::DWORD count = privileges->PrivilegeCount < room ? privileges->PrivilegeCount : room;
    for (win::DWORD i = 0; i < count; ++i) {
        const win::LUID& held = privileges->Privileges[i].Luid;
        if (held.LowPart == luid.LowPart && held.HighPart == luid.HighPart) return true;
    }
    return false;
}

}  // namespace

RightsFindings ExamineRights(platform::Machine& machine) {
    RightsFindings found;
    platform::Services& services = machine.services();
    win::HANDLE token = nullptr;
    if (services.OpenProcessToken(services.GetCurrentProcess(), win::TOKEN_QUERY, &token)) {
        // "TOKEN_ELEVATION structure": nonzero when the token is elevated.
        // Before Vista the call fails, and the privilege alone tells.
        win::TOKEN_ELEVATION elevation{};
        win::DWORD size = 0;
        if (services.GetTokenInformation(token, win::TokenElevation, &elevation, sizeof elevation, &size)) {
            found.elevated = elevation.TokenIsElevated != 0;
        }
        found.loadDriverPrivilege = HoldsPrivilege(services, token, "SeLoadDriverPrivilege");
        services.CloseHandle(token);
    }

    platform::Registry& registry = machine.registry();
    found.protectedPrintPolicy = ReadPolicy(registry, PROTECTED_PRINT_POLICY_KEY, PROTECTED_PRINT_POLICY_VALUE) == 1;
    win::BOOL enabled = 0;
    found.protectedPrintRuntime = machine.system().QueryProtectedPrintEnabled(&enabled) == win::S_OK && enabled != 0;
    const long long level = ReadPolicy(registry, VALIDATION_POLICY_KEY, VALIDATION_POLICY_VALUE);
    if (level >= 0 && level <= VALIDATION_ALL_SIGNED) found.validationLevel = static_cast<int>(level);
    return found;
}

bool InstallRights::Check() {
    const RightsFindings found = ExamineRights(m_machine);
    if (!found.AdministratorRights()) {
        return Refuse(TEXT_NOT_ELEVATED, kNotElevatedBox,
                      found.elevated ? "the process token lacks SeLoadDriverPrivilege"
                                     : "the process is not elevated: an administrator's rights are needed",
                      run::Refusal::kNotElevated);
    }
    if (found.protectedPrintPolicy || found.protectedPrintRuntime) {
        return Refuse(TEXT_PROTECTED_PRINT, kProtectedPrintBox,
                      found.protectedPrintPolicy ? "Windows protected print mode is on (policy)"
                                                 : "Windows protected print mode is on",
                      run::Refusal::kPolicy);
    }
    if (found.validationLevel >= 0 && found.validationLevel < VALIDATION_ALL_SIGNED) {
        m_view.AppMessageBox(ValidationWarning(found.validationLevel), win::MB_OK);
    }
    return true;
}

std::string InstallRights::ValidationWarning(int level) {
    // "Configure Driver Validation Level" (Policy CSP - Printers).
    static const char* const kAccepted[] = {
        "只接受Windows自带的驱动程序",
        "只接受Windows自带的和PrintDrivers证书存储中证书签名的驱动程序",
        "只接受Windows自带的、PrintDrivers证书存储中证书签名的和WHQL签名的驱动程序",
        "只接受Windows自带的、PrintDrivers证书存储中证书签名的、WHQL签名的和受信任的发布者签名的驱动程序",
    };
    const int shown = level < 0 ? 0 : (level > 3 ? 3 : level);
    return "系统策略\"配置驱动程序验证级别\"为" + std::to_string(level) + "级," + kAccepted[shown] +
           ",可能拒绝本程序的驱动程序。\r\n\r\n如安装失败,请管理员将该策略设为4级(所有有效签名的驱动程序)或将其禁用。";
}

bool InstallRights::Refuse(const char* status, const char* box, const char* why, run::Refusal refusal) {
    m_view.PublishStatus(status);
    m_view.AppMessageBox(box, win::MB_OK);
    m_view.EndRun(run::RunOutcome::Stopped(why, refusal));
    return false;
}

}  // namespace install
