// The driver catalogue: which files make up each driver series.
//
// Constant tables built into the program. Series indexes 0 to 29 are receipt
// series (built on the system's universal printer driver: one GPD file each
// and one of five family DLLs), from 30 on label series (complete drivers of
// their own). The model rows are this package's own invented models.
#pragma once

#include <string>

namespace install {

constexpr int CATALOGUE_RECEIPT_ROWS = 30;
constexpr int CATALOGUE_RECEIPT_FAMILIES = 5;
constexpr int CATALOGUE_LABEL_ROWS = 5;
constexpr int CATALOGUE_LABEL_DLLS = 30;
constexpr int CATALOGUE_UNIDRV_FILES = 6;
constexpr int CATALOGUE_RECEIPT_GROUPS = 4;

// First row of each receipt group, and the group sizes the dialog starts
// with (m_receiptGroup1Size..4Size); the two must agree.
constexpr int CATALOGUE_GROUP_FIRST_ROWS[CATALOGUE_RECEIPT_GROUPS] = {0, 15, 22, 27};
constexpr int CATALOGUE_GROUP_SIZES[CATALOGUE_RECEIPT_GROUPS] = {15, 7, 5, 3};

// Group 2 uses family row 1, except the series whose printer name equals
// receipt row 19's display name, which uses family row 2.
constexpr int CATALOGUE_EXCEPTION_ROW = 19;
constexpr int CATALOGUE_EXCEPTION_FAMILY = 2;

// Label DLL table rows with a role of their own; rows 3 to 29 are language
// resource DLLs.
constexpr int CATALOGUE_LABEL_MONITOR_ROW = 0;
constexpr int CATALOGUE_LABEL_DRIVER_ROW = 1;
constexpr int CATALOGUE_LABEL_UI_ROW = 2;
constexpr int CATALOGUE_LABEL_FIRST_LANGUAGE_ROW = 3;

inline constexpr const char* CATALOGUE_ENVIRONMENT_X86 = "Windows NT x86";
inline constexpr const char* CATALOGUE_ENVIRONMENT_X64 = "Windows x64";
// The package's folders, relative to the folder it was unpacked into.
inline constexpr const char* CATALOGUE_RECEIPT_SOURCE_X86 = "Ticket\\x86\\";
inline constexpr const char* CATALOGUE_RECEIPT_SOURCE_X64 = "Ticket\\x64\\";
inline constexpr const char* CATALOGUE_LABEL_SOURCE_X86 = "Barcode\\x86\\";
inline constexpr const char* CATALOGUE_LABEL_SOURCE_X64 = "Barcode\\x64\\";
inline constexpr const char* CATALOGUE_LABEL_COMMON = "Barcode\\Common\\";
inline constexpr const char* CATALOGUE_HELP_FILE = "THERMAL.chm";
inline constexpr const char* CATALOGUE_MONITOR_NAME = "Advanced Language Monitor";
inline constexpr const char* CATALOGUE_PRINT_PROCESSOR = "WinPrint";
inline constexpr const char* CATALOGUE_DATA_TYPE = "RAW";
// A 32-bit program's name for the 64-bit system folder, below the Windows folder.
inline constexpr const char* CATALOGUE_NATIVE_SYSTEM_FOLDER = "Sysnative";

extern const char* const ReceiptSeriesNames[CATALOGUE_RECEIPT_ROWS];
extern const char* const ReceiptGpdNames[CATALOGUE_RECEIPT_ROWS];
extern const char* const ReceiptFamilyDlls[CATALOGUE_RECEIPT_FAMILIES];
extern const char* const LabelSeriesNames[CATALOGUE_LABEL_ROWS];
extern const char* const LabelBaseNames[CATALOGUE_LABEL_ROWS];
extern const char* const LabelDllsX86[CATALOGUE_LABEL_DLLS];
extern const char* const LabelDllsX64[CATALOGUE_LABEL_DLLS];
extern const char* const UnidrvSupportFiles[CATALOGUE_UNIDRV_FILES];

struct ReceiptSeries {
    const char* displayName;
    const char* gpdBase;
    const char* familyDllBase;
};

struct LabelSeries {
    const char* displayName;
    const char* baseName;
};

// groupSizes: the dialog's m_receiptGroup1Size..4Size. Returns false (and
// fills nothing) for an index outside the receipt rows, or one that the
// sizes would put on a table row outside its group.
bool ReceiptRow(int seriesIndex, const std::string& comboText, const int (&groupSizes)[4], ReceiptSeries* out);

// receiptRowCount: the sum of the receipt group sizes. Returns false (and
// fills nothing) for an index outside the label rows.
bool LabelRow(int seriesIndex, int receiptRowCount, LabelSeries* out);

// The 30-row label DLL table for the architecture (x64 when isX64).
const char* const* LabelDlls(int isX64);

// Per-architecture values (x64 when isX64).
const char* SpoolerEnvironment(int isX64);
const char* ReceiptSourceFolder(int isX64);
const char* LabelSourceFolder(int isX64);

}  // namespace install
