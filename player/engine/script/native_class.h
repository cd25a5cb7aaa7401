#pragma once
// Making a built-in class the way the platform's own are made: a native
// constructor whose `prototype` (fixed, hidden) holds the methods, and whose
// prototype names it back as its hidden `constructor`.

#include <string_view>
#include <utility>

#include "vm.h"

namespace swf {

struct NativeClass {
  Object* constructor = nullptr;
  Object* prototype = nullptr;
};

// The class `name` on `holder` (nothing when there is no holder); `construct`
// runs on each object `new` makes of it.
inline NativeClass DefineNativeClass(Vm& vm, Object* holder, std::string_view name, NativeFunction construct) {
  if (!holder) return {};
  Object* constructor = vm.NewNative(std::move(construct), true);
  Object* prototype = vm.NewPlain();
  vm.Define(constructor, "prototype", Value{prototype}, kDontEnum | kDontDelete);
  vm.Define(prototype, "constructor", Value{constructor}, kDontEnum);
  vm.Define(holder, name, Value{constructor});
  return {constructor, prototype};
}

}  // namespace swf
