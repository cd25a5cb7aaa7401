#include "saver/mirror_copy.h"

#include "common/shockwave_flash.h"

namespace tpl::saver {

bool CapturePlayerPicture(TShockwaveFlash& player, ui::Surface& picture) noexcept {
  try {
    player.PaintTo(picture.Dc(), 0, 0);
    return true;
  } catch (...) {
    return false;
  }
}

void StretchPictureOnto(const ui::Surface& picture, ui::Surface& target) noexcept {
  ::SetStretchBltMode(target.Dc(), COLORONCOLOR);
  ::StretchBlt(target.Dc(), 0, 0, target.Width(), target.Height(), picture.Dc(), 0, 0, picture.Width(),
               picture.Height(), SRCCOPY);
}

}  // namespace tpl::saver
