#pragma once
// One IDispatch::Invoke call: checks its argument counts, fetches arguments
// converted to the type a member wants, and fills in the result.

#include <windows.h>

#include <oleauto.h>

#include <string>

namespace tpl::player {

// A VARIANT that clears itself.
class Variant {
 public:
  Variant() noexcept { ::VariantInit(&value_); }
  ~Variant() { ::VariantClear(&value_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  [[nodiscard]] VARIANT& Get() noexcept { return value_; }

 private:
  VARIANT value_;
};

class DispatchCall {
 public:
  DispatchCall(WORD flags, const DISPPARAMS& params, VARIANT* result, UINT* argumentError) noexcept
      : flags_(flags), params_(params), result_(result), argumentError_(argumentError) {}

  [[nodiscard]] bool IsMethodCall() const noexcept { return (flags_ & DISPATCH_METHOD) != 0; }
  [[nodiscard]] bool IsGet() const noexcept { return (flags_ & DISPATCH_PROPERTYGET) != 0; }
  [[nodiscard]] bool IsPut() const noexcept { return (flags_ & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0; }

  // S_OK when the call passes exactly this many positional arguments.
  [[nodiscard]] HRESULT ExpectArguments(UINT count) const noexcept;
  // S_OK when the call passes one value as the named DISPID_PROPERTYPUT argument.
  [[nodiscard]] HRESULT ExpectPutValue() const noexcept;

  // The argument at a position in the caller's order (0 = first), converted.
  [[nodiscard]] HRESULT TextArgument(UINT position, std::wstring& text) const;
  [[nodiscard]] HRESULT IntegerArgument(UINT position, long& number) const;
  [[nodiscard]] HRESULT PutText(std::wstring& text) const { return TextAt(0, text); }
  [[nodiscard]] HRESULT PutBool(bool& value) const;

  void ReturnBool(bool value) noexcept;
  [[nodiscard]] HRESULT ReturnText(const std::wstring& text) noexcept;

 private:
  // rgvarg holds the arguments last to first.
  [[nodiscard]] UINT SlotOf(UINT position) const noexcept { return params_.cArgs - 1 - position; }
  [[nodiscard]] HRESULT Converted(UINT slot, VARTYPE type, Variant& out) const noexcept;
  [[nodiscard]] HRESULT TextAt(UINT slot, std::wstring& text) const;

  WORD flags_;
  const DISPPARAMS& params_;
  VARIANT* result_;
  UINT* argumentError_;
};

}  // namespace tpl::player
