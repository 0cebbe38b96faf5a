// A receipt or label printer on the device end of a serial line (POSIX).
#include "tools/printer_sim/printer_emulator.h"

#include <poll.h>
#include <unistd.h>

#include <chrono>

namespace printer_sim {

namespace {

constexpr std::uint8_t kReceiptRequest[3] = {0x10, 0x04, 0x01};
constexpr std::uint8_t kLabelRequest[3] = {0x1B, 0x21, 0x3F};
constexpr std::uint8_t kLabelReady = 0x00;
constexpr int kPollMs = 10;

struct SpeedCode {
    speed_t speed;
    unsigned baud;
};
const SpeedCode kSpeeds[] = {
    {B110, 110},       {B150, 150},       {B300, 300},       {B600, 600},       {B1200, 1200},
    {B2400, 2400},     {B4800, 4800},     {B9600, 9600},     {B19200, 19200},   {B38400, 38400},
    {B57600, 57600},   {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B921600, 921600},
};

}  // namespace

unsigned BaudOfSpeed(speed_t speed) {
    for (const SpeedCode& code : kSpeeds)
        if (code.speed == speed) return code.baud;
    return 0;
}

bool SpeedOfBaud(unsigned baud, speed_t* speed) {
    for (const SpeedCode& code : kSpeeds) {
        if (code.baud == baud) {
            *speed = code.speed;
            return true;
        }
    }
    return false;
}

PrinterProtocol::PrinterProtocol(PrinterKind kind) {
    const std::uint8_t* request = kind == PrinterKind::kReceipt ? kReceiptRequest : kLabelRequest;
    for (int i = 0; i < 3; ++i) m_request[i] = request[i];
}

int PrinterProtocol::Feed(const std::uint8_t* data, std::size_t length) {
    int complete = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (data[i] == m_request[m_matched]) {
            ++m_matched;
        } else {
            // The requests have no repeated prefix: a mismatch can only be
            // the start of a new request.
            m_matched = data[i] == m_request[0] ? 1 : 0;
        }
        if (m_matched == 3) {
            ++complete;
            m_matched = 0;
        }
    }
    return complete;
}

PrinterEmulator::PrinterEmulator(int fd, PrinterOptions options)
    : m_fd(fd), m_options(options), m_protocol(options.kind) {}

PrinterEmulator::~PrinterEmulator() { Stop(); }

void PrinterEmulator::Start() {
    m_stop = false;
    m_thread = std::thread([this] { Run(m_stop); });
}

void PrinterEmulator::Stop() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
}

std::vector<std::uint8_t> PrinterEmulator::Received() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}

bool PrinterEmulator::SpeedAccepted() const {
    if (m_options.requiredBaud == 0) return true;
    termios line{};
    if (::tcgetattr(m_fd, &line) != 0) return false;
    return BaudOfSpeed(::cfgetospeed(&line)) == m_options.requiredBaud;
}

void PrinterEmulator::Run(const std::atomic<bool>& stop) {
    while (!stop.load()) {
        pollfd fd{m_fd, POLLIN, 0};
        if (::poll(&fd, 1, kPollMs) <= 0 || !(fd.revents & POLLIN)) {
            // A hung-up line reports POLLHUP at once: do not spin on it.
            if (fd.revents & (POLLHUP | POLLERR | POLLNVAL))
                std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
            continue;
        }
        std::uint8_t chunk[256];
        const ssize_t got = ::read(m_fd, chunk, sizeof chunk);
        if (got <= 0) continue;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_received.insert(m_received.end(), chunk, chunk + got);
        }
        const int requests = m_protocol.Feed(chunk, static_cast<std::size_t>(got));
        for (int i = 0; i < requests; ++i) {
            ++m_requestsSeen;
            // At the wrong speed the request arrives as noise.
            if (m_options.silent || !SpeedAccepted()) continue;
            Answer(stop);
        }
    }
}

void PrinterEmulator::Answer(const std::atomic<bool>& stop) {
    const auto due = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_options.delayMs);
    while (!stop.load() && std::chrono::steady_clock::now() < due)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const std::uint8_t reply = m_options.kind == PrinterKind::kReceipt ? m_options.statusByte : kLabelReady;
    std::vector<std::uint8_t> bytes(m_options.floodBytes > 0 ? m_options.floodBytes : 1, reply);
    std::size_t done = 0;
    while (done < bytes.size() && !stop.load()) {
        const ssize_t put = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (put > 0) {
            done += static_cast<std::size_t>(put);
        } else {
            pollfd fd{m_fd, POLLOUT, 0};
            ::poll(&fd, 1, kPollMs);
        }
    }
    ++m_requestsAnswered;
}

}  // namespace printer_sim
