#pragma once
// Shared set-up of the player control tests: COM, the built control
// registered for the run, a trace file, and calls through IDispatch by name
// as a script host makes them.

#include <windows.h>

#include <gtest/gtest.h>
#include <ocidl.h>
#include <oleauto.h>
#include <olectl.h>

#include <memory>
#include <string>
#include <vector>

#include "common/win_handles.h"
#include "support/player_registration.h"
#include "support/player_trace.h"
#include "support/win_test_support.h"

namespace tpl::testing {

inline constexpr CLSID kControlClassId = {0xD27CDB6E, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr IID kControlInterfaceId = {
    0xD27CDB6C, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr IID kControlEventsId = {0xD27CDB6D, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

inline std::string BuiltPlayerDll() { return WindowsPathOf(TEMPLATE_PLAYER_DLL); }

// A VARIANT owned by the test.
class Value {
 public:
  Value() { ::VariantInit(&v_); }
  ~Value() { ::VariantClear(&v_); }
  Value(const Value&) = delete;
  Value& operator=(const Value&) = delete;
  Value(Value&& other) noexcept : v_(other.v_) { ::VariantInit(&other.v_); }

  static Value Text(const std::wstring& text) {
    Value value;
    value.v_.vt = VT_BSTR;
    value.v_.bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return value;
  }
  static Value Bool(bool flag) {
    Value value;
    value.v_.vt = VT_BOOL;
    value.v_.boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
    return value;
  }
  static Value Int(long number) {
    Value value;
    value.v_.vt = VT_I4;
    value.v_.lVal = number;
    return value;
  }
  static Value OfType(VARTYPE type) {
    Value value;
    value.v_.vt = type;
    return value;
  }

  [[nodiscard]] VARIANT& Raw() { return v_; }
  [[nodiscard]] std::wstring AsText() const {
    return v_.vt == VT_BSTR && v_.bstrVal != nullptr ? std::wstring(v_.bstrVal, ::SysStringLen(v_.bstrVal)) : L"?";
  }

 private:
  VARIANT v_;
};

// Arguments for DispatchClient::Call, in the caller's order.
template <typename... Values>
std::vector<Value> Arguments(Values... values) {
  std::vector<Value> arguments;
  (arguments.push_back(std::move(values)), ...);
  return arguments;
}

class DispatchClient {
 public:
  explicit DispatchClient(ComPtr<IDispatch> dispatch) : dispatch_(std::move(dispatch)) {}

  [[nodiscard]] DISPID IdOf(const std::wstring& name) const {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name.c_str())};
    if (FAILED(dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return DISPID_UNKNOWN;
    return id;
  }

  // A method call with the arguments in the caller's order.
  HRESULT Call(const std::wstring& name, std::vector<Value> arguments = {}, Value* result = nullptr) {
    std::vector<VARIANT> reversed;
    for (auto it = arguments.rbegin(); it != arguments.rend(); ++it) reversed.push_back(it->Raw());
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    return Invoke(IdOf(name), DISPATCH_METHOD, params, result);
  }

  HRESULT Put(const std::wstring& name, Value value) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value.Raw(), &named, 1, 1};
    return Invoke(IdOf(name), DISPATCH_PROPERTYPUT, params, nullptr);
  }

  HRESULT Get(const std::wstring& name, Value& result) {
    DISPPARAMS params{nullptr, nullptr, 0, 0};
    return Invoke(IdOf(name), DISPATCH_PROPERTYGET, params, &result);
  }

  [[nodiscard]] std::wstring GetText(const std::wstring& name) {
    Value result;
    EXPECT_EQ(Get(name, result), S_OK) << "get " << std::string(name.begin(), name.end());
    return result.AsText();
  }

  [[nodiscard]] bool GetBool(const std::wstring& name) {
    Value result;
    EXPECT_EQ(Get(name, result), S_OK);
    EXPECT_EQ(result.Raw().vt, VT_BOOL);
    return result.Raw().boolVal != VARIANT_FALSE;
  }

  [[nodiscard]] bool IsPlaying() {
    Value result;
    EXPECT_EQ(Call(L"IsPlaying", {}, &result), S_OK);
    EXPECT_EQ(result.Raw().vt, VT_BOOL);
    return result.Raw().boolVal != VARIANT_FALSE;
  }

  HRESULT Invoke(DISPID id, WORD flags, DISPPARAMS& params, Value* result) {
    UINT argumentError = 0;
    return dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result ? &result->Raw() : nullptr,
                             nullptr, &argumentError);
  }

 private:
  ComPtr<IDispatch> dispatch_;
};

// COM and the registration for the whole suite; a control, fresh from
// InitNew, and a trace file for every test.
class PlayerControlTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr)));
    registration_ = std::make_unique<PlayerRegistration>(BuiltPlayerDll());
    ASSERT_EQ(registration_->Result(), S_OK);
  }
  static void TearDownTestSuite() {
    registration_.reset();
    ::OleUninitialize();
  }

  void SetUp() override {
    trace_ = std::make_unique<PlayerTraceFile>(scratch_.File("trace.txt"));
    control_ = NewControl();
    ASSERT_TRUE(control_);
    client_ = std::make_unique<DispatchClient>(control_.As<IDispatch>(IID_IDispatch));
  }

  [[nodiscard]] static ComPtr<IOleObject> NewControl() {
    ComPtr<IOleObject> control;
    EXPECT_EQ(::CoCreateInstance(kControlClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, control.ReceiveVoid()),
              S_OK);
    if (!control) return control;
    const auto persist = control.As<IPersistStreamInit>(IID_IPersistStreamInit);
    EXPECT_TRUE(persist);
    if (persist) {
      EXPECT_EQ(persist->InitNew(), S_OK);
    }
    return control;
  }

  // A movie file in the scratch folder.
  [[nodiscard]] std::string WriteMovie(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    const std::string path = scratch_.File(name);
    WriteFileBytes(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    return path;
  }

  HRESULT LoadMovie(const std::string& path) {
    return client_->Call(L"LoadMovie", Arguments(Value::Int(0), Value::Text(std::wstring(path.begin(), path.end()))));
  }

  [[nodiscard]] std::vector<std::string> TraceOf(std::initializer_list<std::string_view> prefixes) const {
    return TraceLinesStartingWith(trace_->Lines(), prefixes);
  }

  ScratchFolder scratch_;
  std::unique_ptr<PlayerTraceFile> trace_;
  ComPtr<IOleObject> control_;
  std::unique_ptr<DispatchClient> client_;

 private:
  static inline std::unique_ptr<PlayerRegistration> registration_;
};

}  // namespace tpl::testing
