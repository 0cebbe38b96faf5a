// The driver catalogue's lookups, and the sample driver package agreeing
// with it: every file it names is packed, and DriverName.cfg has one section
// per catalogue row.
#include "install/driver_catalogue.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/sim/sim_archive.h"
#include "platform/sim/sim_env.h"
#include "platform/sim/sim_files.h"

namespace {

using install::CATALOGUE_GROUP_SIZES;
using install::LabelRow;
using install::LabelSeries;
using install::ReceiptRow;
using install::ReceiptSeries;

// Every row written out, not taken from the tables: two rows swapped in a
// table must show.
TEST(DriverCatalogueTest, EveryReceiptRowNamesItsOwnFiles) {
    const struct {
        const char* display;
        const char* gpd;
        const char* family;
    } rows[install::CATALOGUE_RECEIPT_ROWS] = {
        {"Sample R58-01", "SR5801", "SMPF58"},    {"Sample R58-02", "SR5802", "SMPF58"},
        {"Sample R58-03", "SR5803", "SMPF58"},    {"Sample R58-04", "SR5804", "SMPF58"},
        {"Sample R58-05", "SR5805", "SMPF58"},    {"Sample R58-06", "SR5806", "SMPF58"},
        {"Sample R58-06S", "SR5806", "SMPF58"},   {"Sample R58-07", "SR5807", "SMPF58"},
        {"Sample R58-08", "SR5808", "SMPF58"},    {"Sample R58-09", "SR5809", "SMPF58"},
        {"Sample R58-10", "SR5810", "SMPF58"},    {"Sample R58-11", "SR5811", "SMPF58"},
        {"Sample R58-12", "SR5812", "SMPF58"},    {"Sample R58-13", "SR5813", "SMPF58"},
        {"Sample R58-14", "SR5814", "SMPF58"},    {"Sample R80-01", "SR8001", "SMPF80"},
        {"Sample R80-02", "SR8002", "SMPF80"},    {"Sample R80-03", "SR8003", "SMPF80"},
        {"Sample R80-04", "SR8004", "SMPF80"},    {"Sample R80-05X", "SR8005", "SMPF80"},
        {"Sample R80-06", "SR8006", "SMPF80"},    {"Sample R80-07", "SR8007", "SMPF80"},
        {"Sample R76-01", "SR7601", "SMPF76"},    {"Sample R76-02", "SR7602", "SMPF76"},
        {"Sample R76-03", "SR7603", "SMPF76"},    {"Sample R76-04", "SR7604", "SMPF76"},
        {"Sample R76-05", "SR7605", "SMPF76"},    {"Sample R112-01", "SR11201", "SMPF112"},
        {"Sample R112-02", "SR11202", "SMPF112"}, {"Sample R112-03", "SR11203", "SMPF112"},
    };
    for (int index = 0; index < install::CATALOGUE_RECEIPT_ROWS; ++index) {
        ReceiptSeries row{};
        ASSERT_TRUE(ReceiptRow(index, "any other text", CATALOGUE_GROUP_SIZES, &row)) << index;
        EXPECT_STREQ(row.displayName, rows[index].display) << index;
        EXPECT_STREQ(row.gpdBase, rows[index].gpd) << index;
        EXPECT_STREQ(row.familyDllBase, rows[index].family) << index;
    }
}

TEST(DriverCatalogueTest, Row19TakesItsOwnFamilyOnlyWithItsExactName) {
    const int(&sizes)[4] = CATALOGUE_GROUP_SIZES;
    std::string name = install::ReceiptSeriesNames[19];
    ReceiptSeries row{};
    ASSERT_TRUE(ReceiptRow(19, name, sizes, &row));
    EXPECT_STREQ(row.familyDllBase, "SMPF80X");

    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const std::string& other : {std::string("Sample R80-05"), lower, name + " ", std::string()}) {
        ASSERT_TRUE(ReceiptRow(19, other, sizes, &row));
        EXPECT_STREQ(row.familyDllBase, "SMPF80") << '"' << other << '"';
    }
    // The text decides only inside group 2.
    ASSERT_TRUE(ReceiptRow(14, name, sizes, &row));
    EXPECT_STREQ(row.familyDllBase, "SMPF58");
}

