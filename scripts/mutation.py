#!/usr/bin/env python3
"""How many realistic faults the native suite catches.

Each mutant below is one small fault a developer could make: a dropped call,
a swapped step, a changed constant, text or bound. The script applies one
mutant at a time to the source tree, rebuilds installer_tests in its own
build folder, runs it, and puts the file back (also on Ctrl-C). A mutant is
killed when the suite fails (or does not finish in time); one that does not
compile counts as neither, and is reported.

Usage: scripts/mutation.py [--build DIR] [--only NAME ...] [--list]
The last line is "killed K of N (P%)"; the table of survivors above it says
what the suite does not see. Results also go to DIR/mutation.txt.
"""
import argparse
import os
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# (name, file, text as it stands, text of the mutant). The text must occur
# exactly once in its file, so that the mutant says precisely what changed.
MUTANTS = [
    # --- install: the two installation sequences and what they share
    ("driver-version-fixed", "install/driver_installation.cpp",
     "info.cVersion = m_system.GetWindowsVersionCode() == 4 ? 2 : 3;", "info.cVersion = 3;"),
    ("no-purge-before-delete", "install/driver_installation.cpp",
     "spooler.SetPrinterA(existing, 0, nullptr, win::PRINTER_CONTROL_PURGE);", ""),
    ("old-printer-kept", "install/driver_installation.cpp", "spooler.DeletePrinter(existing);", ""),
    ("no-parallel-stand-in", "install/driver_installation.cpp",
     "std::string port = substituted ? m_inventory.LptPorts().front() : m_selection.m_portName;",
     "std::string port = substituted && false ? m_inventory.LptPorts().front() : m_selection.m_portName;"),
    ("default-when-unticked", "install/driver_installation.cpp",
     "if (m_view.SetAsDefault()) WriteDefaultPrinter", "if (!m_view.SetAsDefault()) WriteDefaultPrinter"),
    ("default-device-text", "install/driver_installation.cpp",
     'printerName + ",winspool," + port', 'printerName + ",winspool" + port'),
    ("cancel-says-why", "install/driver_installation.cpp",
     "if (choice != PORTCHOICE_NONE && choice != win::IDCANCEL) {", "if (choice != PORTCHOICE_NONE) {"),
    ("retry-swapped", "install/driver_installation.cpp",
     "if (answer == win::IDRETRY) {\n        EndRunAfterFailure(outcome, run::TEXT_REINSTALL);",
     "if (answer != win::IDRETRY) {\n        EndRunAfterFailure(outcome, run::TEXT_REINSTALL);"),
    ("missing-files-error", "install/driver_installation.cpp",
     "error == win::ERROR_MOD_NOT_FOUND", "error == win::ERROR_FILE_NOT_FOUND"),
    ("empty-driver-directory", "install/driver_installation.cpp",
     "if (found != 1 || buffer[0] == '\\0') {", "if (found != 1) {"),
    ("receipt-spooler-not-started", "install/receipt_install.cpp",
     'm_services.StartOrRestartService("Spooler", services::SVCMODE_START);', ""),
    ("receipt-family-dll-not-dependent", "install/receipt_install.cpp",
     "familyDll + '\\0' + '\\0';", "'\\0';"),
    ("receipt-gpd-left-staged", "install/receipt_install.cpp",
     'files.DeleteFileA((directory + "\\\\" + gpd).c_str());', ""),
    ("monitor-already-installed-fails", "install/label_install.cpp",
     "if (monitorAdded != 1 && monitorError != win::ERROR_PRINT_MONITOR_ALREADY_INSTALLED) {",
     "if (monitorAdded != 1 && monitorError != 0xFFFFFFFF) {"),
    ("old-monitor-not-released", "install/label_install.cpp",
     'm_services.StartOrRestartService("Spooler", services::SVCMODE_RESTART);',
     'm_services.StartOrRestartService("Spooler", services::SVCMODE_START);'),
    ("loaded-file-not-moved-aside", "install/driver_installation.cpp",
     "if (m_machine.GetLastError() != win::ERROR_SHARING_VIOLATION) return false;", "return false;"),
    ("label-pp0-not-dependent", "install/label_install.cpp",
     "record.dependentFiles += base + \".PP0\" + '\\0';", ""),
    ("label-first-language-dll-lost", "install/label_install.cpp",
     "for (int row = CATALOGUE_LABEL_FIRST_LANGUAGE_ROW; row",
     "for (int row = CATALOGUE_LABEL_FIRST_LANGUAGE_ROW + 1; row"),
    ("service-started-after-failed-stop", "services/service_control.cpp",
     'if (waitFor(win::SERVICE_STOPPED, "停止")) {', 'waitFor(win::SERVICE_STOPPED, "停止");\n        {'),
    # --- the system found, the Install button
    ("x64-only-under-wow64", "install/system_identity.cpp",
     "return m_isWow64 != 0 || m_nativeMachine == win::IMAGE_FILE_MACHINE_AMD64;", "return m_isWow64 != 0;"),
    ("catalogue-bound-off-by-one", "app/install_dispatch.cpp",
     "seriesIndex >= catalogueRows)", "seriesIndex > catalogueRows)"),
    ("model-by-position", "app/install_dispatch.cpp", "if (name == chosen) seriesIndex = section;", ""),
    ("receipt-label-boundary", "app/install_dispatch.cpp",
     "if (selection.m_seriesIndex < m_receiptGroups.ReceiptRowCount()) {",
     "if (selection.m_seriesIndex <= m_receiptGroups.ReceiptRowCount()) {"),
    # --- ports: the lists, the bindings, the serial and the USB search
    ("usb-search-past-bound", "ports/usb_search.cpp", "if (!m_view.MayTryAgain()) break;", ""),
    ("usb-retry-past-bound", "unattended/silent_toolkit.cpp",
     "m_usbRetriesLeft > 0 && MayTryAgainLocked()) {", "m_usbRetriesLeft > 0) {"),
    ("single-port-rate", "ports/serial_search.cpp",
     "constexpr int kSinglePortRate = 19200;", "constexpr int kSinglePortRate = 9600;"),
    ("receipt-status-request", "ports/serial_search.cpp", "{0x10, 0x04, 0x01}", "{0x10, 0x04, 0x02}"),
    ("parity-letter-case", "ports/serial_search.cpp",
     "static_cast<char>(m_parity + 32)", "static_cast<char>(m_parity)"),
    ("found-printer-port-restored", "ports/serial_search.cpp",
     "if (except != nullptr && m_printerNames[i] == *except) continue;", ""),
    ("serial-printers-not-freed", "ports/serial_search.cpp", "    FreeSerialPrinters();\n", "\n"),
    ("answered-port-not-bound", "ports/serial_search.cpp",
     "PublishStatus(TEXT_SERIAL_PORT_FOUND + port);\n    if (m_serialChannel.IsOpen()) m_serialChannel.Close();\n"
     "    m_bindings.SetPrinterPort(m_printerName, port);",
     "PublishStatus(TEXT_SERIAL_PORT_FOUND + port);\n    if (m_serialChannel.IsOpen()) m_serialChannel.Close();"),
    ("usb-port-number-digits", "ports/usb_search.cpp", '"%03lu"', '"%lu"'),
    ("usb-interface-ignored", "ports/usb_search.cpp",
     "if (std::find(withPrinter.begin(), withPrinter.end(), port) != withPrinter.end()) outcome = 1;", ""),
    ("spooler-list-not-read-again", "ports/spooler_records.h",
     "if (needed <= buffer->size()) return false;", "return false;"),
    ("usb-written-on-line", "ports/port_bindings.cpp",
     "const win::DWORD offLine = 0;", "const win::DWORD offLine = 1;"),
    ("usb-default-needs-two", "ports/port_enumeration.cpp", "if (usbCount > 0) {", "if (usbCount > 1) {"),
    ("file-port-default-type", "ports/port_enumeration.cpp",
     "classes.defaultType = PORTTYPE_NETWORK;", "classes.defaultType = PORTTYPE_PARALLEL;"),
    ("device-map-non-strings", "ports/port_enumeration.cpp", "if (type != win::REG_SZ) continue;", ""),
    ("com-number-bound", "ports/port_names.cpp",
     "constexpr int kMaxComPortNumber = 255;", "constexpr int kMaxComPortNumber = 256;"),
    ("tcp-description-chinese", "ports/port_names.cpp",
     ' || std::strcmp(description, "标准 TCP/IP 端口") == 0', ""),
    ("single-lpt-asks", "dialogs/port_choice.cpp",
     "if (inventory.LptPorts().size() == 1) return PORTCHOICE_BASE;", ""),
    ("wizard-cancel-counts", "dialogs/port_choice.cpp",
     "return added == 1 ? PORTCHOICE_ADDED : PORTCHOICE_NONE;",
     "return added == 1 || true ? PORTCHOICE_ADDED : PORTCHOICE_NONE;"),
    # --- package and dialogs: the clean-up, the port dialogs and choices
    ("clean-up-follows-links", "package/delete_tree.cpp",
     "if (attributes != win::INVALID_FILE_ATTRIBUTES && !IsLink(attributes)) {",
     "if (attributes != win::INVALID_FILE_ATTRIBUTES) {"),
    ("staging-folder-inherits", "package/package_staging.cpp",
     "win::SECURITY_ATTRIBUTES security{sizeof(win::SECURITY_ATTRIBUTES), descriptor, 0};",
     "win::SECURITY_ATTRIBUTES security{sizeof(win::SECURITY_ATTRIBUTES), nullptr, 0};"),
    ("staging-beside-replaces-broken", "package/package_file.cpp",
     "if (!inWorkingFolder.empty() && files.GetFileAttributesA(inWorkingFolder.c_str()) != win::INVALID_FILE_ATTRIBUTES) {",
     "if (false) {"),
    ("new-port-not-selected", "dialogs/network_port_dialog.cpp",
     "if (last >= 0) ports::SelectRow(m_portList, last);", "(void)last;"),
    # --- unattended: the command line, the answers, removal
    ("address-leading-zero", "unattended/command_line.cpp",
     "if (digits == 0 || digits > 3 || (digits > 1 && text[at] == '0')) return false;",
     "if (digits == 0 || digits > 3) return false;"),
    ("usb-retry-bound", "unattended/command_line.cpp",
     "ParseNumber(value, 0, UNATTENDED_MAX_USB_RETRIES, &number)",
     "ParseNumber(value, 0, UNATTENDED_MAX_USB_RETRIES + 1, &number)"),
    ("port-colon-without-name", "unattended/command_line.cpp", "if (named && name.empty()) {", "if (false) {"),
    ("silent-retries-forever", "unattended/silent_toolkit.cpp", "--m_usbRetriesLeft;", ""),
    ("removal-ignores-other-users", "unattended/printer_removal.cpp",
     "if (printer.driver == driver) {", "if (false && printer.driver == driver) {"),
    ("removal-foreign-monitor", "unattended/printer_removal.cpp",
     "if (monitor != install::CATALOGUE_MONITOR_NAME) {", "if (false) {"),
    # --- the simulated machine and the portable toolkit the tests stand on
    ("sim-driver-in-use", "platform/sim/sim_spooler.cpp",
     "        return Fail(win::ERROR_PRINTER_DRIVER_IN_USE);\n    }\n    // A file another driver",
     "    }\n    // A file another driver"),
    ("sim-printer-exists", "platform/sim/sim_spooler.cpp",
     "} else if (FindPrinterLocked(info.pPrinterName) != m_printers.end()) {",
     "} else if (false) {"),
    ("sim-enum-value-name-fits", "platform/sim/sim_registry.cpp",
     "const bool nameFits = nameLength < *cchValueName;", "const bool nameFits = nameLength <= *cchValueName;"),
    ("sim-copy-overwrites", "platform/sim/sim_files.cpp", "if (failIfExists) {", "if (false) {"),
    ("sim-folder-not-empty", "platform/sim/sim_files.cpp",
     "if (!ListHostFolder(r.hostPath).empty()) {", "if (false) {"),
    ("toolkit-enable-result", "ui/portable/portable_toolkit.cpp",
     "return wasDisabled ? 1 : 0;", "return wasDisabled ? 0 : 1;"),
    ("toolkit-disabled-owner", "ui/portable/portable_toolkit.cpp",
     "if (owner == nullptr || !owner->enabled) return;", "if (owner == nullptr) return;"),
    ("log-result-text", "platform/logging/call_line.cpp",
     'line += ", error " + std::to_string(error.code());', 'line += " error " + std::to_string(error.code());'),
    # --- the installation record and the usage box
    ("record-in-32-bit-view", "install/installation_record.cpp",
     "constexpr win::REGSAM kView = win::KEY_WOW64_64KEY;", "constexpr win::REGSAM kView = 0;"),
    ("record-kept-on-remove", "unattended/printer_removal.cpp", "    ForgetRecord(name);\n", ""),
    ("sim-delete-key-with-subkeys", "platform/sim/sim_registry.cpp",
     "if (!child->deleted) return ERROR_ACCESS_DENIED;", "if (!child->deleted && false) return ERROR_ACCESS_DENIED;"),
    ("usage-box-despite-s", "unattended/program.cpp",
     "if (!NamesWindowlessOption(arguments)) ShowUsageBox(host, error);", "ShowUsageBox(host, error);"),
]


