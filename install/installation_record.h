// The installation record: one registry key per printer that this program
// installed, for deployment engines' detection rules (docs/deploying.md).
// It lives in the 64-bit registry view, where the engines' 64-bit agents
// look, whatever the width of the program:
//   HKLM\SOFTWARE\DriverSetup\Printers\<printer name>
//     ProgramVersion  REG_SZ  the program's version, "1.1.0"
//     PackageSha256   REG_SZ  the package file's SHA-256 (absent when unread)
//     DriverVersion   REG_SZ  the driver's main DLL's file version "a.b.c.d"
//                             (absent where the DLL has no version resource)
//     Port            REG_SZ  the port the printer is on
//     InstalledAt     REG_SZ  when, in UTC: "2026-01-31T09:05:00Z"
// A record is written whole: an older one of the printer goes first, so no
// value of an earlier installation outlives it.
#pragma once

#include <string>

#include "platform/machine.h"

namespace install {

// Below HKEY_LOCAL_MACHINE.
extern const char* const RECORD_PRODUCT_KEY;   // SOFTWARE\DriverSetup
extern const char* const RECORD_PRINTERS_KEY;  // SOFTWARE\DriverSetup\Printers

class InstallationRecord {
public:
    InstallationRecord(platform::Machine& machine, std::string programVersion)
        : m_machine(machine), m_programVersion(std::move(programVersion)) {}

    // Writes the record of `printer`; false with *why (in English, for the
    // log) when it cannot be.
    bool Write(const std::string& printer, const std::string& port, const std::string& packageSha256,
               std::string* why);
    // Deletes the record of `printer`, then the product's keys it leaves
    // empty. True when no record remains (also when there was none).
    bool Remove(const std::string& printer, std::string* why);

private:
    // The file version of the printer's driver DLL; empty when the spooler
    // does not name one or it has no version resource.
    std::string DriverVersion(const std::string& printer);
    std::string DriverName(const std::string& printer);
    std::string FileVersion(const std::string& path);
    std::string UtcNow();
    // Deletes the key at `path` (below HKLM, 64-bit view) when it has no
    // subkey and no value left.
    void DeleteIfEmpty(const char* path);

    platform::Machine& m_machine;
    const std::string m_programVersion;
};

}  // namespace install
