// A pseudo-terminal for serial tests (POSIX host).
#include "tools/printer_sim/pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include "tools/printer_sim/printer_emulator.h"

namespace printer_sim {

PtyPair::PtyPair() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0) return;
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) return;
    const char* name = ::ptsname(m_master);
    if (!name) return;
    m_slavePath = name;
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) return;
    termios line{};
    if (::tcgetattr(m_slave, &line) == 0) {
        // Raw from the start: no echo of what the test writes.
        ::cfmakeraw(&line);
        ::tcsetattr(m_slave, TCSANOW, &line);
    }
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair() {
    if (m_slave >= 0) ::close(m_slave);
    if (m_master >= 0) ::close(m_master);
}

void PtyPair::Write(const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(m_master, bytes.data() + done, bytes.size() - done);
        if (put > 0) {
            done += static_cast<std::size_t>(put);
        } else {
            pollfd fd{m_master, POLLOUT, 0};
            ::poll(&fd, 1, 10);
        }
    }
}

std::vector<std::uint8_t> PtyPair::Read(std::size_t count, std::chrono::milliseconds timeout) {
    std::vector<std::uint8_t> bytes;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (bytes.size() < count) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd fd{m_master, POLLIN, 0};
        if (::poll(&fd, 1, static_cast<int>(left.count())) <= 0) continue;
        std::uint8_t chunk[256];
        const ssize_t got = ::read(m_master, chunk, std::min(sizeof chunk, count - bytes.size()));
        if (got > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    }
    return bytes;
}

unsigned PtyPair::LineSpeed() const {
    termios line{};
    if (::tcgetattr(m_master, &line) != 0) return 0;
    return printer_sim::BaudOfSpeed(::cfgetospeed(&line));
}

unsigned PtyPair::ControlFlags() const {
    termios line{};
    if (::tcgetattr(m_master, &line) != 0) return 0;
    return static_cast<unsigned>(line.c_cflag);
}

}  // namespace printer_sim
