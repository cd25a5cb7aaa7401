// Self-registration of the stand-in player control: it registers itself
// machine-wide, takes the class id from no other existing server file unless
// forced, and unregisters only its own registration.
#include <gtest/gtest.h>

#include "common/registry.h"
#include "common/store_layout.h"
#include "package/player_detection.h"
#include "player_control_fixture.h"
#include "support/case_name.h"

namespace tpl::testing {
namespace {

using RegisterEntry = HRESULT(STDAPICALLTYPE*)();
using InstallEntry = HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR);

std::string FullPath(const std::string& path) {
  char full[MAX_PATH] = {};
  const DWORD length = ::GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
  return length > 0 && length < MAX_PATH ? std::string(full, length) : path;
}

bool SamePath(const std::string& a, const std::string& b) {
  return ::lstrcmpiA(FullPath(a).c_str(), FullPath(b).c_str()) == 0;
}

std::vector<std::uint8_t> StringBytes(std::string_view text) {
  std::vector<std::uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

std::string RegisteredServer() { return ReadRegistryString(HKEY_LOCAL_MACHINE, PlayerServerKeyPath(), ""); }
std::string RegisteredThreadingModel() {
  return ReadRegistryString(HKEY_LOCAL_MACHINE, PlayerServerKeyPath(), "ThreadingModel");
}

// Whatever registration of the class id and what overrides the saver reads
// are there before a test, are there again after it.
class SelfRegistrationTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr))); }
  static void TearDownTestSuite() { ::OleUninitialize(); }

  void SetUp() override {
    module_.Reset(::LoadLibraryA(BuiltPlayerDll().c_str()));
    ASSERT_TRUE(module_) << BuiltPlayerDll();
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, PlayerClassKeyPath());
  }

  template <typename Entry>
  Entry EntryPoint(const char* name) const {
    return reinterpret_cast<Entry>(reinterpret_cast<void*>(::GetProcAddress(module_.Get(), name)));
  }
  HRESULT Register() const { return EntryPoint<RegisterEntry>("DllRegisterServer")(); }
  HRESULT Unregister() const { return EntryPoint<RegisterEntry>("DllUnregisterServer")(); }
  HRESULT Install(BOOL install, const wchar_t* commandLine) const {
    return EntryPoint<InstallEntry>("DllInstall")(install, commandLine);
  }

  // Another server file holding the class id, as an installed player would.
  void RegisterOtherServer(const std::string& path) const {
    SetRawRegistryValue(HKEY_LOCAL_MACHINE, PlayerClassKeyPath(), "", REG_SZ, StringBytes("Another player"));
    SetRawRegistryValue(HKEY_LOCAL_MACHINE, PlayerServerKeyPath(), "", REG_SZ, StringBytes(path));
    SetRawRegistryValue(HKEY_LOCAL_MACHINE, PlayerServerKeyPath(), "ThreadingModel", REG_SZ, StringBytes("Both"));
  }

  RegistryValueBackup classNameBackup_{HKEY_LOCAL_MACHINE, PlayerClassKeyPath(), ""};
  RegistryValueBackup serverBackup_{HKEY_LOCAL_MACHINE, PlayerServerKeyPath(), ""};
  RegistryValueBackup threadingBackup_{HKEY_LOCAL_MACHINE, PlayerServerKeyPath(), "ThreadingModel"};
  RegistryValueBackup pathOverrideBackup_{HKEY_CURRENT_USER, kSaversKeyPath, kPlayerPathOverrideValue};
  RegistryValueBackup presentOverrideBackup_{HKEY_CURRENT_USER, kSaversKeyPath, kPlayerPresentOverrideValue};
  ScratchFolder scratch_;
  UniqueModule module_;
};

