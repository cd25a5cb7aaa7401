#include "common/movie_value_store.h"

#include <windows.h>

#include "common/movie_values.h"
#include "common/registry.h"
#include "common/store_layout.h"
#include "common/wide_text.h"

namespace tpl {

void StoreMovieValue(std::string_view saverId, std::wstring_view argument) {
  const MovieValue split =
      SplitMovieValueArgument(argument, [](std::wstring_view piece) { return AnsiFromWide(piece); });
  WriteRegistryString(HKEY_CURRENT_USER, MovieValuesKeyPath(saverId), split.name, split.value);
}

std::wstring ReadMovieValueReply(std::string_view saverId, std::wstring_view name) {
  const std::string stored = ReadRegistryString(HKEY_CURRENT_USER, MovieValuesKeyPath(saverId), AnsiFromWide(name));
  return MovieValueReply(name, WideFromAnsi(stored));
}

}  // namespace tpl
