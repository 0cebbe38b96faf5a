// The installer's four dialog templates. The portable toolkit builds its
// windows from them and the Windows build generates its resource script
// from them.
#pragma once

#include <vector>

#include "ui/dialog_template.h"

namespace app {

const ui::DialogTemplate& InstallerDialogTemplate();     // 103
const ui::DialogTemplate& NetworkPortDialogTemplate();   // 129
const ui::DialogTemplate& SerialPromptDialogTemplate();  // 136
const ui::DialogTemplate& ParallelPortDialogTemplate();  // 137

// All four, in resource-id order.
std::vector<const ui::DialogTemplate*> AllDialogTemplates();

}  // namespace app
