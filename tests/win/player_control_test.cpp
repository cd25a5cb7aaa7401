// The stand-in player control through its COM interfaces, without a window:
// creation, the dispatch members and their trace, persistence.
#include <gtest/gtest.h>

#include "player_control_fixture.h"
#include "support/case_name.h"

namespace tpl::testing {
namespace {

std::wstring Wide(std::string_view text) { return std::wstring(text.begin(), text.end()); }

// ---------------------------------------------------------------------------

TEST_F(PlayerControlTest, AnswersTheInterfacesContainersAskFor) {
  for (const IID& iid :
       {IID_IDispatch, IID_IOleObject, IID_IOleWindow, IID_IOleInPlaceObject, IID_IOleInPlaceActiveObject,
        IID_IOleControl, IID_IViewObject, IID_IViewObject2, IID_IPersistStreamInit, IID_IConnectionPointContainer}) {
    ComPtr<IUnknown> found;
    EXPECT_EQ(control_->QueryInterface(iid, found.ReceiveVoid()), S_OK) << iid.Data1;
  }
  // Its dual interface would be a vtable beyond IDispatch that it does not have.
  ComPtr<IUnknown> dual;
  EXPECT_EQ(control_->QueryInterface(kControlInterfaceId, dual.ReceiveVoid()), E_NOINTERFACE);
}

TEST_F(PlayerControlTest, AsksForItsClientSiteFirstAndOffersTheEventInterface) {
  DWORD status = 0;
  ASSERT_EQ(control_->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
  EXPECT_NE(status & OLEMISC_SETCLIENTSITEFIRST, 0u);

  const auto container = control_.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
  ComPtr<IConnectionPoint> point;
  ASSERT_EQ(container->FindConnectionPoint(kControlEventsId, point.Receive()), S_OK);
  IID offered{};
  ASSERT_EQ(point->GetConnectionInterface(&offered), S_OK);
  EXPECT_TRUE(IsEqualIID(offered, kControlEventsId));
  ComPtr<IConnectionPoint> other;
  EXPECT_EQ(container->FindConnectionPoint(IID_IPropertyNotifySink, other.Receive()), CONNECT_E_NOCONNECTION);
}

TEST_F(PlayerControlTest, StartsFromItsDefaultState) {
  EXPECT_EQ(client_->GetText(L"WMode"), L"Window");
  EXPECT_EQ(client_->GetText(L"Scale"), L"ShowAll");
  EXPECT_EQ(client_->GetText(L"FlashVars"), L"");
  EXPECT_FALSE(client_->IsPlaying());
  const auto lines = TraceOf({"Create", "InitNew"});
  EXPECT_EQ(lines, (std::vector<std::string>{"Create", "InitNew"}));
}

// ---------------------------------------------------------------------------

struct NameCase {
  const char* name;
  const wchar_t* spelling;
  DISPID expected;  // DISPID_UNKNOWN: not a member
};

class DispatchNameTest : public PlayerControlTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(DispatchNameTest, MapsToTheKnownId) {
  DISPID id = 0;
  LPOLESTR names[] = {const_cast<LPOLESTR>(GetParam().spelling)};
  const auto dispatch = control_.As<IDispatch>(IID_IDispatch);
  const HRESULT result = dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (GetParam().expected == DISPID_UNKNOWN) {
    EXPECT_EQ(result, DISP_E_UNKNOWNNAME);
  } else {
    EXPECT_EQ(result, S_OK);
  }
  EXPECT_EQ(id, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Names, DispatchNameTest,
                         ::testing::Values(NameCase{"LoadMovieLower", L"loadmovie", 0x8E},
                                           NameCase{"Play", L"PLAY", 0x70}, NameCase{"Stop", L"Stop", 0x71},
                                           NameCase{"IsPlaying", L"isPlaying", 0x81}, NameCase{"Scale", L"scale", 0x89},
                                           NameCase{"Menu", L"Menu", 0x87}, NameCase{"FlashVars", L"FLASHVARS", 0xAA},
                                           NameCase{"Movie", L"movie", 0x66}, NameCase{"WMode", L"wmode", 0x85},
                                           NameCase{"Loop", L"LOOP", 0x6A},
                                           NameCase{"Unknown", L"Rewind", DISPID_UNKNOWN},
                                           NameCase{"Empty", L"", DISPID_UNKNOWN}),
                         CaseName());

// ---------------------------------------------------------------------------

struct PropertyCase {
  const char* name;
  const wchar_t* property;
  const wchar_t* text;  // the text put, or nullptr for a flag
  bool flag;
  const char* traceLine;
};

class PropertyRoundTripTest : public PlayerControlTest, public ::testing::WithParamInterface<PropertyCase> {};

TEST_P(PropertyRoundTripTest, ReadsBackWhatWasPutAndTracesIt) {
  const PropertyCase& c = GetParam();
  if (c.text != nullptr) {
    ASSERT_EQ(client_->Put(c.property, Value::Text(c.text)), S_OK);
    EXPECT_EQ(client_->GetText(c.property), c.text);
  } else {
    ASSERT_EQ(client_->Put(c.property, Value::Bool(c.flag)), S_OK);
    EXPECT_EQ(client_->GetBool(c.property), c.flag);
  }
  const std::string line = c.traceLine;
  EXPECT_EQ(TraceOf({line.substr(0, line.find('=') + 1)}), std::vector<std::string>{line});
}

INSTANTIATE_TEST_SUITE_P(
    Properties, PropertyRoundTripTest,
    ::testing::Values(PropertyCase{"ScaleShowAll", L"Scale", L"ShowAll", false, "Scale=ShowAll"},
                      PropertyCase{"ScaleLowerCase", L"Scale", L"noscale", false, "Scale=noscale"},
                      PropertyCase{"ScaleUpperCase", L"Scale", L"EXACTFIT", false, "Scale=EXACTFIT"},
                      PropertyCase{"ScaleNoBorder", L"Scale", L"NoBorder", false, "Scale=NoBorder"},
                      PropertyCase{"FlashVars", L"FlashVars", L"a=1&b=x+y", false, "FlashVars=a=1&b=x+y"},
                      PropertyCase{"FlashVarsEmpty", L"FlashVars", L"", false, "FlashVars="},
                      PropertyCase{"WMode", L"WMode", L"Opaque", false, "WMode=Opaque"},
                      PropertyCase{"MenuOff", L"Menu", nullptr, false, "Menu=false"},
                      PropertyCase{"MenuOn", L"menu", nullptr, true, "Menu=true"},
                      PropertyCase{"LoopOff", L"Loop", nullptr, false, "Loop=false"}),
    CaseName());

TEST_F(PlayerControlTest, TracesTextsBeyondAsciiAsUtf8) {
  ASSERT_EQ(client_->Put(L"FlashVars", Value::Text(L"name=\u00e9t\u00e9\u20ac")), S_OK);
  EXPECT_EQ(TraceOf({"FlashVars="}), std::vector<std::string>{"FlashVars=name=\xC3\xA9t\xC3\xA9\xE2\x82\xAC"});
}

// ---------------------------------------------------------------------------

// Calls that are wrong in kind, count or type: each fails with an error and
// leaves the control working.
struct BadCallCase {
  const char* name;
  HRESULT (*call)(DispatchClient& client);
  HRESULT expected;
};

class BadCallTest : public PlayerControlTest, public ::testing::WithParamInterface<BadCallCase> {};

TEST_P(BadCallTest, FailsAndLeavesTheControlWorking) {
  EXPECT_EQ(GetParam().call(*client_), GetParam().expected);
  ASSERT_EQ(client_->Put(L"Scale", Value::Text(L"NoScale")), S_OK);
  EXPECT_EQ(client_->GetText(L"Scale"), L"NoScale");
}

INSTANTIATE_TEST_SUITE_P(
    Calls, BadCallTest,
    ::testing::Values(
        BadCallCase{"ScaleNull", [](DispatchClient& c) { return c.Put(L"Scale", Value::OfType(VT_NULL)); },
                    DISP_E_TYPEMISMATCH},
        BadCallCase{"MenuWord", [](DispatchClient& c) { return c.Put(L"Menu", Value::Text(L"banana")); },
                    DISP_E_TYPEMISMATCH},
        BadCallCase{"FlashVarsNullObject",
                    [](DispatchClient& c) { return c.Put(L"FlashVars", Value::OfType(VT_DISPATCH)); },
                    DISP_E_TYPEMISMATCH},
        BadCallCase{"LoadMovieOneArgument",
                    [](DispatchClient& c) { return c.Call(L"LoadMovie", Arguments(Value::Int(0))); },
                    DISP_E_BADPARAMCOUNT},
        BadCallCase{"LoadMovieLayerText",
                    [](DispatchClient& c) {
                      return c.Call(L"LoadMovie", Arguments(Value::Text(L"top"), Value::Text(L"C:\\a.swf")));
                    },
                    DISP_E_TYPEMISMATCH},
        BadCallCase{"PlayWithArgument", [](DispatchClient& c) { return c.Call(L"Play", Arguments(Value::Int(1))); },
                    DISP_E_BADPARAMCOUNT},
        BadCallCase{"PutWithoutNamedArgument",
                    [](DispatchClient& c) {
                      Value value = Value::Text(L"ShowAll");
                      DISPPARAMS params{&value.Raw(), nullptr, 1, 0};
                      return c.Invoke(c.IdOf(L"Scale"), DISPATCH_PROPERTYPUT, params, nullptr);
                    },
                    DISP_E_PARAMNOTFOUND},
        BadCallCase{"PutMethod", [](DispatchClient& c) { return c.Put(L"Play", Value::Bool(true)); },
                    DISP_E_MEMBERNOTFOUND},
        BadCallCase{"UnknownId",
                    [](DispatchClient& c) {
                      DISPPARAMS params{nullptr, nullptr, 0, 0};
                      return c.Invoke(0x7777, DISPATCH_METHOD, params, nullptr);
                    },
                    DISP_E_MEMBERNOTFOUND}),
    CaseName());

// ---------------------------------------------------------------------------

TEST_F(PlayerControlTest, TracesTheCallsInTheirOrder) {
  const std::string missing = scratch_.File("missing.swf");
  ASSERT_EQ(client_->Put(L"Scale", Value::Text(L"showall")), S_OK);
  ASSERT_EQ(LoadMovie(missing), S_OK);
  ASSERT_EQ(client_->Put(L"Menu", Value::Bool(false)), S_OK);
  ASSERT_EQ(client_->Call(L"Play"), S_OK);
  EXPECT_FALSE(client_->IsPlaying());  // nothing to play
  ASSERT_EQ(client_->Call(L"Stop"), S_OK);
  EXPECT_EQ(TraceOf({"Scale", "LoadMovie", "Loaded", "Menu", "Play", "IsPlaying", "Stop"}),
            (std::vector<std::string>{"Scale=showall", "LoadMovie 0 " + missing, "Loaded 0", "Menu=false", "Play",
                                      "IsPlaying 0", "Stop"}));
}

TEST_F(PlayerControlTest, TracesIntoTheFileTheRegistryNamesWhenTheEnvironmentNamesNone) {
  const std::string registryTrace = scratch_.File("registry-trace.txt");
  const RegistryValueBackup backup(HKEY_CURRENT_USER, "\\Software\\TemplatePlayer", "Trace");
  std::vector<std::uint8_t> bytes(registryTrace.begin(), registryTrace.end());
  bytes.push_back(0);
  SetRawRegistryValue(HKEY_CURRENT_USER, "\\Software\\TemplatePlayer", "Trace", REG_SZ, bytes);
  ::SetEnvironmentVariableA(kPlayerTraceVariable, nullptr);
  ASSERT_EQ(client_->Put(L"FlashVars", Value::Text(L"from=registry")), S_OK);
  ::SetEnvironmentVariableA(kPlayerTraceVariable, trace_->Path().c_str());
  ASSERT_EQ(client_->Put(L"FlashVars", Value::Text(L"from=environment")), S_OK);

  EXPECT_EQ(TraceLinesStartingWith(ReadPlayerTrace(registryTrace), {"FlashVars"}),
            std::vector<std::string>{"FlashVars=from=registry"});
  EXPECT_EQ(TraceOf({"FlashVars"}), std::vector<std::string>{"FlashVars=from=environment"});
}

TEST_F(PlayerControlTest, AcceptsAMissingOrBrokenMovieAsAnEmptyOne) {
  const std::string broken = WriteMovie("broken.swf", {'F', 'W', 'S', 6, 0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3});
  for (const std::string& path : {scratch_.File("missing.swf"), broken, std::string("file:///C:/no/such.swf")}) {
    EXPECT_EQ(LoadMovie(path), S_OK) << path;
    EXPECT_FALSE(client_->IsPlaying()) << path;
    EXPECT_EQ(client_->GetText(L"Movie"), Wide(path));
  }
  EXPECT_EQ(TraceOf({"Loaded"}), (std::vector<std::string>{"Loaded 0", "Loaded 0", "Loaded 0"}));
}

// ---------------------------------------------------------------------------

ComPtr<IStream> NewMemoryStream() {
  ComPtr<IStream> stream;
  EXPECT_EQ(::CreateStreamOnHGlobal(nullptr, TRUE, stream.Receive()), S_OK);
  return stream;
}

void Rewind(IStream& stream) {
  const LARGE_INTEGER start{};
  ASSERT_EQ(stream.Seek(start, STREAM_SEEK_SET, nullptr), S_OK);
}

TEST_F(PlayerControlTest, SavedStateLoadsIntoAnotherControl) {
  ASSERT_EQ(client_->Put(L"Scale", Value::Text(L"exactfit")), S_OK);
  ASSERT_EQ(client_->Put(L"FlashVars", Value::Text(L"x=\u00fc")), S_OK);
  ASSERT_EQ(client_->Put(L"WMode", Value::Text(L"Transparent")), S_OK);
  ASSERT_EQ(client_->Put(L"Menu", Value::Bool(false)), S_OK);
  ASSERT_EQ(client_->Put(L"Loop", Value::Bool(false)), S_OK);
  const auto persist = control_.As<IPersistStreamInit>(IID_IPersistStreamInit);
  EXPECT_EQ(persist->IsDirty(), S_OK);
  ULARGE_INTEGER sizeMax{};
  ASSERT_EQ(persist->GetSizeMax(&sizeMax), S_OK);
  const auto stream = NewMemoryStream();
  ASSERT_EQ(persist->Save(stream.Get(), TRUE), S_OK);
  EXPECT_EQ(persist->IsDirty(), S_FALSE);
  STATSTG stat{};
  ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(stat.cbSize.QuadPart, sizeMax.QuadPart);

  ComPtr<IOleObject> other;
  ASSERT_EQ(::CoCreateInstance(kControlClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, other.ReceiveVoid()),
            S_OK);
  Rewind(*stream.Get());
  ASSERT_EQ(other.As<IPersistStreamInit>(IID_IPersistStreamInit)->Load(stream.Get()), S_OK);
  DispatchClient loaded(other.As<IDispatch>(IID_IDispatch));
  EXPECT_EQ(loaded.GetText(L"Scale"), L"exactfit");
  EXPECT_EQ(loaded.GetText(L"FlashVars"), L"x=\u00fc");
  EXPECT_EQ(loaded.GetText(L"WMode"), L"Transparent");
  EXPECT_FALSE(loaded.GetBool(L"Menu"));
  EXPECT_FALSE(loaded.GetBool(L"Loop"));
}

TEST_F(PlayerControlTest, StateOfAnotherFormatStartsFromTheDefaults) {
  ASSERT_EQ(client_->Put(L"Scale", Value::Text(L"noborder")), S_OK);
  for (const std::string& bytes : {std::string("TPLS\x01\x00\xff\xff\xff\xff", 10), std::string(280, '\x5a'),
                                   std::string("TPLS\x01\x00\x05\x00\x00\x00\x01", 11), std::string()}) {
    const auto stream = NewMemoryStream();
    ULONG written = 0;
    if (!bytes.empty()) {
      ASSERT_EQ(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written), S_OK);
    }
    Rewind(*stream.Get());
    EXPECT_EQ(control_.As<IPersistStreamInit>(IID_IPersistStreamInit)->Load(stream.Get()), S_OK);
    EXPECT_EQ(client_->GetText(L"Scale"), L"ShowAll");
    EXPECT_EQ(client_->GetText(L"WMode"), L"Window");
  }
}

}  // namespace
}  // namespace tpl::testing
