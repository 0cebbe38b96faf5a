// Simulated machine: what WOW64 does to the names a 32-bit program uses on
// 64-bit Windows, for the files and registry services to apply in front of
// their own path resolution.
#pragma once

#include <string>
#include <vector>

namespace platform::sim {

// The folders under C:\ a 32-bit program reaches through `components` (a
// path on drive C: split into its names, as SplitWindowsPath gives them).
// Follows the "File System Redirector" page: Windows\System32 goes to
// Windows\SysWOW64, except its catroot, catroot2, driverstore, drivers\etc,
// logfiles and spool folders; Windows\Sysnative is the real System32.
// Without `sysnative` (64-bit Windows XP and Server 2003 without the update
// that added the alias, KB942589) Windows\Sysnative is no folder at all.
std::vector<std::string> Wow64FileComponents(std::vector<std::string> components, bool sysnative = true);

// The HKEY_LOCAL_MACHINE key a 32-bit program reaches through
// `localMachinePath` in its own (32-bit) view. Follows "Registry Keys
// Affected by WOW64" (Windows 7 and later): SOFTWARE goes to
// SOFTWARE\WOW6432Node except the shared keys below it, among them
// Microsoft\Windows NT\CurrentVersion\Print and ...\Ports. A path that names
// WOW6432Node already stays as it is.
std::string Wow64RegistryPath(const std::string& localMachinePath);

}  // namespace platform::sim
