// Contract of the unpacker: what it refuses before anything is written and
// what it reports, the same on the simulated machine and on the Win32
// backend under Wine. A traits class gives: machine(), Root() (an empty
// scratch folder, a Windows path without a trailing '\'), Write(path,
// bytes), Read(path) ("<missing>" when it cannot), LinkedOutput(&folder)
// (an output folder whose "Ticket" is a link to an empty folder elsewhere;
// false where none can be made) and LinkTargetIsEmpty().
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/machine.h"
#include "tests/e2e/cabinet_writer.h"
#include "tests/support/contract_machines.h"

namespace {

template <typename Traits>
class ArchiveContractTest : public ::testing::Test {
protected:
    // Unpacks the cabinet of these entries into `output`; the unpacker's
    // result, with the files it reported in *unpacked.
    int Unpack(const std::vector<e2e::CabinetEntry>& entries, const std::string& output,
               std::vector<std::string>* unpacked) {
        const std::string package = m_traits.Root() + "\\DriverData.Drv";
        EXPECT_TRUE(m_traits.Write(package, e2e::MakeCabinet(entries)));
        platform::ArchiveLibrary& archive = m_traits.machine().archive();
        win::HMODULE module = archive.LoadUnpacker();
        EXPECT_NE(module, nullptr);
        unpacked->assign(1, "untouched");
        int result = archive.Extract(module, package.c_str(), output.c_str(), unpacked);
        archive.FreeLibrary(module);
        return result;
    }

    Traits m_traits;
};

TYPED_TEST_SUITE_P(ArchiveContractTest);

// Windows reports a junction or a directory symbolic link as a folder and a
// reparse point, and so does Wine for a host symbolic link. The unpacker
// then refuses the package before writing even the entries that do not
// pass the link.
TYPED_TEST_P(ArchiveContractTest, LinkOnTheWayRefusesThePackageAndWritesNothing) {
    std::string output;
    if (!this->m_traits.LinkedOutput(&output)) GTEST_SKIP() << "no link can be made here";
    EXPECT_EQ(this->m_traits.machine().files().GetFileAttributesA((output + "\\Ticket").c_str()),
              win::FILE_ATTRIBUTE_DIRECTORY | win::FILE_ATTRIBUTE_REPARSE_POINT);
    std::vector<std::string> unpacked;
    EXPECT_NE(this->Unpack({{"DriverName.cfg", "list"}, {"Ticket\\x86\\a.dll", "driver"}}, output, &unpacked), 0);
    EXPECT_TRUE(unpacked.empty());
    EXPECT_EQ(this->m_traits.Read(output + "\\DriverName.cfg"), "<missing>");
    EXPECT_TRUE(this->m_traits.LinkTargetIsEmpty());
}

// Entries outside the package's places, or two names for one file, refuse
// the whole package: the good entries before them are not written either.
TYPED_TEST_P(ArchiveContractTest, RefusedPackagesWriteNothing) {
    const std::string output = this->m_traits.Root();
    for (const char* bad : {"Windows\\System32\\x.dll", "Setup.exe", "TICKET\\A.DLL", "Ticket\\a.dll\\b"}) {
        SCOPED_TRACE(bad);
        std::vector<std::string> unpacked;
        EXPECT_NE(this->Unpack({{"DriverName.cfg", "list"}, {"Ticket\\a.dll", "driver"}, {bad, "x"}}, output,
                               &unpacked),
                  0);
        EXPECT_TRUE(unpacked.empty());
        EXPECT_EQ(this->m_traits.Read(output + "\\DriverName.cfg"), "<missing>");
        EXPECT_EQ(this->m_traits.Read(output + "\\Ticket\\a.dll"), "<missing>");
    }
}

// What an earlier run left is taken over as the package's own and
// reported; a file of other bytes in an entry's place is the user's, and
// the package is refused with the file kept.
TYPED_TEST_P(ArchiveContractTest, OnlyTheFilesAnEarlierRunLeftAreTakenOver) {
    const std::string output = this->m_traits.Root();
    const std::vector<e2e::CabinetEntry> package = {{"DriverName.cfg", "list"}, {"Ticket\\x86\\a.dll", "driver"}};
    const std::vector<std::string> files = {"DriverName.cfg", "Ticket\\x86\\a.dll"};
    std::vector<std::string> unpacked;
    ASSERT_EQ(this->Unpack(package, output, &unpacked), 0);
    EXPECT_EQ(unpacked, files);
    ASSERT_EQ(this->Unpack(package, output, &unpacked), 0);
    EXPECT_EQ(unpacked, files);
    ASSERT_TRUE(this->m_traits.Write(output + "\\DriverName.cfg", "the user's"));
    EXPECT_NE(this->Unpack(package, output, &unpacked), 0);
    EXPECT_TRUE(unpacked.empty());
    EXPECT_EQ(this->m_traits.Read(output + "\\DriverName.cfg"), "the user's");
}

REGISTER_TYPED_TEST_SUITE_P(ArchiveContractTest, LinkOnTheWayRefusesThePackageAndWritesNothing,
                            RefusedPackagesWriteNothing, OnlyTheFilesAnEarlierRunLeftAreTakenOver);

#if !defined(_WIN32)
class SimArchiveTraits {
public:
    SimArchiveTraits() {
        m_machine = contract::MakeScratchSimMachine("archive");
        m_sim = static_cast<platform::sim::SimMachine*>(m_machine.get());
        EXPECT_EQ(m_sim->sim_files().CreateFolders(Root()).error, 0u);
    }
    platform::Machine& machine() { return *m_machine; }
    std::string Root() { return "C:\\contract"; }
    bool Write(const std::string& path, const std::string& bytes) { return m_sim->sim_files().WriteFile(path, bytes); }
    std::string Read(const std::string& path) {
        std::optional<std::string> bytes = m_sim->sim_files().ReadFile(path);
        return bytes ? *bytes : "<missing>";
    }
    bool LinkedOutput(std::string* output) {
        *output = "C:\\linked";
        m_target = m_sim->sim_files().HostRoot() + "/../link-target";
        std::filesystem::create_directories(m_target);
        return m_sim->sim_files().CreateFolders(*output).error == 0 &&
               m_sim->sim_files().MakeLink(*output + "\\Ticket", m_target);
    }
    bool LinkTargetIsEmpty() { return std::filesystem::is_empty(m_target); }

private:
    std::unique_ptr<platform::Machine> m_machine;
    platform::sim::SimMachine* m_sim = nullptr;
    std::string m_target;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Sim, ArchiveContractTest, SimArchiveTraits);
#else
INSTANTIATE_TYPED_TEST_SUITE_P(Win32, ArchiveContractTest, e2e::Win32ArchiveTraits);
#endif

}  // namespace
