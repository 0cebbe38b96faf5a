// The program's start, shared by the Windows program and the terminal
// front end: without arguments the installer opens as a person knows it;
// with options it logs, answers questions by itself, lists or removes, and
// ends with an exit code that deployment engines read.
#pragma once

#include <string>
#include <vector>

#include "platform/machine.h"
#include "ui/toolkit.h"

namespace unattended {

// What each front end provides.
class ProgramHost {
public:
    virtual ~ProgramHost() = default;
    virtual platform::Machine& Machine() = 0;
    // The toolkit that shows windows. Asked for only by runs a person sees:
    // a silent run never creates a window.
    virtual ui::Toolkit& ScreenToolkit() = 0;
    // Text for the console the program was started from, if there is one.
    virtual void WriteConsole(const std::string& text) = 0;
    // Where a silent run logs without /LOG, and where a log that is refused
    // or cannot be written falls back to.
    virtual std::string DefaultLogPath() = 0;
    // The files the log is written on, and the last error their calls
    // leave: the machine's own unless the front end keeps its log elsewhere.
    virtual platform::Files& LogFiles() { return Machine().files(); }
    virtual win::DWORD LogFilesError() { return Machine().GetLastError(); }
    // The program's narrow texts as UTF-8, for the log.
    virtual std::string ToUtf8(const std::string& text) = 0;
};

// The mutex that every run holds while it runs: in the private namespace
// bounded by the Administrators group, or, where the system has no private
// namespaces, the global name.
extern const char* const INSTALLER_NAMESPACE;
extern const char* const INSTALLER_NAMESPACE_MUTEX;
extern const char* const INSTALLER_MUTEX_NAME;

// Runs the program; returns its exit code.
int RunProgram(const std::vector<std::string>& arguments, ProgramHost& host);

}  // namespace unattended
