// Windows backend: the real machine, every service a thin pass-through.
#pragma once

#include "platform/machine.h"
#include "platform/win32/win32_archive.h"
#include "platform/win32/win32_devices.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_serial.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_spooler.h"
#include "platform/win32/win32_sync.h"
#include "platform/win32/win32_system_info.h"

namespace platform::win32 {

class Win32Machine : public Machine {
public:
    Win32Machine() = default;

    Spooler& spooler() override { return m_spooler; }
    Registry& registry() override { return m_registry; }
    Services& services() override { return m_services; }
    SystemInfo& system() override { return m_system; }
    Files& files() override { return m_files; }
    ArchiveLibrary& archive() override { return m_archive; }
    Serial& serial() override { return m_serial; }
    Devices& devices() override { return m_devices; }
    Sync& sync() override { return m_sync; }

    win::DWORD GetLastError() override;
    void SetLastError(win::DWORD code) override;
    void Sleep(win::DWORD milliseconds) override;
    win::DWORD GetTickCount() override;
    void GetSystemTime(win::SYSTEMTIME* time) override;

private:
    Win32Spooler m_spooler;
    Win32Registry m_registry;
    Win32Services m_services;
    Win32SystemInfo m_system;
    Win32Files m_files;
    Win32Archive m_archive;
    Win32Serial m_serial;
    Win32Devices m_devices;
    Win32Sync m_sync;
};

}  // namespace platform::win32
