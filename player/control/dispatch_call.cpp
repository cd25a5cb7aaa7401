#include "dispatch_call.h"

namespace tpl::player {

HRESULT DispatchCall::ExpectArguments(UINT count) const noexcept {
  if (params_.cNamedArgs != 0) return DISP_E_NONAMEDARGS;
  if (params_.cArgs != count) return DISP_E_BADPARAMCOUNT;
  if (count > 0 && params_.rgvarg == nullptr) return E_INVALIDARG;
  return S_OK;
}

HRESULT DispatchCall::ExpectPutValue() const noexcept {
  if (params_.cArgs != 1 || params_.rgvarg == nullptr) return DISP_E_BADPARAMCOUNT;
  if (params_.cNamedArgs != 1 || params_.rgdispidNamedArgs == nullptr ||
      params_.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
    return DISP_E_PARAMNOTFOUND;
  }
  return S_OK;
}

HRESULT DispatchCall::Converted(UINT slot, VARTYPE type, Variant& out) const noexcept {
  // VariantChangeType also follows VT_BYREF arguments to their values.
  const HRESULT result = ::VariantChangeType(&out.Get(), &params_.rgvarg[slot], 0, type);
  if (FAILED(result)) {
    if (argumentError_ != nullptr) *argumentError_ = slot;
    return DISP_E_TYPEMISMATCH;
  }
  return S_OK;
}

HRESULT DispatchCall::TextAt(UINT slot, std::wstring& text) const {
  Variant value;
  const HRESULT result = Converted(slot, VT_BSTR, value);
  if (FAILED(result)) return result;
  const BSTR bstr = value.Get().bstrVal;
  text.assign(bstr != nullptr ? bstr : L"", bstr != nullptr ? ::SysStringLen(bstr) : 0);
  return S_OK;
}

HRESULT DispatchCall::TextArgument(UINT position, std::wstring& text) const { return TextAt(SlotOf(position), text); }

HRESULT DispatchCall::IntegerArgument(UINT position, long& number) const {
  Variant value;
  const HRESULT result = Converted(SlotOf(position), VT_I4, value);
  if (SUCCEEDED(result)) number = value.Get().lVal;
  return result;
}

HRESULT DispatchCall::PutBool(bool& value) const {
  Variant converted;
  const HRESULT result = Converted(0, VT_BOOL, converted);
  if (SUCCEEDED(result)) value = converted.Get().boolVal != VARIANT_FALSE;
  return result;
}

void DispatchCall::ReturnBool(bool value) noexcept {
  if (result_ == nullptr) return;
  ::VariantInit(result_);
  result_->vt = VT_BOOL;
  result_->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

HRESULT DispatchCall::ReturnText(const std::wstring& text) noexcept {
  if (result_ == nullptr) return S_OK;
  ::VariantInit(result_);
  BSTR bstr = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (bstr == nullptr) return E_OUTOFMEMORY;
  result_->vt = VT_BSTR;
  result_->bstrVal = bstr;
  return S_OK;
}

}  // namespace tpl::player
