#pragma once
// What the loading classes share (net_classes.cpp): a load reads its URL
// through the host as the next tick starts, then hands the text (undefined
// when it could not be had) to the target's onData, after onHTTPStatus.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vm.h"

namespace swf {

// Queues `target`'s load of `url`: sets its `loaded` false now; later calls
// onHTTPStatus(0) and onData(text or undefined).
void QueueLoad(Vm& vm, Object* target, std::string url);

// The flags of GetURL2 that make it loadVariables (into a clip) or loadMovie.
inline constexpr std::uint8_t kLoadVariablesFlag = 0x40;
inline constexpr std::uint8_t kLoadTargetFlag = 0x80;
// loadVariables(url, target) from a frame of `from` (or loadMovie, with
// `variables` false, which the stand-in does not do yet): the clip the
// target names gets the file's variables on a later tick, then its onData.
void LoadFromAction(Vm& vm, Object* from, std::string url, std::string_view target, bool variables);

// Queues a call of `self`'s method `name` with `args` for the next tick.
void QueueMethodCall(Vm& vm, Object* self, std::string name, std::vector<Value> args);

// URL-encoded pairs ("a=1&b=x+y") as names and values, decoded ('+' is a
// space); a pair without '=' has an empty value, an empty name is skipped.
std::vector<std::pair<std::string, std::string>> DecodeUrlVariables(std::string_view text);
// A text URL-encoded as LoadVars.toString writes it: letters and digits
// stay, every other byte becomes %XX.
std::string EncodeUrlComponent(std::string_view text);

// A style sheet text as CSS: each selector with its properties (names in
// the platform's camel case, values as written up to ';' or '}' without
// their leading white space), in the order written. Nullopt when the text
// is no style sheet.
using CssProperties = std::vector<std::pair<std::string, std::string>>;
std::optional<std::vector<std::pair<std::string, CssProperties>>> ParseCss(std::string_view text);
// "font-size" -> "fontSize".
std::string CssCamelCase(std::string_view name);

}  // namespace swf
