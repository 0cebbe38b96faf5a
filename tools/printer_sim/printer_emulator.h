// A receipt or label printer on the device end of a serial line: it
// answers the status requests the installer sends when it searches for the
// printer's port. Used in-process by tests and by the printer_sim tool.
#pragma once

#include <termios.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace printer_sim {

enum class PrinterKind {
    kReceipt,  // answers DLE EOT 1 (10 04 01) with its status byte
    kLabel,    // answers ESC ! ? (1B 21 3F) with 00
};

struct PrinterOptions {
    PrinterKind kind = PrinterKind::kReceipt;
    std::uint8_t statusByte = 0x12;  // on line: 0x12 or 0x16
    bool silent = false;             // reads requests, never answers
    int delayMs = 0;                 // answers this late
    int floodBytes = 0;              // answers with this many bytes instead of one
    // Answers only while the line runs at this speed (0: at any). A pty
    // carries no baud rate, but its two ends share one termios, so the
    // master end sees the speed the COM side set.
    unsigned requiredBaud = 0;
};

// The request matcher alone: bytes in, number of complete requests out.
// A request split over several reads still counts once.
class PrinterProtocol {
public:
    explicit PrinterProtocol(PrinterKind kind);
    int Feed(const std::uint8_t* data, std::size_t length);

private:
    std::uint8_t m_request[3];
    std::size_t m_matched = 0;
};

// Standard termios speeds in bits per second; 0 for another code, and
// false for a rate without a code.
unsigned BaudOfSpeed(speed_t speed);
bool SpeedOfBaud(unsigned baud, speed_t* speed);

class PrinterEmulator {
public:
    // fd: the device end of the line, not owned.
    PrinterEmulator(int fd, PrinterOptions options);
    ~PrinterEmulator();
    PrinterEmulator(const PrinterEmulator&) = delete;
    PrinterEmulator& operator=(const PrinterEmulator&) = delete;

    // Serves the line on a thread of its own until Stop.
    void Start();
    void Stop();
    // Serves the line on the calling thread until *stop becomes true.
    void Run(const std::atomic<bool>& stop);

    int RequestsSeen() const { return m_requestsSeen.load(); }
    int RequestsAnswered() const { return m_requestsAnswered.load(); }
    std::vector<std::uint8_t> Received() const;

private:
    bool SpeedAccepted() const;
    void Answer(const std::atomic<bool>& stop);

    int m_fd;
    PrinterOptions m_options;
    PrinterProtocol m_protocol;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::atomic<int> m_requestsSeen{0};
    std::atomic<int> m_requestsAnswered{0};
    mutable std::mutex m_mutex;
    std::vector<std::uint8_t> m_received;
};

}  // namespace printer_sim
