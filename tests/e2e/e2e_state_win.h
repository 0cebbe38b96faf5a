// Windows (the end-to-end driver under Wine): what an installation left on
// the machine, read from the spooler's own enumerations, the registry and
// the file system.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

struct PrinterRecord {
    std::string name;
    std::string port;
    std::string driver;
};

struct DriverRecord {
    std::string name;
    std::string driverPath;
    std::string monitor;
};

std::vector<PrinterRecord> Printers();
// The printers' names as the spooler keeps them, in UTF-16.
std::vector<std::wstring> PrinterNamesW();
std::vector<DriverRecord> Drivers(const char* environment);
std::vector<std::string> MonitorNames();
std::string DriverDirectory(const char* environment);
std::string SystemDirectory();
std::string WindowsDirectory();

// The value's text, or "<missing>" when the key or value is not there.
std::string RegistryString(HKEY root, const char* path, const char* value);
// The names of a key's values, in the registry's order.
std::vector<std::string> RegistryValueNames(HKEY root, const char* path);

bool Exists(const char* path);
bool Exists(const wchar_t* path);

// The folders the installer unpacked its package into, as full paths: the
// "DriverSetup-*" folders in the temporary folder, which the installer,
// run by the same user, asks for as this process does.
std::vector<std::string> StagingFolders();
// Whether a package is unpacked anywhere: in a staging folder, or at the
// root of the drive, where no run may put it.
bool PackageUnpacked();

int CountPrinters(const std::string& name);
int CountDrivers(const char* environment, const std::string& name);

}  // namespace e2e
