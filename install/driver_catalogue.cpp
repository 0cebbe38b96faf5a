// The driver catalogue's tables and lookups.
#include "install/driver_catalogue.h"

namespace install {

const char* const ReceiptSeriesNames[CATALOGUE_RECEIPT_ROWS] = {
    // Group 1: 58 mm printers.
    "Sample R58-01", "Sample R58-02", "Sample R58-03", "Sample R58-04", "Sample R58-05",
    "Sample R58-06", "Sample R58-06S", "Sample R58-07", "Sample R58-08", "Sample R58-09",
    "Sample R58-10", "Sample R58-11", "Sample R58-12", "Sample R58-13", "Sample R58-14",
    // Group 2: 80 mm printers; row 19 brings its own family DLL.
    "Sample R80-01", "Sample R80-02", "Sample R80-03", "Sample R80-04", "Sample R80-05X",
    "Sample R80-06", "Sample R80-07",
    // Group 3: 76 mm impact printers.
    "Sample R76-01", "Sample R76-02", "Sample R76-03", "Sample R76-04", "Sample R76-05",
    // Group 4: 112 mm printers.
    "Sample R112-01", "Sample R112-02", "Sample R112-03",
};

const char* const ReceiptGpdNames[CATALOGUE_RECEIPT_ROWS] = {
    "SR5801", "SR5802", "SR5803", "SR5804", "SR5805",
    "SR5806", "SR5806",  // the S model is the same printer with a cutter switch
    "SR5807", "SR5808", "SR5809", "SR5810", "SR5811", "SR5812", "SR5813", "SR5814",
    "SR8001", "SR8002", "SR8003", "SR8004", "SR8005", "SR8006", "SR8007",
    "SR7601", "SR7602", "SR7603", "SR7604", "SR7605",
    "SR11201", "SR11202", "SR11203",
};

const char* const ReceiptFamilyDlls[CATALOGUE_RECEIPT_FAMILIES] = {
    "SMPF58", "SMPF80", "SMPF80X", "SMPF76", "SMPF112",
};

const char* const LabelSeriesNames[CATALOGUE_LABEL_ROWS] = {
    "Sample LB-40", "Sample LB-60", "Sample LB-80", "Sample LB-100", "Sample LB-110",
};

const char* const LabelBaseNames[CATALOGUE_LABEL_ROWS] = {
    "SLB40", "SLB60", "SLB80", "SLB100", "SLB110",
};

const char* const LabelDllsX86[CATALOGUE_LABEL_DLLS] = {
    "qmtNLMNT.dll", "LBXDRV50.DLL", "LBXUI50.DLL",
    "LBXENG50.DLL", "LBXSLO50.DLL", "LBXCRO50.DLL", "LBXGER50.DLL", "LBXDAN50.DLL",
    "LBXFRA50.DLL", "LBXSPA50.DLL", "LBXITA50.DLL", "LBXFIN50.DLL", "LBXDUT50.DLL",
    "LBXCZE50.DLL", "LBXPOL50.DLL", "LBXHUN50.DLL", "LBXRUS50.DLL", "LBXTUR50.DLL",
    "LBXSWE50.DLL", "LBXHEB50.DLL", "LBXSVK50.DLL", "LBXLIT50.DLL", "LBXCHI50.DLL",
    "LBXSCH50.DLL", "LBXTAI50.DLL", "LBXKOR50.DLL", "LBXJAP50.DLL", "LBXUKR50.DLL",
    "LBXNOR50.DLL", "LBXPBR50.DLL",
};

const char* const LabelDllsX64[CATALOGUE_LABEL_DLLS] = {
    "qmtNLM64.dll", "LBXDRV56.DLL", "LBXUI56.DLL",
    "LBXENG56.DLL", "LBXSLO56.DLL", "LBXCRO56.DLL", "LBXGER56.DLL", "LBXDAN56.DLL",
    "LBXFRA56.DLL", "LBXSPA56.DLL", "LBXITA56.DLL", "LBXFIN56.DLL", "LBXDUT56.DLL",
    "LBXCZE56.DLL", "LBXPOL56.DLL", "LBXHUN56.DLL", "LBXRUS56.DLL", "LBXTUR56.DLL",
    "LBXSWE56.DLL", "LBXHEB56.DLL", "LBXSVK56.DLL", "LBXLIT56.DLL", "LBXCHI56.DLL",
    "LBXSCH56.DLL", "LBXTAI56.DLL", "LBXKOR56.DLL", "LBXJAP56.DLL", "LBXUKR56.DLL",
    "LBXNOR56.DLL", "LBXPBR56.DLL",
};

const char* const UnidrvSupportFiles[CATALOGUE_UNIDRV_FILES] = {
    "uniDRVui.DLL", "uniDRV.DLL", "UNIDRV.HLP", "UNIRES.DLL", "TTFSUB.GPD", "STDNAMES.GPD",
};

bool ReceiptRow(int seriesIndex, const std::string& comboText, const int (&groupSizes)[4], ReceiptSeries* out) {
    if (seriesIndex < 0) return false;
    // Family row of each group; group 2's exception is decided by text below.
    static const int kGroupFamily[CATALOGUE_RECEIPT_GROUPS] = {0, 1, 3, 4};
    long long groupStart = 0;  // wide, so that absurd sizes cannot overflow the sums
    for (int group = 0; group < CATALOGUE_RECEIPT_GROUPS; ++group) {
        long long size = groupSizes[group];
        if (size < 0) return false;
        if (seriesIndex < groupStart + size) {
            long long row = CATALOGUE_GROUP_FIRST_ROWS[group] + (seriesIndex - groupStart);
            // Sizes that disagree with the tables would pair a row with
            // another group's family DLL: refuse rather than mix them.
            int groupEnd = group + 1 < CATALOGUE_RECEIPT_GROUPS ? CATALOGUE_GROUP_FIRST_ROWS[group + 1]
                                                                : CATALOGUE_RECEIPT_ROWS;
            if (row >= groupEnd) return false;
            int family = kGroupFamily[group];
            if (group == 1 && comboText == ReceiptSeriesNames[CATALOGUE_EXCEPTION_ROW]) {
                family = CATALOGUE_EXCEPTION_FAMILY;
            }
            if (out) *out = ReceiptSeries{ReceiptSeriesNames[row], ReceiptGpdNames[row], ReceiptFamilyDlls[family]};
            return true;
        }
        groupStart += size;
    }
    return false;
}

bool LabelRow(int seriesIndex, int receiptRowCount, LabelSeries* out) {
    long long row = static_cast<long long>(seriesIndex) - receiptRowCount;
    if (row < 0 || row >= CATALOGUE_LABEL_ROWS) return false;
    if (out) *out = LabelSeries{LabelSeriesNames[row], LabelBaseNames[row]};
    return true;
}

const char* const* LabelDlls(int isX64) { return isX64 ? LabelDllsX64 : LabelDllsX86; }

const char* SpoolerEnvironment(int isX64) { return isX64 ? CATALOGUE_ENVIRONMENT_X64 : CATALOGUE_ENVIRONMENT_X86; }

const char* ReceiptSourceFolder(int isX64) {
    return isX64 ? CATALOGUE_RECEIPT_SOURCE_X64 : CATALOGUE_RECEIPT_SOURCE_X86;
}

const char* LabelSourceFolder(int isX64) { return isX64 ? CATALOGUE_LABEL_SOURCE_X64 : CATALOGUE_LABEL_SOURCE_X86; }

}  // namespace install
