#include "app/dialog_templates.h"
#include "app/resource_ids.h"

namespace app {

using namespace win;

const ui::DialogTemplate& InstallerDialogTemplate() {
    static const ui::DialogTemplate kTemplate{
        IDD_INSTALLER,
        "设置并安装票据/标签 驱动",
        0, 0, 343, 251,
        WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE | DS_SETFONT,
        WS_EX_APPWINDOW,
        "宋体",
        9,
        {
            {IDC_SERIES_LABEL, ui::kClassStatic, "驱动系列:", 7, 14, 37, 8, SS_LEFT, 0},
            {IDC_SERIES_COMBO, ui::kClassComboBox, "", 47, 11, 116, 68, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0},
            {IDC_NAME_LABEL, ui::kClassStatic, "打印机名:", 169, 14, 37, 8, SS_LEFT, 0},
            {IDC_PRINTER_NAME, ui::kClassEdit, "", 209, 11, 116, 14,
             ES_READONLY | WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP, 0},
            {IDC_SET_DEFAULT, ui::kClassButton, "设置为默认打印机", 7, 33, 80, 10, BS_AUTOCHECKBOX | WS_TABSTOP, 0},
            {IDC_PORT_GROUP, ui::kClassButton, "端口选择", 7, 54, 329, 133, BS_GROUPBOX, 0},
            {IDC_PORT_HINT, ui::kClassStatic,
             "指定用于连接打印机和计算机的端口\r\n安装过程中程序会帮助您选择和配置打印机端口", 26, 68, 310, 20,
             SS_LEFT, 0},
            {IDC_PORT_TYPE_LIST, ui::kClassListView, "", 10, 88, 320, 97,
             LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_BORDER | WS_TABSTOP, 0},
            {IDC_PROGRESS, ui::kClassProgress, "", 7, 200, 329, 14, WS_BORDER, 0},
            {IDC_STATUS, ui::kClassStatic, "本驱动程序适用于32位和64位Windows操作系统", 8, 237, 301, 8, SS_LEFT, 0},
            {IDC_INSTALL, ui::kClassButton, "安装(&I)", 207, 217, 50, 14, BS_DEFPUSHBUTTON | WS_DISABLED | WS_TABSTOP, 0},
            {IDCANCEL, ui::kClassButton, "取消", 274, 217, 50, 14, BS_PUSHBUTTON | WS_TABSTOP, 0},
        },
        {},
    };
    return kTemplate;
}

std::vector<const ui::DialogTemplate*> AllDialogTemplates() {
    return {&InstallerDialogTemplate(), &NetworkPortDialogTemplate(), &SerialPromptDialogTemplate(),
            &ParallelPortDialogTemplate()};
}

}  // namespace app
