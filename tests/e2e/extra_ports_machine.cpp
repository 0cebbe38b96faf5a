#include "tests/e2e/extra_ports_machine.h"

#include <cstring>
#include <utility>

namespace e2e {

namespace {

struct PortInfo1 {
    char* pName;
};

// A few tries: a port added between the sizing call and the filling call
// makes the second one short.
constexpr int kInnerAttempts = 4;

constexpr win::DWORD kPortTypeWrite = 0x1;  // PORT_TYPE_WRITE

const char* OrEmpty(const char* text) { return text != nullptr ? text : ""; }

// Records at the start of the buffer, the strings they point at after
// them. The buffer need not be aligned for the records: they are copied in.
class Packer {
public:
    Packer(win::BYTE* buffer, size_t recordBytes) : m_buffer(buffer), m_next(recordBytes) {}

    char* Put(const std::string& text) {
        char* at = reinterpret_cast<char*>(m_buffer + m_next);
        std::memcpy(at, text.c_str(), text.size() + 1);
        m_next += text.size() + 1;
        return at;
    }

    template <typename Record>
    void Store(size_t index, const Record& record) {
        std::memcpy(m_buffer + index * sizeof(Record), &record, sizeof(Record));
    }

private:
    win::BYTE* m_buffer;
    size_t m_next;
};

}  // namespace

ExtraPortsSpooler::ExtraPortsSpooler(platform::Machine& inner, std::vector<ExtraPort> extraPorts)
    : m_inner(inner), m_extraPorts(std::move(extraPorts)) {}

bool ExtraPortsSpooler::InnerPorts(const char* pName, std::vector<ExtraPort>* ports) {
    platform::Spooler& spooler = m_inner.spooler();
    for (int attempt = 0; attempt < kInnerAttempts; ++attempt) {
        win::DWORD needed = 0;
        win::DWORD count = 0;
        if (spooler.EnumPortsA(pName, 2, nullptr, 0, &needed, &count)) {
            if (needed == 0)
                return true;  // no ports at all
        } else if (m_inner.GetLastError() != win::ERROR_INSUFFICIENT_BUFFER) {
            return false;
        }
        std::vector<win::BYTE> buffer(needed);
        if (!spooler.EnumPortsA(pName, 2, buffer.data(), needed, &needed, &count)) {
            if (m_inner.GetLastError() == win::ERROR_INSUFFICIENT_BUFFER)
                continue;
            return false;
        }
        if (static_cast<size_t>(count) * sizeof(win::PORT_INFO_2) > buffer.size())
            return false;
        for (win::DWORD i = 0; i < count; ++i) {
            win::PORT_INFO_2 info;
            std::memcpy(&info, buffer.data() + i * sizeof info, sizeof info);
            ports->push_back({OrEmpty(info.pPortName), OrEmpty(info.pMonitorName), OrEmpty(info.pDescription)});
        }
        return true;
    }
    return false;
}

win::BOOL ExtraPortsSpooler::EnumPortsA(const char* pName,
                                        win::DWORD level,
                                        win::BYTE* pBuf,
                                        win::DWORD cbBuf,
                                        win::DWORD* pcbNeeded,
                                        win::DWORD* pcReturned) {
    // Whatever this class does not fill, the spooler refuses in its own way.
    if ((level != 1 && level != 2) || pcbNeeded == nullptr || pcReturned == nullptr || (pBuf == nullptr && cbBuf > 0)) {
        return m_inner.spooler().EnumPortsA(pName, level, pBuf, cbBuf, pcbNeeded, pcReturned);
    }
    const win::DWORD callersError = m_inner.GetLastError();
    *pcReturned = 0;
    std::vector<ExtraPort> ports;
    if (!InnerPorts(pName, &ports))
        return 0;
    ports.insert(ports.end(), m_extraPorts.begin(), m_extraPorts.end());

    const size_t recordSize = level == 1 ? sizeof(PortInfo1) : sizeof(win::PORT_INFO_2);
    size_t needed = recordSize * ports.size();
    for (const ExtraPort& port : ports) {
        needed += port.name.size() + 1;
        if (level == 2)
            needed += port.monitor.size() + 1 + port.description.size() + 1;
    }
    *pcbNeeded = static_cast<win::DWORD>(needed);
    if (cbBuf < needed) {
        m_inner.SetLastError(win::ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }

    Packer out(pBuf, recordSize * ports.size());
    for (size_t i = 0; i < ports.size(); ++i) {
        if (level == 1) {
            out.Store(i, PortInfo1{out.Put(ports[i].name)});
            continue;
        }
        win::PORT_INFO_2 info{};
        info.pPortName = out.Put(ports[i].name);
        info.pMonitorName = out.Put(ports[i].monitor);
        info.pDescription = out.Put(ports[i].description);
        info.fPortType = kPortTypeWrite;
        out.Store(i, info);
    }
    *pcReturned = static_cast<win::DWORD>(ports.size());
    m_inner.SetLastError(callersError);
    return 1;
}

win::BOOL ExtraPortsSpooler::EnumPrintersA(win::DWORD flags,
                                           const char* name,
                                           win::DWORD level,
                                           win::BYTE* pBuf,
                                           win::DWORD cbBuf,
                                           win::DWORD* pcbNeeded,
                                           win::DWORD* pcReturned) {
    return m_inner.spooler().EnumPrintersA(flags, name, level, pBuf, cbBuf, pcbNeeded, pcReturned);
}

win::BOOL ExtraPortsSpooler::GetPrinterDriverDirectoryA(const char* pName,
                                                        const char* pEnvironment,
                                                        win::DWORD level,
                                                        win::BYTE* pDriverDirectory,
                                                        win::DWORD cbBuf,
                                                        win::DWORD* pcbNeeded) {
    return m_inner.spooler().GetPrinterDriverDirectoryA(pName, pEnvironment, level, pDriverDirectory, cbBuf, pcbNeeded);
}

win::BOOL ExtraPortsSpooler::AddPrinterDriverExA(const char* pName,
                                                 win::DWORD level,
                                                 win::BYTE* pDriverInfo,
                                                 win::DWORD copyFlags) {
    return m_inner.spooler().AddPrinterDriverExA(pName, level, pDriverInfo, copyFlags);
}

win::BOOL ExtraPortsSpooler::AddMonitorA(const char* pName, win::DWORD level, win::BYTE* pMonitors) {
    return m_inner.spooler().AddMonitorA(pName, level, pMonitors);
}

win::BOOL ExtraPortsSpooler::DeleteMonitorA(const char* pName, const char* pEnvironment, const char* pMonitorName) {
    return m_inner.spooler().DeleteMonitorA(pName, pEnvironment, pMonitorName);
}

win::BOOL ExtraPortsSpooler::OpenPrinterA(const char* pPrinterName,
                                          win::HANDLE* phPrinter,
                                          win::PRINTER_DEFAULTS* pDefault) {
    return m_inner.spooler().OpenPrinterA(pPrinterName, phPrinter, pDefault);
}

win::BOOL ExtraPortsSpooler::SetPrinterA(win::HANDLE hPrinter,
                                         win::DWORD level,
                                         win::BYTE* pPrinter,
                                         win::DWORD command) {
    return m_inner.spooler().SetPrinterA(hPrinter, level, pPrinter, command);
}

win::BOOL ExtraPortsSpooler::DeletePrinter(win::HANDLE hPrinter) { return m_inner.spooler().DeletePrinter(hPrinter); }

win::BOOL ExtraPortsSpooler::ClosePrinter(win::HANDLE hPrinter) { return m_inner.spooler().ClosePrinter(hPrinter); }

win::HANDLE ExtraPortsSpooler::AddPrinterA(const char* pName, win::DWORD level, win::BYTE* pPrinter) {
    return m_inner.spooler().AddPrinterA(pName, level, pPrinter);
}

win::BOOL ExtraPortsSpooler::AddPortA(const char* pName, void* hWnd, const char* pMonitorName) {
    return m_inner.spooler().AddPortA(pName, hWnd, pMonitorName);
}

win::BOOL ExtraPortsSpooler::ConfigurePortA(const char* pName, void* hWnd, const char* pPortName) {
    return m_inner.spooler().ConfigurePortA(pName, hWnd, pPortName);
}

win::BOOL ExtraPortsSpooler::DeletePortA(const char* pName, void* hWnd, const char* pPortName) {
    return m_inner.spooler().DeletePortA(pName, hWnd, pPortName);
}

ExtraPortsMachine::ExtraPortsMachine(platform::Machine& inner, std::vector<ExtraPort> extraPorts)
    : m_inner(inner), m_spooler(inner, std::move(extraPorts)) {}

}  // namespace e2e
