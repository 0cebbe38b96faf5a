// Simulated machine: COM ports backed by host character devices (in tests,
// the slave ends of pseudo-terminals), and the kernel's event objects.
//
// Each open port behaves like the Windows serial driver: a helper thread
// moves input from the device into the port's own input queue, records the
// comm events that occurred (the driver's history mask) and completes
// overlapped reads, writes and event waits, signalling their events.
// Closing the handle aborts what is still pending with
// ERROR_OPERATION_ABORTED. One mutex and one condition variable guard all
// ports and events of a machine, so that a wait on several objects sees
// every completion.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/serial.h"
#include "platform/sim/sim_env.h"

namespace platform::sim {

// Faults through SimEnv, by the Win32 names: "CreateFileA", "SetupComm",
// "SetCommTimeouts", "SetCommMask", "GetCommMask", "GetCommState",
// "BuildCommDCBA", "SetCommState", "PurgeComm", "WaitCommEvent",
// "ClearCommError", "ReadFile", "WriteFile", "GetOverlappedResult",
// "CreateEventA".
class SimSerial : public platform::Serial {
public:
    explicit SimSerial(SimEnv& env);
    ~SimSerial() override;
    SimSerial(const SimSerial&) = delete;
    SimSerial& operator=(const SimSerial&) = delete;

    // COMn opens hostPath from now on. A port open at the time keeps its
    // device.
    void MapPort(int comNumber, std::string hostPath);
    void UnmapPort(int comNumber);

    // What a test may want to see: bytes in the input queue of the open
    // COMn (-1 when it is not open), and whether COMn is open.
    int InputQueueLength(int comNumber);
    bool IsPortOpen(int comNumber);

    // platform::Serial
    HANDLE CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode,
                       const win::SECURITY_ATTRIBUTES* security, DWORD creationDisposition,
                       DWORD flagsAndAttributes, HANDLE templateFile) override;
    BOOL SetupComm(HANDLE file, DWORD inQueue, DWORD outQueue) override;
    BOOL SetCommTimeouts(HANDLE file, win::COMMTIMEOUTS* timeouts) override;
    BOOL SetCommMask(HANDLE file, DWORD eventMask) override;
    BOOL GetCommMask(HANDLE file, DWORD* eventMask) override;
    BOOL GetCommState(HANDLE file, win::DCB* dcb) override;
    BOOL BuildCommDCBA(const char* definition, win::DCB* dcb) override;
    BOOL SetCommState(HANDLE file, win::DCB* dcb) override;
    BOOL PurgeComm(HANDLE file, DWORD flags) override;
    BOOL WaitCommEvent(HANDLE file, DWORD* eventMask, win::OVERLAPPED* overlapped) override;
    BOOL ClearCommError(HANDLE file, DWORD* errors, win::COMSTAT* status) override;
    BOOL ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read, win::OVERLAPPED* overlapped) override;
    BOOL WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* written,
                   win::OVERLAPPED* overlapped) override;
    BOOL GetOverlappedResult(HANDLE file, win::OVERLAPPED* overlapped, DWORD* transferred, BOOL wait) override;
    HANDLE CreateEventA(const win::SECURITY_ATTRIBUTES* security, BOOL manualReset, BOOL initialState,
                        const char* name) override;
    BOOL SetEvent(HANDLE event) override;
    BOOL ResetEvent(HANDLE event) override;
    DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) override;
    BOOL CloseHandle(HANDLE handle) override;
    std::string FormatSystemMessage(DWORD code) override;

private:
    struct Event {
        bool manualReset;
        bool signalled;
    };
    enum class OpKind { kRead, kWrite, kWaitEvent };
    struct Operation;
    struct Port;

    // All of these expect m_mutex held.
    Port* FindPortLocked(HANDLE handle);
    Event* FindEventLocked(HANDLE handle);
    HANDLE NewHandleLocked();
    void SignalLocked(HANDLE event);
    bool PullInputLocked(Port& port);  // true when bytes came
    void PushOutputLocked(Port& port);
    void ServiceLocked(Port& port);
    void ServeOperationsLocked(Port& port);
    void CompleteLocked(Port& port, Operation& op, std::uint32_t status);
    void AbortLocked(Port& port, OpKind kind);
    std::shared_ptr<Operation> StartLocked(Port& port, OpKind kind, win::OVERLAPPED* overlapped);
    BOOL FinishStartLocked(std::unique_lock<std::mutex>& lock, Port& port, const std::shared_ptr<Operation>& op,
                           DWORD* transferred);
    void WakeHelper(Port& port);
    void HelperMain(Port* port);
    BOOL Fail(DWORD error);
    bool TakeFault(const char* operation);

    SimEnv& m_env;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::uintptr_t m_nextHandle = 0x100;
    std::map<int, std::string> m_portMap;
    std::map<HANDLE, Event> m_events;
    std::map<HANDLE, std::unique_ptr<Port>> m_ports;
};

}  // namespace platform::sim
