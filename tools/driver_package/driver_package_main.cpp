// driver-package: checks, builds and lists driver packages.
#include <iostream>

#include "tools/driver_package/commands.h"

int main(int argc, char** argv) {
    return driver_package::RunCommand(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
