#include "common/movie_values.h"

#include <algorithm>

namespace tpl {

MovieValue SplitMovieValueArgument(std::wstring_view wide, std::string_view ansi) {
  const std::size_t colon = wide.find(L':');
  const std::size_t position = colon == std::wstring_view::npos ? 0 : colon + 1;
  const std::size_t nameLength = position == 0 ? 0 : std::min(position - 1, ansi.size());
  const std::size_t valueLength = std::min(wide.size() - position, ansi.size());
  return {std::string(ansi.substr(0, nameLength)), std::string(ansi.substr(ansi.size() - valueLength))};
}

std::wstring MovieValueReply(std::wstring_view name, std::wstring_view storedText) {
  std::wstring reply(name);
  reply += L'=';
  reply += storedText;
  return reply;
}

}  // namespace tpl
