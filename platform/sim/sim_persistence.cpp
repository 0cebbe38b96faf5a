// Simulated machine: saving its state as text and loading it again.
#include "platform/sim/sim_persistence.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace platform::sim {

namespace {

constexpr char kFormatLine[] = "installer-machine\t1";

std::string EscapeField(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\0': out += "\\0"; break;
        default: out += c;
        }
    }
    return out;
}

bool UnescapeField(const std::string& text, std::string* out) {
    out->clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            *out += text[i];
            continue;
        }
        if (++i == text.size()) return false;
        switch (text[i]) {
        case '\\': *out += '\\'; break;
        case 't': *out += '\t'; break;
        case 'n': *out += '\n'; break;
        case 'r': *out += '\r'; break;
        case '0': *out += '\0'; break;
        default: return false;
        }
    }
    return true;
}

std::string Hex(const std::vector<win::BYTE>& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (win::BYTE b : bytes) {
        out += kDigits[b >> 4];
        out += kDigits[b & 0xF];
    }
    return out;
}

bool Unhex(const std::string& text, std::vector<win::BYTE>* out) {
    if (text.size() % 2 != 0) return false;
    out->clear();
    const auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = digit(text[i]);
        const int low = digit(text[i + 1]);
        if (high < 0 || low < 0) return false;
        out->push_back(static_cast<win::BYTE>(high * 16 + low));
    }
    return true;
}

bool ParseNumber(const std::string& text, unsigned long* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    *value = std::strtoul(text.c_str(), &end, 10);
    return end != nullptr && *end == '\0';
}

class LineWriter {
public:
    LineWriter& Field(const std::string& text) {
        if (!m_line.empty()) m_line += '\t';
        m_line += EscapeField(text);
        return *this;
    }
    LineWriter& Number(unsigned long value) { return Field(std::to_string(value)); }
    void End(std::string* out) {
        *out += m_line + "\n";
        m_line.clear();
    }

private:
    std::string m_line;
};

const char* RootName(win::HKEY root) { return root == win::HKEY_CURRENT_USER ? "HKCU" : "HKLM"; }

// Everything read from a saved text, applied only once all of it parsed.
struct ParsedState {
    bool haveSystem = false;
    win::DWORD platformId = 0, major = 0, minor = 0, build = 0;
    std::string csdVersion;
    win::WORD servicePackMajor = 0, servicePackMinor = 0;
    bool hasIsWow64Process = true, wow64 = false;
    bool haveProcessor = false, hasIsWow64Process2 = true;
    win::USHORT nativeMachine = 0;
    std::vector<SimRegistry::SavedKey> keys;
    std::vector<std::pair<std::string, bool>> services;
    SimSpooler::SavedState spooler;
};

