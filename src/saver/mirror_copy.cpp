#include "saver/mirror_copy.h"

namespace tpl::saver {

void StretchPictureOnto(const ui::Surface& picture, ui::Surface& target) noexcept {
  ::SetStretchBltMode(target.Dc(), COLORONCOLOR);
  ::StretchBlt(target.Dc(), 0, 0, target.Width(), target.Height(), picture.Dc(), 0, 0, picture.Width(),
               picture.Height(), SRCCOPY);
}

}  // namespace tpl::saver
