// Simulated machine: the system's texts for error codes.
#include "platform/sim/sim_system_messages.h"

namespace platform::sim {

namespace {

struct MessageText {
    win::DWORD code;
    const char* text;
};

// Windows 10's English texts for the codes a serial port or the calls
// around it produce.
const MessageText kMessages[] = {
    {0, "The operation completed successfully."},
    {1, "Incorrect function."},
    {2, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {5, "Access is denied."},
    {6, "The handle is invalid."},
    {8, "Not enough memory resources are available to process this command."},
    {21, "The device is not ready."},
    {22, "The device does not recognize the command."},
    {31, "A device attached to the system is not functioning."},
    {32, "The process cannot access the file because it is being used by another process."},
    {50, "The request is not supported."},
    {87, "The parameter is incorrect."},
    {121, "The semaphore timeout period has expired."},
    {122, "The data area passed to a system call is too small."},
    {995, "The I/O operation has been aborted because of either a thread exit or an application request."},
    {996, "Overlapped I/O event is not in a signaled state."},
    {997, "Overlapped I/O operation is in progress."},
    {1117, "The request could not be performed because of an I/O device error."},
    {1167, "The device is not connected."},
    {1460, "This operation returned because the timeout period expired."},
    {1784, "The supplied user buffer is not valid for the requested operation."},
};

}  // namespace

std::string SystemMessageText(win::DWORD code) {
    for (const MessageText& message : kMessages)
        if (message.code == code) return message.text;
    return "Unknown error " + std::to_string(code) + ".";
}

}  // namespace platform::sim