bool ParseLine(const std::vector<std::string>& f, ParsedState* state) {
    const std::string& kind = f[0];
    unsigned long n[8] = {};
    const auto numbers = [&](std::size_t first, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            if (!ParseNumber(f[first + i], &n[i])) return false;
        }
        return true;
    };
    if (kind == "system" && f.size() == 10 && numbers(1, 4) && ParseNumber(f[6], &n[4]) &&
        ParseNumber(f[7], &n[5]) && ParseNumber(f[8], &n[6]) && ParseNumber(f[9], &n[7])) {
        state->haveSystem = true;
        state->platformId = n[0];
        state->major = n[1];
        state->minor = n[2];
        state->build = n[3];
        state->csdVersion = f[5];
        state->servicePackMajor = static_cast<win::WORD>(n[4]);
        state->servicePackMinor = static_cast<win::WORD>(n[5]);
        state->hasIsWow64Process = n[6] != 0;
        state->wow64 = n[7] != 0;
        return true;
    }
    if (kind == "processor" && f.size() == 3 && numbers(1, 2)) {
        state->haveProcessor = true;
        state->hasIsWow64Process2 = n[0] != 0;
        state->nativeMachine = static_cast<win::USHORT>(n[1]);
        return true;
    }
    if (kind == "key" && f.size() == 3 && (f[1] == "HKLM" || f[1] == "HKCU") && !f[2].empty()) {
        state->keys.push_back({f[1] == "HKCU" ? win::HKEY_CURRENT_USER : win::HKEY_LOCAL_MACHINE, f[2], {}});
        return true;
    }
    if (kind == "value" && f.size() == 4 && !state->keys.empty() && numbers(2, 1)) {
        SimRegistry::SavedValue value{f[1], static_cast<win::DWORD>(n[0]), {}};
        if (!Unhex(f[3], &value.data)) return false;
        state->keys.back().values.push_back(std::move(value));
        return true;
    }
    if (kind == "service" && f.size() == 3 && numbers(2, 1)) {
        state->services.emplace_back(f[1], n[0] != 0);
        return true;
    }
    SimSpooler::SavedState& spooler = state->spooler;
    if (kind == "port" && f.size() == 4) {
        spooler.ports.push_back({f[1], f[2], f[3]});
        return true;
    }
    if (kind == "printer" && f.size() == 6) {
        spooler.printers.push_back({f[1], f[2], f[3], f[4], f[5]});
        return true;
    }
    if (kind == "driver" && f.size() == 10 && numbers(1, 1)) {
        SimSpooler::DriverRecord driver;
        driver.version = static_cast<win::DWORD>(n[0]);
        driver.name = f[2];
        driver.environment = f[3];
        driver.driverPath = f[4];
        driver.dataFile = f[5];
        driver.configFile = f[6];
        driver.helpFile = f[7];
        driver.monitorName = f[8];
        driver.defaultDataType = f[9];
        spooler.drivers.push_back(std::move(driver));
        return true;
    }
    if (kind == "dependent" && f.size() == 2 && !spooler.drivers.empty()) {
        spooler.drivers.back().dependentFiles.push_back(f[1]);
        return true;
    }
    if (kind == "installed" && f.size() == 2 && !spooler.drivers.empty()) {
        spooler.drivers.back().installedFiles.push_back(f[1]);
        return true;
    }
    if (kind == "monitor" && f.size() == 4) {
        spooler.monitors.push_back({f[1], f[2], f[3]});
        return true;
    }
    if (kind == "usb" && f.size() == 2) {
        spooler.usbAttached.push_back(f[1]);
        return true;
    }
    return false;
}

}  // namespace

std::string SaveMachineState(SimMachine& machine) {
    std::string out = std::string(kFormatLine) + "\n";
    LineWriter line;

    {
        // Reading the version is the machine's own business: no call is
        // logged and no injected fault is spent.
        SimEnv::InternalScope internal;
        const win::DWORD savedError = machine.GetLastError();
        win::OSVERSIONINFOEXA version{};
        version.dwOSVersionInfoSize = win::OSVERSIONINFOEXA_SIZE;
        if (machine.sim_system().GetVersionExA(&version) != 0) {
            version.szCSDVersion[sizeof(version.szCSDVersion) - 1] = '\0';
            line.Field("system")
                .Number(version.dwPlatformId)
                .Number(version.dwMajorVersion)
                .Number(version.dwMinorVersion)
                .Number(version.dwBuildNumber)
                .Field(version.szCSDVersion)
                .Number(version.wServicePackMajor)
                .Number(version.wServicePackMinor)
                .Number(machine.sim_system().HasIsWow64Process() ? 1 : 0)
                .Number(machine.sim_system().IsWow64() ? 1 : 0)
                .End(&out);
            line.Field("processor")
                .Number(machine.sim_system().HasIsWow64Process2Export() ? 1 : 0)
                .Number(machine.sim_system().NativeMachine())
                .End(&out);
        }
        machine.SetLastError(savedError);
    }

    for (const SimRegistry::SavedKey& key : machine.sim_registry().SaveKeys()) {
        line.Field("key").Field(RootName(key.root)).Field(key.path).End(&out);
        for (const SimRegistry::SavedValue& value : key.values) {
            line.Field("value").Field(value.name).Number(value.type).Field(Hex(value.data)).End(&out);
        }
    }
    for (const auto& [name, running] : machine.sim_services().ServiceStates()) {
        line.Field("service").Field(name).Number(running ? 1 : 0).End(&out);
    }

    const SimSpooler::SavedState spooler = machine.sim_spooler().SaveState();
    for (const auto& port : spooler.ports) line.Field("port").Field(port.name).Field(port.monitor).Field(port.description).End(&out);
    for (const auto& p : spooler.printers) {
        line.Field("printer").Field(p.name).Field(p.port).Field(p.driver).Field(p.printProcessor).Field(p.datatype).End(&out);
    }
    for (const auto& d : spooler.drivers) {
        line.Field("driver")
            .Number(d.version)
            .Field(d.name)
            .Field(d.environment)
            .Field(d.driverPath)
            .Field(d.dataFile)
            .Field(d.configFile)
            .Field(d.helpFile)
            .Field(d.monitorName)
            .Field(d.defaultDataType)
            .End(&out);
        for (const auto& file : d.dependentFiles) line.Field("dependent").Field(file).End(&out);
        for (const auto& file : d.installedFiles) line.Field("installed").Field(file).End(&out);
    }
    for (const auto& m : spooler.monitors) line.Field("monitor").Field(m.name).Field(m.environment).Field(m.dllPath).End(&out);
    for (const auto& port : spooler.usbAttached) line.Field("usb").Field(port).End(&out);
    return out;
}