def run(command, log, timeout=None):
    with open(log, "w") as out:
        try:
            return subprocess.run(command, cwd=ROOT, stdout=out, stderr=subprocess.STDOUT, timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            return "timeout"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "mutation"))
    parser.add_argument("--only", nargs="*", default=None)
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--timeout", type=int, default=600, help="seconds the suite may take")
    args = parser.parse_args()
    mutants = [m for m in MUTANTS if args.only is None or m[0] in args.only]
    if args.list:
        for name, path, *_ in mutants:
            print(f"{name:40} {path}")
        return 0

    # Every mutant must apply before anything is built.
    for name, path, old, new in mutants:
        count = open(os.path.join(ROOT, path), encoding="utf-8").read().count(old)
        if count != 1:
            sys.exit(f"mutation: {name}: its text occurs {count} times in {path}")

    build = args.build
    os.makedirs(build, exist_ok=True)
    logs = os.path.join(build, "mutation-logs")
    os.makedirs(logs, exist_ok=True)
    if not os.path.exists(os.path.join(build, "build.ninja")):
        if run(["cmake", "-S", ROOT, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo"],
               os.path.join(logs, "configure.log")) != 0:
            sys.exit("mutation: configure failed, see " + logs)
    binary = os.path.join(build, "tests", "installer_tests")
    build_command = ["cmake", "--build", build, "--target", "installer_tests"]
    test_command = [binary, "--gtest_brief=1", "--gtest_fail_fast"]
    if run(build_command, os.path.join(logs, "baseline-build.log")) != 0:
        sys.exit("mutation: the unmutated tree does not build, see " + logs)
    if run(test_command, os.path.join(logs, "baseline-test.log"), args.timeout) != 0:
        sys.exit("mutation: the suite fails without any mutant, see " + logs)

    results = []
    for name, path, old, new in mutants:
        source = os.path.join(ROOT, path)
        original = open(source, encoding="utf-8").read()
        started = time.time()
        try:
            with open(source, "w", encoding="utf-8") as out:
                out.write(original.replace(old, new))
            if run(build_command, os.path.join(logs, name + "-build.log")) != 0:
                verdict = "not built"
            else:
                rc = run(test_command, os.path.join(logs, name + "-test.log"), args.timeout)
                verdict = "survived" if rc == 0 else ("killed (timeout)" if rc == "timeout" else "killed")
        finally:
            with open(source, "w", encoding="utf-8") as out:
                out.write(original)
        results.append((name, path, verdict))
        print(f"{verdict:18} {name:40} {path} ({time.time() - started:.0f} s)", flush=True)

    # Leave the build matching the tree.
    run(build_command, os.path.join(logs, "restore-build.log"))
    built = [r for r in results if r[2] != "not built"]
    killed = [r for r in built if r[2].startswith("killed")]
    lines = [f"{verdict:18} {name:40} {path}" for name, path, verdict in results]
    summary = f"killed {len(killed)} of {len(built)} ({100.0 * len(killed) / max(len(built), 1):.0f}%)"
    with open(os.path.join(build, "mutation.txt"), "w") as out:
        out.write("\n".join(lines + [summary]) + "\n")
    survivors = [r for r in results if r[2] == "survived"]
    if survivors:
        print("\nsurvived:")
        for name, path, _ in survivors:
            print(f"  {name:40} {path}")
    unbuilt = [r for r in results if r[2] == "not built"]
    if unbuilt:
        print("\nnot built (fix the mutant):")
        for name, path, _ in unbuilt:
            print(f"  {name:40} {path}")
    print(summary)
    return 0


if __name__ == "__main__":
    sys.exit(main())
