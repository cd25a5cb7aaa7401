#pragma once
// The pixel work of one copy to a secondary monitor.

#include "ui/graphics.h"

namespace tpl::saver {

// Stretches (or squeezes) the whole picture onto the whole target without
// keeping its proportions, dropping rows and columns rather than blending
// them (COLORONCOLOR), which keeps the copy cheap.
void StretchPictureOnto(const ui::Surface& picture, ui::Surface& target) noexcept;

}  // namespace tpl::saver
