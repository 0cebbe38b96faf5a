// Simulated machine (POSIX host): line settings between DCB and termios.
#include "platform/sim/sim_serial_settings.h"

#include <cctype>
#include <string>
#include <vector>

namespace platform::sim {

namespace {

constexpr win::BYTE kNoParity = 0;
constexpr win::BYTE kMarkParity = 3;
constexpr win::BYTE kSpaceParity = 4;
constexpr win::BYTE kOneStopBit = 0;
constexpr win::BYTE kOneAndHalfStopBits = 1;
constexpr win::BYTE kTwoStopBits = 2;
constexpr win::DWORD kDtrControlEnable = 1;
constexpr win::DWORD kDtrControlHandshake = 2;
constexpr win::DWORD kRtsControlDisable = 0;
constexpr win::DWORD kRtsControlHandshake = 2;
constexpr win::DWORD kRtsControlToggle = 3;

struct SpeedCode {
    win::DWORD baud;
    speed_t speed;
};
const SpeedCode kSpeeds[] = {
    {110, B110},       {150, B150},       {300, B300},       {600, B600},       {1200, B1200},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool ParseNumber(const std::string& text, win::DWORD* value) {
    if (text.empty() || text.size() > 9) return false;
    win::DWORD result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        result = result * 10 + static_cast<win::DWORD>(c - '0');
    }
    *value = result;
    return true;
}

// MODE's two-digit abbreviations of the old rates.
bool ParseBaud(const std::string& text, win::DWORD* baud) {
    win::DWORD value = 0;
    if (!ParseNumber(text, &value) || value == 0) return false;
    switch (value) {
    case 11: value = 110; break;
    case 15: value = 150; break;
    case 30: value = 300; break;
    case 60: value = 600; break;
    case 12: value = 1200; break;
    case 24: value = 2400; break;
    case 48: value = 4800; break;
    case 96: value = 9600; break;
    case 19: value = 19200; break;
    default: break;
    }
    *baud = value;
    return true;
}

bool ParseParity(const std::string& text, win::BYTE* parity) {
    if (text.size() != 1) return false;
    static const char kLetters[] = "noems";
    for (win::BYTE i = 0; i < 5; ++i) {
        if (std::tolower(static_cast<unsigned char>(text[0])) == kLetters[i]) {
            *parity = i;  // NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY
            return true;
        }
    }
    return false;
}

bool ParseDataBits(const std::string& text, win::BYTE* bits) {
    win::DWORD value = 0;
    if (!ParseNumber(text, &value) || value < 5 || value > 8) return false;
    *bits = static_cast<win::BYTE>(value);
    return true;
}

bool ParseStopBits(const std::string& text, win::BYTE* stop) {
    if (text == "1") *stop = kOneStopBit;
    else if (text == "1.5") *stop = kOneAndHalfStopBits;
    else if (text == "2") *stop = kTwoStopBits;
    else return false;
    return true;
}

bool ParseSwitch(const std::string& text, bool* on) {
    const std::string value = Lower(text);
    if (value == "on") *on = true;
    else if (value == "off") *on = false;
    else return false;
    return true;
}

bool ParseKeywordForm(const std::string& text, win::DCB* dcb, bool* stopGiven) {
    std::vector<std::string> tokens;
    std::string token;
    for (char c : text + " ") {
        if (c == ' ' || c == '\t') {
            if (!token.empty()) tokens.push_back(token);
            token.clear();
        } else {
            token += c;
        }
    }
    if (tokens.empty()) return false;
    for (const std::string& item : tokens) {
        const auto equals = item.find('=');
        if (equals == std::string::npos) return false;
        const std::string key = Lower(item.substr(0, equals));
        const std::string value = item.substr(equals + 1);
        bool on = false;
        if (key == "baud") {
            win::DWORD baud = 0;
            if (!ParseBaud(value, &baud)) return false;
            dcb->BaudRate = baud;
        } else if (key == "parity") {
            if (!ParseParity(value, &dcb->Parity)) return false;
        } else if (key == "data") {
            if (!ParseDataBits(value, &dcb->ByteSize)) return false;
        } else if (key == "stop") {
            if (!ParseStopBits(value, &dcb->StopBits)) return false;
            *stopGiven = true;
        } else if (key == "xon") {
            if (!ParseSwitch(value, &on)) return false;
            dcb->fOutX = on;
            dcb->fInX = on;
        } else if (key == "odsr") {
            if (!ParseSwitch(value, &on)) return false;
            dcb->fOutxDsrFlow = on;
        } else if (key == "octs") {
            if (!ParseSwitch(value, &on)) return false;
            dcb->fOutxCtsFlow = on;
        } else if (key == "idsr") {
            if (!ParseSwitch(value, &on)) return false;
            dcb->fDsrSensitivity = on;
        } else if (key == "to") {
            if (!ParseSwitch(value, &on)) return false;  // time-outs live in COMMTIMEOUTS
        } else if (key == "dtr") {
            const std::string mode = Lower(value);
            if (mode == "hs") dcb->fDtrControl = kDtrControlHandshake;
            else if (ParseSwitch(value, &on)) dcb->fDtrControl = on ? kDtrControlEnable : 0;
            else return false;
        } else if (key == "rts") {
            const std::string mode = Lower(value);
            if (mode == "hs") dcb->fRtsControl = kRtsControlHandshake;
            else if (mode == "tg") dcb->fRtsControl = kRtsControlToggle;
            else if (ParseSwitch(value, &on)) dcb->fRtsControl = on ? win::RTS_CONTROL_ENABLE : kRtsControlDisable;
            else return false;
        } else {
            return false;
        }
    }
    return true;
}

bool ParseModeForm(const std::string& text, win::DCB* dcb, bool* stopGiven) {
    std::vector<std::string> fields;
    std::string::size_type start = 0;
    for (;;) {
        const auto comma = text.find(',', start);
        fields.push_back(Trim(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (fields.size() > 5) return false;
    win::DWORD baud = 0;
    if (!ParseBaud(fields[0], &baud)) return false;
    dcb->BaudRate = baud;
    if (fields.size() > 1 && !fields[1].empty() && !ParseParity(fields[1], &dcb->Parity)) return false;
    if (fields.size() > 2 && !fields[2].empty() && !ParseDataBits(fields[2], &dcb->ByteSize)) return false;
    if (fields.size() > 3 && !fields[3].empty()) {
        if (!ParseStopBits(fields[3], &dcb->StopBits)) return false;
        *stopGiven = true;
    }
    if (fields.size() > 4) {
        const std::string flow = Lower(fields[4]);
        if (flow == "x") {
            dcb->fOutX = 1;
            dcb->fInX = 1;
        } else if (flow == "p") {
            dcb->fOutxCtsFlow = 1;
            dcb->fOutxDsrFlow = 1;
            dcb->fDtrControl = kDtrControlHandshake;
            dcb->fRtsControl = kRtsControlHandshake;
        } else if (!flow.empty()) {
            return false;
        }
    }
    return true;
}

}  // namespace

win::DCB DefaultDcb(win::DWORD baud) {
    win::DCB dcb{};
    dcb.DCBlength = sizeof(win::DCB);
    dcb.BaudRate = baud != 0 ? baud : 9600;
    dcb.fBinary = 1;
    dcb.fDtrControl = kDtrControlEnable;
    dcb.fRtsControl = win::RTS_CONTROL_ENABLE;
    dcb.XonLim = 2048;
    dcb.XoffLim = 512;
    dcb.ByteSize = 8;
    dcb.Parity = kNoParity;
    dcb.StopBits = kOneStopBit;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    return dcb;
}

bool SpeedFromBaud(win::DWORD baud, speed_t* speed) {
    for (const SpeedCode& code : kSpeeds) {
        if (code.baud == baud) {
            *speed = code.speed;
            return true;
        }
    }
    return false;
}

win::DWORD BaudFromSpeed(speed_t speed) {
    for (const SpeedCode& code : kSpeeds)
        if (code.speed == speed) return code.baud;
    return 0;
}

win::DWORD SpeedOfTermios(const termios& line) { return BaudFromSpeed(cfgetospeed(&line)); }

bool ApplyDcbToTermios(const win::DCB& dcb, termios* line) {
    speed_t speed = B0;
    if (!SpeedFromBaud(dcb.BaudRate, &speed)) return false;
    if (dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > kSpaceParity || dcb.StopBits > kTwoStopBits)
        return false;
    // A UART sends one and a half stop bits only with five data bits, and
    // two only with more.
    if (dcb.StopBits == kOneAndHalfStopBits && dcb.ByteSize != 5) return false;
    if (dcb.StopBits == kTwoStopBits && dcb.ByteSize == 5) return false;
    if ((dcb.fOutX || dcb.fInX) && dcb.XonChar == dcb.XoffChar) return false;

    static const tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    line->c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    line->c_cflag |= kSizes[dcb.ByteSize - 5] | CLOCAL | CREAD;
    if (dcb.Parity != kNoParity) line->c_cflag |= PARENB;
    if (dcb.Parity == 1 || dcb.Parity == kMarkParity) line->c_cflag |= PARODD;  // odd; mark is sticky odd
    if (dcb.Parity >= kMarkParity) line->c_cflag |= CMSPAR;
    if (dcb.StopBits != kOneStopBit) line->c_cflag |= CSTOPB;
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == kRtsControlHandshake) line->c_cflag |= CRTSCTS;
    line->c_iflag &= ~(IXON | IXOFF | INPCK);
    if (dcb.fOutX) line->c_iflag |= IXON;
    if (dcb.fInX) line->c_iflag |= IXOFF;
    if (dcb.fParity) line->c_iflag |= INPCK;
    line->c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    line->c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    cfsetispeed(line, speed);
    cfsetospeed(line, speed);
    return true;
}

bool ParseCommDefinition(const char* definition, win::DCB* dcb) {
    std::string text = Trim(definition);
    // An optional device prefix, "COMn:".
    if (text.size() > 4 && Lower(text.substr(0, 3)) == "com") {
        const auto colon = text.find(':');
        win::DWORD number = 0;
        if (colon != std::string::npos && ParseNumber(text.substr(3, colon - 3), &number))
            text = Trim(text.substr(colon + 1));
    }
    win::DCB built = *dcb;
    // Flow control is off unless the definition switches it on.
    built.fBinary = 1;
    built.fOutX = 0;
    built.fInX = 0;
    built.fOutxCtsFlow = 0;
    built.fOutxDsrFlow = 0;
    built.fDsrSensitivity = 0;
    built.fDtrControl = kDtrControlEnable;
    built.fRtsControl = win::RTS_CONTROL_ENABLE;
    bool stopGiven = false;
    const bool parsed = text.find('=') != std::string::npos ? ParseKeywordForm(text, &built, &stopGiven)
                                                            : ParseModeForm(text, &built, &stopGiven);
    if (!parsed) return false;
    // MODE's rule for the slowest rate.
    if (!stopGiven && built.BaudRate == 110) built.StopBits = kTwoStopBits;
    *dcb = built;
    return true;
}

}  // namespace platform::sim
