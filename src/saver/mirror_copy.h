#pragma once
// The pixel work of one copy to a secondary monitor.

#include "ui/graphics.h"

namespace tpl {
class TShockwaveFlash;
}

namespace tpl::saver {

// Paints the player's current picture into the whole of `picture`; false when
// the player cannot paint (PaintTo throws). The copy to a secondary monitor is
// cosmetic, so the caller skips that tick's copy without a message instead of
// showing the standard error box on every tick.
[[nodiscard]] bool CapturePlayerPicture(TShockwaveFlash& player, ui::Surface& picture) noexcept;

// Stretches (or squeezes) the whole picture onto the whole target without
// keeping its proportions, dropping rows and columns rather than blending
// them (COLORONCOLOR), which keeps the copy cheap.
void StretchPictureOnto(const ui::Surface& picture, ui::Surface& target) noexcept;

}  // namespace tpl::saver