TEST_F(SelfRegistrationTest, RegistersThisDllAsAnApartmentServerThatCoCreates) {
  ASSERT_EQ(Register(), S_OK);
  EXPECT_FALSE(ReadRegistryString(HKEY_LOCAL_MACHINE, PlayerClassKeyPath(), "").empty());
  EXPECT_TRUE(SamePath(RegisteredServer(), BuiltPlayerDll())) << RegisteredServer();
  EXPECT_EQ(RegisteredThreadingModel(), "Apartment");

  ComPtr<IOleObject> control;
  EXPECT_EQ(::CoCreateInstance(kControlClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, control.ReceiveVoid()),
            S_OK);
}

TEST_F(SelfRegistrationTest, IsWhatTheSaversPlayerDetectionAccepts) {
  DeleteRegistryValue(HKEY_CURRENT_USER, kSaversKeyPath, kPlayerPathOverrideValue);
  DeleteRegistryValue(HKEY_CURRENT_USER, kSaversKeyPath, kPlayerPresentOverrideValue);
  EXPECT_FALSE(DetectPlayer());
  ASSERT_EQ(Register(), S_OK);
  EXPECT_TRUE(DetectPlayer());
}

TEST_F(SelfRegistrationTest, UnregisterRemovesItsOwnRegistration) {
  ASSERT_EQ(Register(), S_OK);
  EXPECT_EQ(Unregister(), S_OK);
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, PlayerClassKeyPath()));
  ASSERT_EQ(Register(), S_OK);
  EXPECT_EQ(Install(FALSE, nullptr), S_OK);
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, PlayerClassKeyPath()));
}

TEST_F(SelfRegistrationTest, UnregisterLeavesAnotherServersRegistrationAlone) {
  const std::string other = scratch_.File("other_player.ocx");
  WriteFileBytes(other, "another server");
  RegisterOtherServer(other);
  EXPECT_TRUE(SUCCEEDED(Unregister()));
  EXPECT_TRUE(SUCCEEDED(Install(FALSE, nullptr)));
  EXPECT_EQ(RegisteredServer(), other);
  EXPECT_EQ(RegisteredThreadingModel(), "Both");
}

// ---------------------------------------------------------------------------

enum class Entry { Register, InstallPlain, InstallForce };

struct TakeoverCase {
  const char* name;
  bool otherFileExists;
  Entry entry;
  HRESULT expected;
  bool becomesOurs;
};

class SelfRegistrationTakeoverTest : public SelfRegistrationTest, public ::testing::WithParamInterface<TakeoverCase> {};

TEST_P(SelfRegistrationTakeoverTest, ReplacesAnotherServerOnlyWhenForcedOrGone) {
  const TakeoverCase& c = GetParam();
  const std::string other = scratch_.File("Flash32_99.ocx");
  if (c.otherFileExists) WriteFileBytes(other, "another server");
  RegisterOtherServer(other);

  HRESULT result = E_FAIL;
  switch (c.entry) {
    case Entry::Register: result = Register(); break;
    case Entry::InstallPlain: result = Install(TRUE, L""); break;
    case Entry::InstallForce: result = Install(TRUE, L"FORCE"); break;
  }
  EXPECT_EQ(result, c.expected);
  if (c.becomesOurs) {
    EXPECT_TRUE(SamePath(RegisteredServer(), BuiltPlayerDll())) << RegisteredServer();
    EXPECT_EQ(RegisteredThreadingModel(), "Apartment");
  } else {
    EXPECT_EQ(RegisteredServer(), other);
    EXPECT_EQ(RegisteredThreadingModel(), "Both");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Other, SelfRegistrationTakeoverTest,
    ::testing::Values(TakeoverCase{"KeptByRegister", true, Entry::Register, SELFREG_E_CLASS, false},
                      TakeoverCase{"KeptByPlainInstall", true, Entry::InstallPlain, SELFREG_E_CLASS, false},
                      TakeoverCase{"ReplacedWhenForced", true, Entry::InstallForce, S_OK, true},
                      TakeoverCase{"StaleReplacedByRegister", false, Entry::Register, S_OK, true}),
    CaseName());

}  // namespace
}  // namespace tpl::testing