TEST(DriverCatalogueTest, RowsOutsideTheTablesAreRefusedAndNothingFilled) {
    const int(&sizes)[4] = CATALOGUE_GROUP_SIZES;
    ReceiptSeries untouched{"x", "y", "z"};
    for (int index : {-1, 30, 34, 1000}) {
        EXPECT_FALSE(ReceiptRow(index, "", sizes, &untouched)) << index;
    }
    EXPECT_STREQ(untouched.displayName, "x");
    // Group sizes that disagree with the tables would mix rows and families.
    const int tooLargeFirstGroup[4] = {16, 7, 5, 3};
    EXPECT_FALSE(ReceiptRow(15, "", tooLargeFirstGroup, &untouched));
    EXPECT_TRUE(ReceiptRow(14, "", tooLargeFirstGroup, &untouched));
    const int huge[4] = {15, 7, 5, 0x7fffffff};
    EXPECT_FALSE(ReceiptRow(40, "", huge, &untouched));

    LabelSeries label{"x", "y"};
    EXPECT_FALSE(LabelRow(29, 30, &label));
    EXPECT_FALSE(LabelRow(35, 30, &label));
    EXPECT_FALSE(LabelRow(-2147483647 - 1, 30, &label));
    EXPECT_STREQ(label.displayName, "x");
}

TEST(DriverCatalogueTest, LabelRowsCountFromTheEndOfTheReceiptRows) {
    const char* const rows[][2] = {{"Sample LB-40", "SLB40"},
                                   {"Sample LB-60", "SLB60"},
                                   {"Sample LB-80", "SLB80"},
                                   {"Sample LB-100", "SLB100"},
                                   {"Sample LB-110", "SLB110"}};
    for (int label = 0; label < install::CATALOGUE_LABEL_ROWS; ++label) {
        LabelSeries row{};
        ASSERT_TRUE(LabelRow(30 + label, 30, &row));
        EXPECT_STREQ(row.displayName, rows[label][0]);
        EXPECT_STREQ(row.baseName, rows[label][1]);
    }
}

TEST(DriverCatalogueTest, LabelDllNamesFollowTheArchitecture) {
    const char* const* x86 = install::LabelDlls(0);
    const char* const* x64 = install::LabelDlls(1);
    std::vector<std::string> roles = {"DRV", "UI", "ENG", "SLO", "CRO", "GER", "DAN", "FRA", "SPA", "ITA",
                                      "FIN", "DUT", "CZE", "POL", "HUN", "RUS", "TUR", "SWE", "HEB", "SVK",
                                      "LIT", "CHI", "SCH", "TAI", "KOR", "JAP", "UKR", "NOR", "PBR"};
    EXPECT_STREQ(x86[0], "qmtNLMNT.dll");
    EXPECT_STREQ(x64[0], "qmtNLM64.dll");
    for (int row = 1; row < install::CATALOGUE_LABEL_DLLS; ++row) {
        EXPECT_EQ(x86[row], "LBX" + roles[row - 1] + "50.DLL");
        EXPECT_EQ(x64[row], "LBX" + roles[row - 1] + "56.DLL");
    }
    EXPECT_STREQ(install::SpoolerEnvironment(0), "Windows NT x86");
    EXPECT_STREQ(install::SpoolerEnvironment(1), "Windows x64");
    EXPECT_STREQ(install::ReceiptSourceFolder(1), "C:\\Ticket\\x64\\");
    EXPECT_STREQ(install::LabelSourceFolder(0), "C:\\Barcode\\x86\\");
}

// The label driver's dependent-file list must stay within its 500-byte
// buffer for every series on both architectures.
TEST(DriverCatalogueTest, LabelDependentFilesFitTheirBuffer) {
    for (int wow64 = 0; wow64 < 2; ++wow64) {
        for (int row = 0; row < install::CATALOGUE_LABEL_ROWS; ++row) {
            size_t bytes = 1;  // the list's final zero
            for (int dll = install::CATALOGUE_LABEL_FIRST_LANGUAGE_ROW; dll < install::CATALOGUE_LABEL_DLLS; ++dll) {
                bytes += 1 + std::strlen(install::LabelDlls(wow64)[dll]) + 1;
            }
            bytes += 1 + std::strlen(install::LabelBaseNames[row]) + 4 + 1;
            bytes += std::strlen(install::LabelBaseNames[row]) + 4 + 1;
            EXPECT_LT(bytes, 450u) << install::LabelSeriesNames[row];
        }
    }
}

