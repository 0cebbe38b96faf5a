// Logging machine: the package unpacker (the system library and the
// system information pass through here too, unlogged).
#pragma once

#include "platform/archive.h"
#include "platform/logging/call_recorder.h"
#include "platform/system_info.h"

namespace platform::logging {

// Each extraction is logged with the archive and the folder it went to.
class LoggingArchive : public ArchiveLibrary {
public:
    explicit LoggingArchive(CallRecorder& recorder) : m_recorder(recorder) {}

    HMODULE LoadUnpacker() override { return inner().LoadUnpacker(); }
    bool HasEntryPoints(HMODULE module) override { return inner().HasEntryPoints(module); }
    int Extract(HMODULE module, const char* archivePath, const char* outputFolder,
                std::vector<std::string>* unpacked) override;
    BOOL FreeLibrary(HMODULE module) override { return inner().FreeLibrary(module); }

private:
    ArchiveLibrary& inner() { return m_recorder.inner().archive(); }

    CallRecorder& m_recorder;
};

// Which Windows this is: nothing worth a line.
class LoggingSystemInfo : public SystemInfo {
public:
    explicit LoggingSystemInfo(CallRecorder& recorder) : m_recorder(recorder) {}

    BOOL GetVersionExA(win::OSVERSIONINFOEXA* info) override { return inner().GetVersionExA(info); }
    bool HasIsWow64Process() override { return inner().HasIsWow64Process(); }
    BOOL IsWow64Process(HANDLE process, BOOL* wow64) override { return inner().IsWow64Process(process, wow64); }
    bool HasIsWow64Process2() override { return inner().HasIsWow64Process2(); }
    BOOL IsWow64Process2(HANDLE process, win::USHORT* processMachine, win::USHORT* nativeMachine) override {
        return inner().IsWow64Process2(process, processMachine, nativeMachine);
    }
    win::HRESULT QueryProtectedPrintEnabled(BOOL* enabled) override {
        return inner().QueryProtectedPrintEnabled(enabled);
    }

private:
    SystemInfo& inner() { return m_recorder.inner().system(); }

    CallRecorder& m_recorder;
};

// The plugged-in USB printers: the line names every port an interface
// points at, so that a log shows which witness found a USB printer.
class LoggingDevices : public Devices {
public:
    explicit LoggingDevices(CallRecorder& recorder) : m_recorder(recorder) {}

    BOOL EnumPresentUsbPrintInterfaces(std::vector<UsbPrintInterface>* interfaces) override;

private:
    CallRecorder& m_recorder;
};

}  // namespace platform::logging
