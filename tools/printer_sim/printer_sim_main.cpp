// printer_sim (POSIX host): a receipt or label printer on a serial line made
// of a pseudo-terminal.
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/printer_sim/printer_emulator.h"

namespace {

constexpr char kUsage[] =
    "Usage: printer_sim [options]\n"
    "A receipt or label printer answering status requests on a serial line.\n"
    "\n"
    "Line (one of):\n"
    "  (default)         create a pseudo-terminal and print \"PTY <path>\": map a\n"
    "                    COM port to that path\n"
    "  --pty PATH        serve an existing terminal device, such as one end of\n"
    "                    `socat pty,raw,echo=0,link=A pty,raw,echo=0,link=B`\n"
    "  --link PATH       with a created pseudo-terminal: also make PATH a\n"
    "                    symbolic link to it (replaced if it exists)\n"
    "\n"
    "Printer:\n"
    "  --receipt         answer 10 04 01 with the status byte (the default)\n"
    "  --label           answer 1B 21 3F with 00\n"
    "  --status HEX      the receipt status byte (default 12; 16 is also on line)\n"
    "  --baud N          the printer's speed: with a created pseudo-terminal it\n"
    "                    answers only while the COM side has set N (the two ends\n"
    "                    share one termios); on --pty it sets the device's speed\n"
    "  --silent          read requests but never answer\n"
    "  --delay-ms N      answer N milliseconds late\n"
    "  --flood N         answer each request with N bytes instead of one\n"
    "  --help            this text\n"
    "\n"
    "Runs until interrupted (SIGINT or SIGTERM).\n";

std::atomic<bool> g_stop{false};

void OnSignal(int) { g_stop = true; }

bool ParseInt(const char* text, long minimum, long maximum, long* value) {
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text, &end, 0);
    if (errno != 0 || end == text || *end != '\0' || parsed < minimum || parsed > maximum) return false;
    *value = parsed;
    return true;
}

bool SetRaw(int fd, unsigned baud) {
    termios line{};
    if (::tcgetattr(fd, &line) != 0) return false;
    ::cfmakeraw(&line);
    speed_t speed = B0;
    if (printer_sim::SpeedOfBaud(baud, &speed)) {
        ::cfsetispeed(&line, speed);
        ::cfsetospeed(&line, speed);
    }
    return ::tcsetattr(fd, TCSANOW, &line) == 0;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "printer_sim: %s\n", message.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    printer_sim::PrinterOptions options;
    std::string ptyPath;
    std::string linkPath;
    unsigned baud = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        long value = 0;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--receipt") {
            options.kind = printer_sim::PrinterKind::kReceipt;
        } else if (arg == "--label") {
            options.kind = printer_sim::PrinterKind::kLabel;
        } else if (arg == "--silent") {
            options.silent = true;
        } else if (arg == "--pty" && hasValue) {
            ptyPath = argv[++i];
        } else if (arg == "--link" && hasValue) {
            linkPath = argv[++i];
        } else if (arg == "--status" && hasValue) {
            char* end = nullptr;
            const unsigned long status = std::strtoul(argv[++i], &end, 16);
            if (*end != '\0' || status > 0xFF) return Fail("--status takes a byte in hexadecimal");
            options.statusByte = static_cast<std::uint8_t>(status);
        } else if (arg == "--baud" && hasValue) {
            speed_t speed = B0;
            if (!ParseInt(argv[++i], 1, 921600, &value) || !printer_sim::SpeedOfBaud(static_cast<unsigned>(value), &speed))
                return Fail("--baud takes a standard rate");
            baud = static_cast<unsigned>(value);
        } else if (arg == "--delay-ms" && hasValue) {
            if (!ParseInt(argv[++i], 0, 600000, &value)) return Fail("--delay-ms takes 0 to 600000");
            options.delayMs = static_cast<int>(value);
        } else if (arg == "--flood" && hasValue) {
            if (!ParseInt(argv[++i], 1, 1 << 20, &value)) return Fail("--flood takes 1 to 1048576");
            options.floodBytes = static_cast<int>(value);
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }

    int fd = -1;
    int slaveHold = -1;
    if (!ptyPath.empty()) {
        fd = ::open(ptyPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return Fail("cannot open " + ptyPath + ": " + std::strerror(errno));
        // A device of its own: its termios is the printer's.
        if (!SetRaw(fd, baud)) return Fail(ptyPath + " is not a terminal");
    } else {
        fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd < 0 || ::grantpt(fd) != 0 || ::unlockpt(fd) != 0) return Fail("cannot create a pseudo-terminal");
        const char* slave = ::ptsname(fd);
        if (!slave) return Fail("cannot name the pseudo-terminal");
        ptyPath = slave;
        // Held open so that the line does not hang up between two opens of
        // the COM side; raw, so that nothing is echoed before that side
        // configures it.
        slaveHold = ::open(slave, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slaveHold < 0 || !SetRaw(slaveHold, 0)) return Fail("cannot configure " + ptyPath);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        options.requiredBaud = baud;
        if (!linkPath.empty()) {
            ::unlink(linkPath.c_str());
            if (::symlink(slave, linkPath.c_str()) != 0)
                return Fail("cannot link " + linkPath + ": " + std::strerror(errno));
        }
    }

    struct sigaction action {};
    action.sa_handler = OnSignal;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);

    std::printf("PTY %s\n", ptyPath.c_str());
    std::fflush(stdout);

    printer_sim::PrinterEmulator printer(fd, options);
    printer.Run(g_stop);
    std::fprintf(stderr, "printer_sim: %d requests seen, %d answered\n", printer.RequestsSeen(),
                 printer.RequestsAnswered());
    if (!linkPath.empty() && slaveHold >= 0) ::unlink(linkPath.c_str());
    if (slaveHold >= 0) ::close(slaveHold);
    ::close(fd);
    return 0;
}
