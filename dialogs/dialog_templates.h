// The templates of the three secondary dialogs.
#pragma once

#include "ui/dialog_template.h"

namespace dialogs {

const ui::DialogTemplate& NetworkPortDialogTemplate();   // 129
const ui::DialogTemplate& SerialPromptDialogTemplate();  // 136
const ui::DialogTemplate& ParallelPortDialogTemplate();  // 137

}  // namespace dialogs
