// Simulated machine: the system's texts for error codes.
#include "platform/sim/sim_system_messages.h"

namespace platform::sim {

namespace {

struct MessageText {
    win::DWORD code;
    const char* text;
};

// Windows 10's English texts for the codes a serial port, the spooler, the
// service manager and the files produce (the serial channel's failure box
// and the call log show them).
const MessageText kMessages[] = {
    {0, "The operation completed successfully."},
    {1, "Incorrect function."},
    {2, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {5, "Access is denied."},
    {6, "The handle is invalid."},
    {8, "Not enough memory resources are available to process this command."},
    {18, "There are no more files."},
    {21, "The device is not ready."},
    {22, "The device does not recognize the command."},
    {31, "A device attached to the system is not functioning."},
    {32, "The process cannot access the file because it is being used by another process."},
    {50, "The request is not supported."},
    {80, "The file exists."},
    {87, "The parameter is incorrect."},
    {121, "The semaphore timeout period has expired."},
    {122, "The data area passed to a system call is too small."},
    {126, "The specified module could not be found."},
    {127, "The specified procedure could not be found."},
    {145, "The directory is not empty."},
    {183, "Cannot create a file when that file already exists."},
    {995, "The I/O operation has been aborted because of either a thread exit or an application request."},
    {996, "Overlapped I/O event is not in a signaled state."},
    {997, "Overlapped I/O operation is in progress."},
    {1053, "The service did not respond to the start or control request in a timely fashion."},
    {1056, "An instance of the service is already running."},
    {1060, "The specified service does not exist as an installed service."},
    {1062, "The service has not been started."},
    {1117, "The request could not be performed because of an I/O device error."},
    {1167, "The device is not connected."},
    {1300, "Not all privileges or groups referenced are assigned to the caller."},
    {1460, "This operation returned because the timeout period expired."},
    {1784, "The supplied user buffer is not valid for the requested operation."},
    {1796, "The specified port is unknown."},
    {1797, "The printer driver is unknown."},
    {1801, "The printer name is invalid."},
    {1802, "The printer already exists."},
    {3000, "The specified print monitor is unknown."},
    {3001, "The specified printer driver is currently in use."},
    {3006, "The specified print monitor has already been installed."},
    {3008, "The specified print monitor is currently in use."},
};

}  // namespace

std::string SystemMessageText(win::DWORD code) {
    for (const MessageText& message : kMessages)
        if (message.code == code) return message.text;
    return "Unknown error " + std::to_string(code) + ".";
}

}  // namespace platform::sim
