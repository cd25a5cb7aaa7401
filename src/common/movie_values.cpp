#include "common/movie_values.h"

namespace tpl {

MovieValue SplitMovieValueArgument(std::wstring_view wide, const AnsiConversion& toAnsi) {
  const std::size_t colon = wide.find(L':');
  if (colon == std::wstring_view::npos) return {std::string(), toAnsi(wide)};
  return {toAnsi(wide.substr(0, colon)), toAnsi(wide.substr(colon + 1))};
}

std::wstring MovieValueReply(std::wstring_view name, std::wstring_view storedText) {
  std::wstring reply(name);
  reply += L'=';
  reply += storedText;
  return reply;
}

}  // namespace tpl
