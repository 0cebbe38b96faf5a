#include "dialogs/dialog_templates.h"

#include "dialogs/dialog_ids.h"

namespace dialogs {

using namespace win;

namespace {
constexpr DWORD kPortListStyle = LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_BORDER | WS_TABSTOP;
constexpr DWORD kPortDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
}  // namespace

const ui::DialogTemplate& NetworkPortDialogTemplate() {
    static const ui::DialogTemplate kTemplate{
        IDD_NETWORK_PORT,
        "网络端口配置",
        0, 0, 260, 127,
        kPortDialogStyle,
        0,
        "宋体",
        10,
        {
            {IDC_PORT_LIST, ui::kClassListView, "", 7, 15, 246, 57, kPortListStyle, 0},
            {IDC_NEW_PORT, ui::kClassButton, "新端口(&P)", 149, 75, 44, 11, BS_PUSHBUTTON | WS_TABSTOP, 0},
            {IDC_PORT_PROMPT, ui::kClassStatic, "请选择符合要求的TCP/IP端口,或者创建一个端口", 8, 4, 186, 8, SS_LEFT, 0},
            {IDC_PORT_OK, ui::kClassButton, "确定(&O)", 73, 108, 52, 14, BS_PUSHBUTTON | WS_TABSTOP, 0},
            {IDC_CONFIGURE_PORT, ui::kClassButton, "配置端口(&S)", 199, 75, 44, 11, BS_PUSHBUTTON | WS_TABSTOP, 0},
            {IDC_DELETE_PORT, ui::kClassButton, "删除端口(&D)", 11, 75, 50, 11, BS_PUSHBUTTON | WS_TABSTOP, 0},
            {IDC_PORT_CANCEL, ui::kClassButton, "取消(&C)", 134, 108, 52, 14, BS_PUSHBUTTON | WS_TABSTOP, 0},
        },
        {},
    };
    return kTemplate;
}

const ui::DialogTemplate& SerialPromptDialogTemplate() {
    static const ui::DialogTemplate kTemplate{
        IDD_SERIAL_PROMPT,
        "提示(自动匹配可用串口设置)",
        0, 0, 229, 97,
        WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_3DLOOK,
        WS_EX_TOOLWINDOW | WS_EX_CLIENTEDGE,
        "宋体",
        10,
        {
            {IDC_SERIAL_YES, ui::kClassButton, "需要", 102, 76, 50, 14, BS_PUSHBUTTON | WS_TABSTOP, 0},
            {IDC_BAUD_COMBO, ui::kClassComboBox, "", 43, 34, 55, 58, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0},
            {ui::kNoControlId, ui::kClassStatic, "波特率：", 10, 36, 32, 8, SS_LEFT, 0},
            {ui::kNoControlId, ui::kClassStatic, "bps", 100, 36, 13, 8, SS_LEFT, 0},
            {IDC_SERIAL_NO, ui::kClassButton, "不需要", 165, 76, 50, 14, BS_PUSHBUTTON | WS_TABSTOP, 0},
            {ui::kNoControlId, ui::kClassButton, "是否需要程序为您自动选择可用串口？", 4, 6, 221, 64, BS_GROUPBOX, 0},
            {ui::kNoControlId, ui::kClassStatic, "1.若需要请选择打印机对应波特率(打印机开机自检页可查看)", 10, 23, 211,
             8, SS_LEFT, 0},
            {ui::kNoControlId, ui::kClassStatic, "2.若不需要,待驱动安装完成后可手动配置", 10, 50, 145, 8, SS_LEFT, 0},
        },
        {
            {IDC_BAUD_COMBO, "300"},
            {IDC_BAUD_COMBO, "1200"},
            {IDC_BAUD_COMBO, "2400"},
            {IDC_BAUD_COMBO, "4800"},
            {IDC_BAUD_COMBO, "9600"},
            {IDC_BAUD_COMBO, "19200"},
            {IDC_BAUD_COMBO, "38400"},
            {IDC_BAUD_COMBO, "57600"},
            {IDC_BAUD_COMBO, "115200"},
        },
    };
    return kTemplate;
}

const ui::DialogTemplate& ParallelPortDialogTemplate() {
    static const ui::DialogTemplate kTemplate{
        IDD_PARALLEL_PORT,
        "选择并行端口",
        0, 0, 260, 97,
        kPortDialogStyle,
        0,
        "宋体",
        10,
        {
            {IDC_PORT_LIST, ui::kClassListView, "", 7, 15, 246, 57, kPortListStyle, 0},
            {IDC_PORT_PROMPT, ui::kClassStatic, "请选择符合要求的LPT端口", 8, 4, 94, 8, SS_LEFT, 0},
            {IDC_PORT_OK, ui::kClassButton, "确定(&O)", 140, 78, 52, 14, BS_PUSHBUTTON | WS_TABSTOP, 0},
            {IDC_PORT_CANCEL, ui::kClassButton, "取消(&C)", 201, 78, 52, 14, BS_PUSHBUTTON | WS_TABSTOP, 0},
        },
        {},
    };
    return kTemplate;
}

}  // namespace dialogs