std::vector<std::string> CataloguedFiles() {
    std::vector<std::string> files;
    for (const char* arch : {"x86", "x64"}) {
        std::string ticket = std::string("Ticket\\") + arch + "\\";
        for (const char* base : install::ReceiptFamilyDlls) files.push_back(ticket + base + ".DLL");
        for (const char* base : install::ReceiptGpdNames) files.push_back(ticket + base + ".GPD");
        for (const char* name : install::UnidrvSupportFiles) files.push_back(ticket + name);
    }
    for (const char* name : install::LabelDllsX86) files.push_back(std::string("Barcode\\x86\\") + name);
    for (const char* name : install::LabelDllsX64) files.push_back(std::string("Barcode\\x64\\") + name);
    files.push_back(std::string("Barcode\\Common\\") + install::CATALOGUE_HELP_FILE);
    for (const char* base : install::LabelBaseNames) {
        for (const char* ext : {".BA0", ".DAT", ".PP0"}) files.push_back(std::string("Barcode\\Common\\") + base + ext);
    }
    return files;
}

TEST(DriverPackageTest, SourceTreeHoldsEveryCataloguedFileSpelledAsCatalogued) {
    std::string root = std::string(INSTALLER_SOURCE_DIR) + "/driver/package/";
    for (std::string file : CataloguedFiles()) {
        for (char& c : file) {
            if (c == '\\') c = '/';
        }
        EXPECT_TRUE(std::filesystem::is_regular_file(root + file)) << file;
    }
}

class PackedDriverPackageTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/catalogue_test_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = pattern;
        m_files = std::make_unique<platform::sim::SimFiles>(m_env, m_dir);
        platform::sim::SimArchive unpacker(m_env, *m_files);
        std::string package = std::string(INSTALLER_BINARY_DIR) + "/DriverData.Drv";
        ASSERT_TRUE(std::filesystem::exists(package)) << "build the driver_package target first";
        ASSERT_TRUE(m_files->WriteFile("C:\\Setup\\DriverData.Drv", ReadHost(package)));
        win::HMODULE module = unpacker.LoadUnpacker();
        ASSERT_EQ(unpacker.Extract(module, "C:\\Setup\\DriverData.Drv", "C:\\", nullptr), 0) << unpacker.LastFailure();
        unpacker.FreeLibrary(module);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    static std::string ReadHost(const std::string& path) {
        FILE* f = std::fopen(path.c_str(), "rb");
        std::string bytes;
        if (!f) return bytes;
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
        std::fclose(f);
        return bytes;
    }

    // Reads the section names and their PrintName values the way the
    // installer walks the file.
    std::vector<std::vector<std::string>> WalkConfig() {
        std::vector<std::vector<std::string>> sections;
        char names[3000] = {};
        m_files->GetPrivateProfileSectionNamesA(names, sizeof names, "C:\\DriverName.cfg");
        for (const char* name = names; *name; name += std::strlen(name) + 1) {
            std::vector<std::string> values;
            for (int k = 1; k <= 50; ++k) {
                char key[32];
                std::snprintf(key, sizeof key, "PrintName%d", k);
                char value[128] = {};
                if (m_files->GetPrivateProfileStringA(name, key, nullptr, value, sizeof value, "C:\\DriverName.cfg") == 0) {
                    break;
                }
                values.push_back(value);
            }
            sections.push_back(values);
        }
        return sections;
    }

    platform::sim::SimEnv m_env;
    std::string m_dir;
    std::unique_ptr<platform::sim::SimFiles> m_files;
};

TEST_F(PackedDriverPackageTest, ConfigHasOneSectionPerCatalogueRow) {
    std::vector<std::vector<std::string>> sections = WalkConfig();
    ASSERT_EQ(sections.size(), static_cast<size_t>(install::CATALOGUE_RECEIPT_ROWS + install::CATALOGUE_LABEL_ROWS));
    std::set<std::string> seen;
    for (size_t row = 0; row < sections.size(); ++row) {
        EXPECT_FALSE(sections[row].empty()) << "section " << row << " lists no printer";
        for (const std::string& name : sections[row]) {
            EXPECT_LT(name.size(), 128u);
            // The last section listing a name wins; a name in two sections
            // would make the earlier series unreachable.
            EXPECT_TRUE(seen.insert(name).second) << name;
        }
    }
    const std::vector<std::string>& row19 = sections[install::CATALOGUE_EXCEPTION_ROW];
    EXPECT_NE(std::find(row19.begin(), row19.end(), std::string(install::ReceiptSeriesNames[19])), row19.end());
    EXPECT_GT(row19.size(), 1u) << "section 19 should also list a name that takes the group's usual family";
    // Chinese model names pass through as code page 936 bytes: "样例" is D1 F9 C0 FD.
    bool sawChinese = false;
    for (const auto& section : sections) {
        for (const std::string& name : section) sawChinese |= name.find("\xD1\xF9\xC0\xFD") != std::string::npos;
    }
    EXPECT_TRUE(sawChinese);
}

}  // namespace
