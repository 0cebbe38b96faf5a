// Port types, the rows of the port-type list, and the codes with which the
// port dialogs and the port choices answer.
#pragma once

namespace ports {

constexpr int PORTTYPE_SERIAL = 0;
constexpr int PORTTYPE_USB = 1;
constexpr int PORTTYPE_PARALLEL = 2;
constexpr int PORTTYPE_NETWORK = 3;

// Entry i of the port list in question, nothing chosen, or a network port
// just created.
constexpr int PORTCHOICE_BASE = 0x1200;
constexpr int PORTCHOICE_NONE = 0xCCCC;
constexpr int PORTCHOICE_ADDED = 0xAAAA;

}  // namespace ports
