// The driver catalogue's lookups. That the sample package holds what the
// catalogue names is the package tool's check (driver_package_test.cpp).
#include "install/driver_catalogue.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

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
    EXPECT_STREQ(install::ReceiptSourceFolder(1), "Ticket\\x64\\");
    EXPECT_STREQ(install::LabelSourceFolder(0), "Barcode\\x86\\");
}

}  // namespace
