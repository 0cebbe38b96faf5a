// Dialog and control ids of the main dialog (template 103).
#pragma once

namespace app {

constexpr int IDD_INSTALLER = 103;

constexpr int IDC_SERIES_COMBO = 1000;
constexpr int IDC_PRINTER_NAME = 1001;
constexpr int IDC_SET_DEFAULT = 1002;
constexpr int IDC_PORT_HINT = 1003;
constexpr int IDC_PORT_TYPE_LIST = 1004;
constexpr int IDC_PROGRESS = 1007;
constexpr int IDC_PORT_GROUP = 1008;
constexpr int IDC_SERIES_LABEL = 1009;
constexpr int IDC_NAME_LABEL = 1010;
constexpr int IDC_STATUS = 1011;
constexpr int IDC_INSTALL = 1012;

}  // namespace app
