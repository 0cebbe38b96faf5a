// The installer's four dialog templates. The portable toolkit builds its
// windows from them and the Windows build generates its resource script
// from them.
#pragma once

#include <vector>

#include "dialogs/dialog_templates.h"
#include "ui/dialog_template.h"

namespace app {

const ui::DialogTemplate& InstallerDialogTemplate();     // 103
using dialogs::NetworkPortDialogTemplate;
using dialogs::ParallelPortDialogTemplate;
using dialogs::SerialPromptDialogTemplate;

// All four, in resource-id order.
std::vector<const ui::DialogTemplate*> AllDialogTemplates();

}  // namespace app
