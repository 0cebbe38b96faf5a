// Dialog and control ids of the three secondary dialogs.
#pragma once

#include "ports/port_types.h"

namespace dialogs {

constexpr int IDD_NETWORK_PORT = 129;
constexpr int IDD_SERIAL_PROMPT = 136;
constexpr int IDD_PARALLEL_PORT = 137;

// Network (129) and parallel (137) port dialogs.
constexpr int IDC_PORT_LIST = 1004;
constexpr int IDC_NEW_PORT = 1029;
constexpr int IDC_PORT_PROMPT = 1030;
constexpr int IDC_CONFIGURE_PORT = 1031;
constexpr int IDC_DELETE_PORT = 1032;
constexpr int IDC_PORT_OK = 1037;
constexpr int IDC_PORT_CANCEL = 1039;

// Serial prompt (136).
constexpr int IDC_SERIAL_YES = 1030;
constexpr int IDC_BAUD_COMBO = 1034;
constexpr int IDC_SERIAL_NO = 1036;

}  // namespace dialogs

namespace dialogs {

using ports::PORTCHOICE_ADDED;
using ports::PORTCHOICE_BASE;
using ports::PORTCHOICE_NONE;

}  // namespace dialogs
