// Reading profile files on the simulated machine: the rules of the Windows
// profile functions, with their exact results (the cases follow Wine's
// conformance tests for GetPrivateProfileSectionNamesA and
// GetPrivateProfileStringA).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/sim_files.h"

namespace {

constexpr const char* kIni = "C:\\test.ini";

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/profile_test_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = pattern;
        m_files = std::make_unique<platform::sim::SimFiles>(m_env, m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    void Write(const std::string& content) { ASSERT_TRUE(m_files->WriteFile(kIni, content)); }

    // The value and the result, read with a generous buffer.
    std::string Get(const char* section, const char* key, const char* fallback = "default", win::DWORD* result = nullptr) {
        char buffer[260];
        std::memset(buffer, 0x0C, sizeof buffer);
        win::DWORD n = m_files->GetPrivateProfileStringA(section, key, fallback, buffer, sizeof buffer, kIni);
        if (result) *result = n;
        EXPECT_EQ(n, std::strlen(buffer));
        return buffer;
    }

    std::vector<std::string> Names(const std::string& list) {
        std::vector<std::string> names;
        for (const char* p = list.c_str(); *p; p += std::strlen(p) + 1) names.emplace_back(p);
        return names;
    }

    platform::sim::SimEnv m_env;
    std::string m_dir;
    std::unique_ptr<platform::sim::SimFiles> m_files;
};

TEST_F(ProfileTest, SectionNamesTruncateToTheBufferWithTheirExactResults) {
    Write("[section1]\r\n[section2]\r\n[section3]\r\n");
    char buffer[100];
    std::memset(buffer, 0x0C, sizeof buffer);
    EXPECT_EQ(m_files->GetPrivateProfileSectionNamesA(buffer, 29, kIni), 27u);
    EXPECT_EQ(std::memcmp(buffer, "section1\0section2\0section3\0\0", 28), 0);

    // An exactly fitting buffer still counts as too small: size - 2.
    std::memset(buffer, 0x0C, sizeof buffer);
    EXPECT_EQ(m_files->GetPrivateProfileSectionNamesA(buffer, 28, kIni), 26u);
    EXPECT_EQ(std::memcmp(buffer, "section1\0section2\0section3\0\0", 28), 0);

    std::memset(buffer, 0x0C, sizeof buffer);
    EXPECT_EQ(m_files->GetPrivateProfileSectionNamesA(buffer, 27, kIni), 25u);
    EXPECT_EQ(std::memcmp(buffer, "section1\0section2\0section\0\0", 27), 0);
    EXPECT_EQ(buffer[27], 0x0C);

    std::memset(buffer, 0x0C, sizeof buffer);
    EXPECT_EQ(m_files->GetPrivateProfileSectionNamesA(buffer, 1, kIni), 0u);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(buffer[1], 0x0C);
}

TEST_F(ProfileTest, MissingFileGivesNoNamesAndTheDefault) {
    char buffer[10];
    std::memset(buffer, 0x0C, sizeof buffer);
    EXPECT_EQ(m_files->GetPrivateProfileSectionNamesA(buffer, sizeof buffer, "C:\\not_here.ini"), 0u);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_NE(buffer[1], 0);  // an empty string, not an empty list
    EXPECT_EQ(m_files->GetPrivateProfileStringA("s", "k", "defaultvalue", buffer, 5, "C:\\not_here.ini"), 4u);
    EXPECT_STREQ(buffer, "defa");
}

// The same file with each kind of line end, and without a final one.
class ProfileLineEndTest : public ProfileTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(ProfileLineEndTest, EveryLineEndReadsTheSame) {
    std::string eol = GetParam();
    std::string content = "[section1]" + eol + "name1=val1" + eol + "name2=\"val2\"" + eol + "name3" + eol +
                          "name4=a" + eol + "[section2]";
    Write(content);
    win::DWORD result = 0;
    EXPECT_EQ(Get("section1", "name1", "default", &result), "val1");
    EXPECT_EQ(result, 4u);
    EXPECT_EQ(Get("section1", "name2"), "val2");
    EXPECT_EQ(Get("section1", "name3"), "default");  // no '=': no value
    EXPECT_EQ(Get("section1", "name4"), "a");
    char names[64];
    EXPECT_EQ(m_files->GetPrivateProfileSectionNamesA(names, sizeof names, kIni), 18u);
    EXPECT_EQ(std::memcmp(names, "section1\0section2\0\0", 19), 0);
}

INSTANTIATE_TEST_SUITE_P(LineEnds, ProfileLineEndTest, ::testing::Values("\r\n", "\n", "\r"));

TEST_F(ProfileTest, BlanksAroundNamesAndValuesAreDropped) {
    Write("  [  Alpha Beta  ]  \r\n"
          "\t PrintName1 \t=   Model 1   \r\n"
          "PrintName2=\r\n"
          "[Gamma]trailing text\r\n"
          "PrintName1=x=y\r\n");
    char names[64];
    ASSERT_EQ(m_files->GetPrivateProfileSectionNamesA(names, sizeof names, kIni), 17u);
    EXPECT_EQ(Names(std::string(names, 17)), (std::vector<std::string>{"Alpha Beta", "Gamma"}));
    EXPECT_EQ(Get("  alpha beta ", " printname1  "), "Model 1");
    win::DWORD result = 99;
    EXPECT_EQ(Get("Alpha Beta", "PrintName2", "default", &result), "");  // empty, not the default
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(Get("Gamma", "PrintName1"), "x=y");
}

TEST_F(ProfileTest, ValuesAreCutToTheBuffer) {
    Write("[s]\nname1=val1\nname4=a\nq=\"val2\"\n");
    char buffer[16];
    std::strcpy(buffer, "kumquat");
    EXPECT_EQ(m_files->GetPrivateProfileStringA("s", "name1", "default", buffer, 0, kIni), 0u);
    EXPECT_STREQ(buffer, "kumquat");
    EXPECT_EQ(m_files->GetPrivateProfileStringA("s", "name1", "default", buffer, 5, kIni), 4u);
    EXPECT_STREQ(buffer, "val1");
    EXPECT_EQ(m_files->GetPrivateProfileStringA("s", "name4", "default", buffer, 1, kIni), 0u);
    EXPECT_STREQ(buffer, "");
    // The quotes are not part of the value, also when it is cut.
    EXPECT_EQ(m_files->GetPrivateProfileStringA("s", "q", "default", buffer, 5, kIni), 4u);
    EXPECT_STREQ(buffer, "val2");
    EXPECT_EQ(m_files->GetPrivateProfileStringA("s", "q", "default", buffer, 3, kIni), 2u);
    EXPECT_STREQ(buffer, "va");
}

TEST_F(ProfileTest, OnlyMatchingQuotesAreRemoved) {
    Write("[s]\na='single'\nb=\"open\nc=\"\nd=\"mixed'\ne=\"\"\nf=in \"side\"\n");
    EXPECT_EQ(Get("s", "a"), "single");
    EXPECT_EQ(Get("s", "b"), "\"open");
    EXPECT_EQ(Get("s", "c"), "\"");
    EXPECT_EQ(Get("s", "d"), "\"mixed'");
    EXPECT_EQ(Get("s", "e"), "");
    EXPECT_EQ(Get("s", "f"), "in \"side\"");
}

TEST_F(ProfileTest, CommentsAndBrokenHeadersNameNothing) {
    Write("; PrintName1=from a comment\n"
          ";[Hidden]\n"
          "[Real]\n"
          "; PrintName1=commented out\n"
          "PrintName2=two\n"
          "[Broken\n"
          "PrintName3=three\n");
    char names[64];
    ASSERT_EQ(m_files->GetPrivateProfileSectionNamesA(names, sizeof names, kIni), 5u);
    EXPECT_STREQ(names, "Real");
    EXPECT_EQ(Get("Real", "PrintName1"), "default");
    EXPECT_EQ(Get("Hidden", "PrintName1"), "default");
    // "[Broken" is an ordinary line, so the key after it stays in [Real].
    EXPECT_EQ(Get("Real", "PrintName3"), "three");
    // Listing the keys skips comments and lines without '='.
    char keys[64];
    win::DWORD n = m_files->GetPrivateProfileStringA("Real", nullptr, "", keys, sizeof keys, kIni);
    EXPECT_EQ(Names(std::string(keys, n + 1)), (std::vector<std::string>{"PrintName2", "PrintName3"}));
}

TEST_F(ProfileTest, DuplicatedSectionsAreListedButOnlyTheFirstIsSearched) {
    Write("[Dup]\nPrintName1=first\n[Other]\nPrintName1=o\n[DUP]\nPrintName1=second\nPrintName2=only here\n");
    char names[64];
    win::DWORD n = m_files->GetPrivateProfileSectionNamesA(names, sizeof names, kIni);
    EXPECT_EQ(Names(std::string(names, n + 1)), (std::vector<std::string>{"Dup", "Other", "DUP"}));
    EXPECT_EQ(Get("dup", "PrintName1"), "first");
    EXPECT_EQ(Get("DUP", "PrintName2"), "default");
}

TEST_F(ProfileTest, DefaultsLoseTrailingBlanksOnly) {
    Write("[s]\n");
    EXPECT_EQ(Get("s", "missing", "one two  "), "one two");
    EXPECT_EQ(Get("s", "missing", "  lead"), "  lead");
    EXPECT_EQ(Get("s", "missing", nullptr), "");
    EXPECT_EQ(Get("", "missing", "default"), "default");
}

// Code page 936 text passes through as bytes; only ASCII letters fold, and
// a trail byte is never taken for a letter or a bracket.
TEST_F(ProfileTest, DoubleByteTextIsComparedAndReturnedAsItIs) {
    // D1 F9 C0 FD is "样例"; 81 5D is a character whose trail byte is ']'.
    Write("[\xD1\xF9\xC0\xFD]\r\n"
          "PrintName1=\xD1\xF9\xC0\xFD R58\r\n"
          "[A\x81\x5D]\r\n"
          "PrintName1=bracket\r\n"
          "[\x81\x5D\r\n"
          "[\xB0\x61]\r\n"
          "k=lower trail\r\n");
    char names[64];
    win::DWORD n = m_files->GetPrivateProfileSectionNamesA(names, sizeof names, kIni);
    EXPECT_EQ(Names(std::string(names, n + 1)),
              (std::vector<std::string>{"\xD1\xF9\xC0\xFD", "A\x81\x5D", "\xB0\x61"}));
    EXPECT_EQ(Get("\xD1\xF9\xC0\xFD", "printname1"), "\xD1\xF9\xC0\xFD R58");
    EXPECT_EQ(Get("a\x81\x5D", "PrintName1"), "bracket");
    EXPECT_EQ(Get("\xB0\x61", "k"), "lower trail");
    EXPECT_EQ(Get("\xB0\x41", "k"), "default");
}

TEST_F(ProfileTest, BareFileNamesAreLookedForInTheWindowsFolder) {
    ASSERT_TRUE(m_files->WriteFile("C:\\Windows\\bare.ini", "[s]\nk=windows folder\n"));
    char buffer[32];
    EXPECT_EQ(m_files->GetPrivateProfileStringA("s", "k", "", buffer, sizeof buffer, "bare.ini"), 14u);
    EXPECT_STREQ(buffer, "windows folder");
}

}  // namespace
