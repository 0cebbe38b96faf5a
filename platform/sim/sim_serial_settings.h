// Simulated machine (POSIX host): line settings of the simulated COM ports,
// between the device control block and the host terminal's termios.
#pragma once

#include <termios.h>

#include "platform/serial.h"

namespace platform::sim {

// The block a freshly opened port reports: the device's speed, 8 data bits,
// no parity, one stop bit, no flow control, DTR and RTS on.
win::DCB DefaultDcb(win::DWORD baud);

// Speeds in bits per second and their termios codes; false for a rate the
// host cannot set (the simulated driver then refuses it).
bool SpeedFromBaud(win::DWORD baud, speed_t* speed);
win::DWORD BaudFromSpeed(speed_t speed);  // 0 when unknown
win::DWORD SpeedOfTermios(const termios& line);

// Applies data bits, parity, stop bits, speed and flow control; false when
// the block holds a setting the serial driver refuses.
bool ApplyDcbToTermios(const win::DCB& dcb, termios* line);

// BuildCommDCB's parsing: "baud=9600 parity=N data=8 stop=1" (with the
// optional to=, xon=, odsr=, octs=, dtr=, rts=, idsr= switches), or the
// MODE form "9600,n,8,1"; either may start with "COMn:". Only the members
// named change, except that flow control is switched off unless asked
// for. False, with *dcb untouched, for anything else.
bool ParseCommDefinition(const char* definition, win::DCB* dcb);

}  // namespace platform::sim