bool LoadMachineState(SimMachine& machine, const std::string& text, std::string* error) {
    std::istringstream in(text);
    std::string raw;
    ParsedState state;
    int lineNumber = 0;
    bool sawFormat = false;
    while (std::getline(in, raw)) {
        ++lineNumber;
        if (raw.empty()) continue;
        if (!sawFormat) {
            if (raw != kFormatLine) {
                if (error != nullptr) *error = "line 1: not a saved machine state";
                return false;
            }
            sawFormat = true;
            continue;
        }
        std::vector<std::string> fields;
        std::size_t start = 0;
        bool ok = true;
        for (;;) {
            const std::size_t tab = raw.find('\t', start);
            std::string field;
            ok = ok && UnescapeField(raw.substr(start, tab == std::string::npos ? std::string::npos : tab - start), &field);
            fields.push_back(std::move(field));
            if (tab == std::string::npos) break;
            start = tab + 1;
        }
        if (!ok || !ParseLine(fields, &state)) {
            if (error != nullptr) *error = "line " + std::to_string(lineNumber) + ": malformed \"" + fields[0] + "\" record";
            return false;
        }
    }
    if (!sawFormat) {
        if (error != nullptr) *error = "empty machine state";
        return false;
    }

    // The system first: the spooler's native environment follows WOW64,
    // and the spooler's saved monitors carry theirs.
    if (state.haveSystem) {
        SimSystemInfo& system = machine.sim_system();
        system.SetVersion(state.platformId, state.major, state.minor, state.build, state.csdVersion);
        system.SetServicePack(state.servicePackMajor, state.servicePackMinor);
        system.SetHasIsWow64Process(state.hasIsWow64Process);
        machine.SetWow64(state.wow64);
    }
    if (state.haveProcessor) {
        machine.sim_system().SetHasIsWow64Process2(state.hasIsWow64Process2);
        machine.SetNativeMachine(state.nativeMachine);
    }
    SimRegistry& registry = machine.sim_registry();
    for (const SimRegistry::SavedKey& key : state.keys) {
        registry.CreateKey(key.root, key.path);
        for (const SimRegistry::SavedValue& value : key.values) {
            registry.SetValue(key.root, key.path, value.name, value.type, value.data);
        }
    }
    // A service the machine already has keeps its hooks (the spooler's
    // start hook): only its state is loaded.
    SimServices& services = machine.sim_services();
    for (const auto& [name, running] : state.services) {
        if (services.HasService(name)) {
            services.SetRunning(name, running);
        } else {
            services.AddService(name, running);
        }
    }
    machine.sim_spooler().RestoreState(state.spooler);
    return true;
}

bool SaveMachineStateFile(SimMachine& machine, const std::string& path, std::string* error) {
    const std::string text = SaveMachineState(machine);
    // Written beside and renamed, so that an interrupted save leaves the
    // previous state whole.
    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) {
            if (error != nullptr) *error = "cannot write " + temporary;
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        if (error != nullptr) *error = "cannot replace " + path;
        return false;
    }
    return true;
}

bool LoadMachineStateFile(SimMachine& machine, const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error != nullptr) *error = "cannot read " + path;
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    return LoadMachineState(machine, text.str(), error);
}

}  // namespace platform::sim
