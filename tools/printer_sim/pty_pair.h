// A pseudo-terminal pair: the master end plays the device (a test, the
// printer emulator); the slave's path is what a simulated COM port maps to.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace printer_sim {

class PtyPair {
public:
    // Opens a master and keeps one descriptor of the slave open, so that
    // the line does not hang up whenever the code under test closes its own.
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return m_master >= 0 && m_slave >= 0; }
    int master() const { return m_master; }
    const std::string& slavePath() const { return m_slavePath; }

    void Write(const std::vector<std::uint8_t>& bytes);
    // Reads until `count` bytes came or `timeout` passed.
    std::vector<std::uint8_t> Read(std::size_t count, std::chrono::milliseconds timeout);
    // The line's speed in bits per second as the slave side set it (a pty
    // pair shares one termios), 0 when it is no standard rate.
    unsigned LineSpeed() const;
    // The line's termios control flags.
    unsigned ControlFlags() const;

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
};

}  // namespace printer_sim
