// Build tool (runs on the build machine): writes the Windows program's
// resource script from the dialog templates in the code, so the resources
// and the portable toolkit's windows come from one description.
//
// Compiled without -fexec-charset, so the templates' texts are the UTF-8 of
// the sources; the script says so with #pragma code_page(65001) and windres
// turns them into the UTF-16 that dialog resources hold. Dialog-init data
// are raw bytes that the program hands to the ANSI CB_ADDSTRING, so those
// texts are converted to code page 936 here.
//
// Usage: rc_generator OUTPUT.rc MANIFEST_PATH APP_TITLE VERSION(a.b.c or a.b.c.d)
#include <iconv.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/dialog_templates.h"

namespace {

// AFX_IDS_APP_TITLE: where an MFC-style program keeps its title.
constexpr int kAppTitleStringId = 0xE000;
constexpr int kManifestResourceType = 24;
// Chinese (PRC): the dialogs' language, so FindResource picks them for a
// Chinese user interface without falling back.
constexpr int kLangChinese = 0x04;
constexpr int kSublangChineseSimplified = 0x02;
constexpr int kManifestResourceId = 1;
constexpr int kDlgInitResourceType = 240;
constexpr int kDlgInitComboBoxAddString = 0x0403;  // the 16-bit CB_ADDSTRING that dialog-init data use
constexpr unsigned long kControlStyle = win::WS_CHILD | win::WS_VISIBLE;

// A string literal for the resource compiler.
std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
        case '"': out += "\"\""; break;
        case '\\': out += "\\\\"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        default: out += c;
        }
    }
    return out + "\"";
}

std::string Hex(unsigned long value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%lX", value);
    return buffer;
}

bool ToCodePage936(const std::string& utf8, std::string* out) {
    iconv_t converter = iconv_open("CP936", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) return false;
    std::vector<char> buffer(utf8.size() * 2 + 4);
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* outPtr = buffer.data();
    size_t outLeft = buffer.size();
    size_t done = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(converter);
    if (done == static_cast<size_t>(-1) || inLeft != 0) return false;
    out->assign(buffer.data(), outPtr);
    return true;
}

void WriteDialog(std::ostream& rc, const ui::DialogTemplate& dialog) {
    rc << dialog.id << " DIALOGEX " << dialog.x << ", " << dialog.y << ", " << dialog.cx << ", " << dialog.cy
       << "\n";
    rc << "STYLE " << Hex(dialog.style) << "\n";
    rc << "EXSTYLE " << Hex(dialog.exStyle) << "\n";
    rc << "CAPTION " << Quote(dialog.caption) << "\n";
    // Weight 0, not italic, DEFAULT_CHARSET.
    rc << "FONT " << dialog.pointSize << ", " << Quote(dialog.fontName) << ", 0, 0, 0x1\n";
    rc << "BEGIN\n";
    for (const ui::ControlTemplate& control : dialog.controls) {
        rc << "    CONTROL " << Quote(control.text) << ", " << control.id << ", " << Quote(control.className) << ", "
           << Hex(control.style | kControlStyle) << ", " << control.x << ", " << control.y << ", " << control.cx
           << ", " << control.cy << ", " << Hex(control.exStyle) << "\n";
    }
    rc << "END\n\n";
}

// Dialog-init data, as MFC lays them out: per string the control id, the
// message, the data length (a DWORD, written as two words) and the data; a
// zero word ends the list. The data are the CP936 text with its terminating
// zero, padded with one more zero to a whole word so that no record needs
// a byte-sized item (the reader stops at the first zero anyway).
bool WriteDialogInit(std::ostream& rc, const ui::DialogTemplate& dialog) {
    if (dialog.comboStrings.empty()) return true;
    rc << dialog.id << " " << kDlgInitResourceType << "\nBEGIN\n";
    for (const auto& [controlId, text] : dialog.comboStrings) {
        std::string bytes;
        if (!ToCodePage936(text, &bytes)) {
            std::cerr << "rc_generator: text of control " << controlId << " is not representable in CP936\n";
            return false;
        }
        bytes.push_back('\0');
        if (bytes.size() % 2 != 0) bytes.push_back('\0');
        rc << "    " << controlId << ", " << Hex(kDlgInitComboBoxAddString) << ", " << bytes.size() << ", 0,";
        for (size_t i = 0; i < bytes.size(); i += 2) {
            unsigned word = static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
            rc << " " << Hex(word) << ",";
        }
        rc << "\n";
    }
    rc << "    0\nEND\n\n";
    return true;
}

// FILEVERSION and PRODUCTVERSION take four numbers: "1.1.0" is 1,1,0,0.
// The strings carry the version as the project writes it.
void WriteVersion(std::ostream& rc, const std::string& title, const std::string& version) {
    std::string commas = version;
    int parts = 1;
    for (char& c : commas) {
        if (c == '.') {
            c = ',';
            ++parts;
        }
    }
    for (; parts < 4; ++parts) commas += ",0";
    rc << "1 VERSIONINFO\n"
       << "FILEVERSION " << commas << "\n"
       << "PRODUCTVERSION " << commas << "\n"
       << "FILEFLAGSMASK 0x3F\nFILEFLAGS 0x0\nFILEOS 0x40004\nFILETYPE 0x1\nFILESUBTYPE 0x0\n"
       << "BEGIN\n"
       << "    BLOCK \"StringFileInfo\"\n    BEGIN\n"
       << "        BLOCK \"080404B0\"\n        BEGIN\n"  // Chinese (PRC), Unicode
       << "            VALUE \"FileDescription\", " << Quote(title) << "\n"
       << "            VALUE \"FileVersion\", " << Quote(version) << "\n"
       << "            VALUE \"InternalName\", \"DriverSetup\"\n"
       << "            VALUE \"OriginalFilename\", \"DriverSetup.exe\"\n"
       << "            VALUE \"ProductName\", " << Quote(title) << "\n"
       << "            VALUE \"ProductVersion\", " << Quote(version) << "\n"
       << "        END\n    END\n"
       << "    BLOCK \"VarFileInfo\"\n    BEGIN\n"
       << "        VALUE \"Translation\", 0x804, 1200\n"
       << "    END\n"
       << "END\n\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::cerr << "usage: rc_generator OUTPUT.rc MANIFEST_PATH APP_TITLE VERSION\n";
        return 2;
    }
    const std::string manifest = argv[2];
    const std::string title = argv[3];
    const std::string version = argv[4];

    std::ostringstream rc;
    rc << "// Generated by rc_generator from the dialog templates; do not edit.\n"
       << "#pragma code_page(65001)\n"
       << "LANGUAGE " << kLangChinese << ", " << kSublangChineseSimplified << "\n\n";
    rc << kManifestResourceId << " " << kManifestResourceType << " " << Quote(manifest) << "\n\n";
    rc << "STRINGTABLE\nBEGIN\n    " << kAppTitleStringId << ", " << Quote(title) << "\nEND\n\n";
    WriteVersion(rc, title, version);
    for (const ui::DialogTemplate* dialog : app::AllDialogTemplates()) {
        WriteDialog(rc, *dialog);
        if (!WriteDialogInit(rc, *dialog)) return 1;
    }

    std::ofstream out(argv[1], std::ios::binary);
    out << rc.str();
    return out.good() ? 0 : 1;
}
