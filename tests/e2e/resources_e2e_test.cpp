// The program file's identity as Windows reads it from the file: the
// application manifest, the icon the shell shows, and the version information.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "e2e/saver_package.h"

namespace tpl::e2e {
namespace {

constexpr char kCommonControlsName[] = "Microsoft.Windows.Common-Controls";
constexpr char kWindowsSettingsNamespace[] = "http://schemas.microsoft.com/SMI/2005/WindowsSettings";

std::string Lower(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lowered;
}

// The parts of `text` between each `open` and the next `close`.
std::vector<std::string_view> Sections(std::string_view text, std::string_view open, std::string_view close) {
  std::vector<std::string_view> sections;
  std::size_t at = 0;
  for (;;) {
    const std::size_t begin = text.find(open, at);
    if (begin == std::string_view::npos) break;
    const std::size_t end = text.find(close, begin + open.size());
    if (end == std::string_view::npos) break;
    sections.push_back(text.substr(begin + open.size(), end - begin - open.size()));
    at = end + close.size();
  }
  return sections;
}

// The attributes of a start tag's inside, name to value.
std::map<std::string, std::string> AttributesOf(std::string_view tag) {
  std::map<std::string, std::string> attributes;
  std::size_t at = 0;
  for (;;) {
    const std::size_t equals = tag.find('=', at);
    if (equals == std::string_view::npos) break;
    std::size_t nameBegin = equals;
    while (nameBegin > at && tag[nameBegin - 1] != ' ' && tag[nameBegin - 1] != '\n' && tag[nameBegin - 1] != '\r' &&
           tag[nameBegin - 1] != '\t') {
      --nameBegin;
    }
    const std::size_t quote = equals + 1;
    if (quote >= tag.size() || (tag[quote] != '"' && tag[quote] != '\'')) break;
    const std::size_t valueEnd = tag.find(tag[quote], quote + 1);
    if (valueEnd == std::string_view::npos) break;
    attributes[std::string(tag.substr(nameBegin, equals - nameBegin))] =
        std::string(tag.substr(quote + 1, valueEnd - quote - 1));
    at = valueEnd + 1;
  }
  return attributes;
}

class ProgramResources : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = ::LoadLibraryExA(BuiltProgramPath().c_str(), nullptr,
                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr) << "cannot open " << BuiltProgramPath() << " (error " << ::GetLastError() << ")";
  }
  void TearDown() override {
    if (module_ != nullptr) ::FreeLibrary(module_);
  }

  [[nodiscard]] std::optional<std::string_view> Resource(LPCSTR type, LPCSTR name) const {
    const HRSRC found = ::FindResourceA(module_, name, type);
    if (found == nullptr) return std::nullopt;
    const HGLOBAL loaded = ::LoadResource(module_, found);
    const void* bytes = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    if (bytes == nullptr) return std::nullopt;
    return std::string_view(static_cast<const char*>(bytes), ::SizeofResource(module_, found));
  }

  [[nodiscard]] std::string Manifest() const {
    const std::optional<std::string_view> manifest = Resource(RT_MANIFEST, MAKEINTRESOURCEA(1));
    return manifest ? std::string(*manifest) : std::string();
  }

  HMODULE module_ = nullptr;
};

TEST_F(ProgramResources, ManifestDependsOnVersion6OfTheCommonControls) {
  const std::string manifest = Manifest();
  ASSERT_FALSE(manifest.empty()) << "no application manifest";

  std::vector<std::map<std::string, std::string>> dependencies;
  for (std::string_view dependency : Sections(manifest, "<dependency>", "</dependency>")) {
    for (std::string_view assembly : Sections(dependency, "<dependentAssembly>", "</dependentAssembly>")) {
      for (std::string_view identity : Sections(assembly, "<assemblyIdentity", ">")) {
        dependencies.push_back(AttributesOf(identity));
      }
    }
  }
  const std::map<std::string, std::string>* commonControls = nullptr;
  for (const auto& identity : dependencies) {
    const auto name = identity.find("name");
    if (name != identity.end() && name->second == kCommonControlsName) commonControls = &identity;
  }
  ASSERT_NE(commonControls, nullptr) << manifest;
  EXPECT_EQ(commonControls->count("version") ? commonControls->at("version") : "", "6.0.0.0");
  EXPECT_EQ(commonControls->count("type") ? commonControls->at("type") : "", "win32");
  EXPECT_EQ(commonControls->count("publicKeyToken") ? Lower(commonControls->at("publicKeyToken")) : "",
            "6595b64144ccf1df");
}

TEST_F(ProgramResources, ManifestDeclaresTheProgramDpiAware) {
  const std::string manifest = Manifest();
  ASSERT_FALSE(manifest.empty()) << "no application manifest";
  const std::vector<std::string_view> settings = Sections(manifest, "<windowsSettings", "</windowsSettings>");
  ASSERT_EQ(settings.size(), 1u) << manifest;
  // The setting counts only in its own namespace, declared on it or on its
  // windowsSettings element.
  const std::vector<std::string_view> starts = Sections(settings[0], "<dpiAware", ">");
  const std::vector<std::string_view> values = Sections(settings[0], "<dpiAware", "</dpiAware>");
  ASSERT_EQ(starts.size(), 1u) << manifest;
  ASSERT_EQ(values.size(), 1u) << manifest;
  const std::string_view outer = settings[0].substr(0, settings[0].find('>'));
  const bool inNamespace = AttributesOf(starts[0])["xmlns"] == kWindowsSettingsNamespace ||
                           AttributesOf(outer)["xmlns"] == kWindowsSettingsNamespace;
  EXPECT_TRUE(inNamespace) << manifest;
  std::string_view value = values[0].substr(values[0].find('>') + 1);
  while (!value.empty() && (value.front() == ' ' || value.front() == '\n' || value.front() == '\r')) {
    value.remove_prefix(1);
  }
  while (!value.empty() && (value.back() == ' ' || value.back() == '\n' || value.back() == '\r'))
    value.remove_suffix(1);
  EXPECT_EQ(Lower(value), "true");
}

#pragma pack(push, 2)
struct GroupIconHeader {
  WORD reserved;
  WORD type;
  WORD count;
};
struct GroupIconEntry {
  BYTE width;
  BYTE height;
  BYTE colorCount;
  BYTE reserved;
  WORD planes;
  WORD bitCount;
  DWORD bytesInResource;
  WORD id;
};
#pragma pack(pop)
static_assert(sizeof(GroupIconHeader) == 6 && sizeof(GroupIconEntry) == 14);

BOOL CALLBACK TakeFirstName(HMODULE, LPCSTR, LPSTR name, LONG_PTR parameter) {
  auto* first = reinterpret_cast<std::string*>(parameter);
  if (IS_INTRESOURCE(name)) {
    *first = "#";
    *first += std::to_string(reinterpret_cast<std::uintptr_t>(name));
  } else {
    *first = name;
  }
  return FALSE;
}

// The shell shows the first icon group of the file: the small size in lists,
// the large one on the desktop, and larger ones where it can.
TEST_F(ProgramResources, IconGroupOffersTheSmallAndLargeSizes) {
  std::string firstGroup;
  ::EnumResourceNamesA(module_, RT_GROUP_ICON, TakeFirstName, reinterpret_cast<LONG_PTR>(&firstGroup));
  ASSERT_FALSE(firstGroup.empty()) << "no icon";
  const std::optional<std::string_view> group = Resource(RT_GROUP_ICON, firstGroup.c_str());
  ASSERT_TRUE(group.has_value());
  ASSERT_GE(group->size(), sizeof(GroupIconHeader));
  GroupIconHeader header{};
  std::memcpy(&header, group->data(), sizeof(header));
  EXPECT_EQ(header.type, 1u);
  ASSERT_GE(group->size(), sizeof(header) + header.count * sizeof(GroupIconEntry));

  std::set<int> sizes;
  for (WORD i = 0; i < header.count; ++i) {
    GroupIconEntry entry{};
    std::memcpy(&entry, group->data() + sizeof(header) + i * sizeof(GroupIconEntry), sizeof(entry));
    const int width = entry.width == 0 ? 256 : entry.width;
    const int height = entry.height == 0 ? 256 : entry.height;
    EXPECT_EQ(width, height);
    sizes.insert(width);
    SCOPED_TRACE("icon " + std::to_string(entry.id) + ", " + std::to_string(width) + " pixels");

    const std::optional<std::string_view> image = Resource(RT_ICON, MAKEINTRESOURCEA(entry.id));
    ASSERT_TRUE(image.has_value()) << "the group names a missing icon image";
    EXPECT_EQ(image->size(), entry.bytesInResource);
    if (image->starts_with("\x89PNG\r\n\x1a\n")) {
      // A compressed image: its header states its size.
      ASSERT_GE(image->size(), 24u);
      const auto bigEndian = [&](std::size_t at) {
        return (static_cast<unsigned char>((*image)[at]) << 24) | (static_cast<unsigned char>((*image)[at + 1]) << 16) |
               (static_cast<unsigned char>((*image)[at + 2]) << 8) | static_cast<unsigned char>((*image)[at + 3]);
      };
      EXPECT_EQ(image->substr(12, 4), "IHDR");
      EXPECT_EQ(bigEndian(16), width);
      EXPECT_EQ(bigEndian(20), height);
      continue;
    }
    // The bytes really make an icon of that size.
    const HICON icon =
        ::CreateIconFromResourceEx(reinterpret_cast<PBYTE>(const_cast<char*>(image->data())),
                                   static_cast<DWORD>(image->size()), TRUE, 0x00030000, width, height, LR_DEFAULTCOLOR);
    EXPECT_NE(icon, nullptr);
    if (icon != nullptr) ::DestroyIcon(icon);
  }
  EXPECT_GE(sizes.size(), 3u) << "too few icon sizes";
  EXPECT_EQ(sizes.count(16), 1u) << "no small icon";
  EXPECT_EQ(sizes.count(32), 1u) << "no large icon";
}

// The identities of the assemblies an activation context was built from.
std::vector<std::wstring> AssembliesOf(HANDLE activation) {
  std::vector<std::wstring> identities;
  SIZE_T needed = 0;
  ::QueryActCtxW(0, activation, nullptr, ActivationContextDetailedInformation, nullptr, 0, &needed);
  std::vector<std::uint64_t> buffer(needed / sizeof(std::uint64_t) + 1);
  if (!::QueryActCtxW(0, activation, nullptr, ActivationContextDetailedInformation, buffer.data(),
                      buffer.size() * sizeof(std::uint64_t), &needed)) {
    return identities;
  }
  const DWORD count = reinterpret_cast<const ACTIVATION_CONTEXT_DETAILED_INFORMATION*>(buffer.data())->ulAssemblyCount;
  for (DWORD index = 1; index <= count; ++index) {
    DWORD assembly = index;
    needed = 0;
    ::QueryActCtxW(0, activation, &assembly, AssemblyDetailedInformationInActivationContext, nullptr, 0, &needed);
    std::vector<std::uint64_t> details(needed / sizeof(std::uint64_t) + 1);
    if (!::QueryActCtxW(0, activation, &assembly, AssemblyDetailedInformationInActivationContext, details.data(),
                        details.size() * sizeof(std::uint64_t), &needed)) {
      continue;
    }
    const auto* information = reinterpret_cast<const ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION*>(details.data());
    if (information->lpAssemblyEncodedAssemblyIdentity != nullptr) {
      identities.emplace_back(information->lpAssemblyEncodedAssemblyIdentity);
    }
  }
  return identities;
}

std::string ModulePath(HMODULE module) {
  char path[MAX_PATH] = {};
  if (module != nullptr) ::GetModuleFileNameA(module, path, MAX_PATH);
  return Lower(path);
}

// What Windows makes of the manifest: its activation context takes in version 6
// of the common controls, and with the context in force the common controls
// library comes from that assembly instead of the system folder. (This test
// program loads the library nowhere else; once loaded by its plain name, Wine
// hands out that copy whatever the context says.)
TEST(ProgramManifest, BringsInVersion6OfTheCommonControls) {
  const std::string program = BuiltProgramPath();
  ACTCTXA context{};
  context.cbSize = sizeof(context);
  context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  context.lpSource = program.c_str();
  context.lpResourceName = MAKEINTRESOURCEA(1);
  const HANDLE activation = ::CreateActCtxA(&context);
  ASSERT_NE(activation, INVALID_HANDLE_VALUE) << "the manifest was refused (error " << ::GetLastError() << ")";

  bool commonControls6 = false;
  std::wstring all;
  for (const std::wstring& identity : AssembliesOf(activation)) {
    all += identity + L"\n";
    if (identity.find(L"Microsoft.Windows.Common-Controls,") == 0 &&
        identity.find(L"version=\"6.") != std::wstring::npos) {
      commonControls6 = true;
    }
  }
  EXPECT_TRUE(commonControls6) << "assemblies: " << ::testing::PrintToString(all);

  ULONG_PTR cookie = 0;
  const bool activated = ::ActivateActCtx(activation, &cookie) != FALSE;
  const HMODULE redirected = activated ? ::LoadLibraryA("comctl32.dll") : nullptr;
  const std::string redirectedPath = ModulePath(redirected);
  if (activated) ::DeactivateActCtx(0, cookie);
  if (redirected != nullptr) ::FreeLibrary(redirected);
  ::ReleaseActCtx(activation);

  ASSERT_TRUE(activated);
  ASSERT_FALSE(redirectedPath.empty());
  EXPECT_NE(redirectedPath.find("microsoft.windows.common-controls"), std::string::npos) << redirectedPath;
}

struct LanguageAndCodePage {
  WORD language;
  WORD codePage;
};

TEST(ProgramVersionInfo, DescribesTheProgramWithTheProjectVersion) {
  const std::string program = BuiltProgramPath();
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeA(program.c_str(), &ignored);
  ASSERT_NE(size, 0u) << "no version information";
  std::vector<BYTE> data(size);
  ASSERT_TRUE(::GetFileVersionInfoA(program.c_str(), 0, size, data.data()));

  void* block = nullptr;
  UINT blockSize = 0;
  char root[] = "\\";
  ASSERT_TRUE(::VerQueryValueA(data.data(), root, &block, &blockSize));
  ASSERT_GE(blockSize, sizeof(VS_FIXEDFILEINFO));
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(block);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), TEMPLATE_EXPECTED_VERSION_MAJOR);
  EXPECT_EQ(LOWORD(fixed->dwFileVersionMS), TEMPLATE_EXPECTED_VERSION_MINOR);
  EXPECT_EQ(HIWORD(fixed->dwFileVersionLS), TEMPLATE_EXPECTED_VERSION_PATCH);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

  char translationPath[] = "\\VarFileInfo\\Translation";
  ASSERT_TRUE(::VerQueryValueA(data.data(), translationPath, &block, &blockSize));
  ASSERT_GE(blockSize, sizeof(LanguageAndCodePage));
  const auto* translation = static_cast<const LanguageAndCodePage*>(block);
  char prefix[64];
  std::snprintf(prefix, sizeof(prefix), "\\StringFileInfo\\%04x%04x\\", translation->language, translation->codePage);

  const auto text = [&](const char* name) -> std::string {
    std::string path = std::string(prefix) + name;
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueA(data.data(), path.data(), &value, &length) || value == nullptr || length == 0) return {};
    return std::string(static_cast<const char*>(value));
  };
  EXPECT_FALSE(text("FileDescription").empty()) << "no file description";
  EXPECT_EQ(text("FileVersion"), TEMPLATE_EXPECTED_VERSION_TEXT);
}

}  // namespace
}  // namespace tpl::e2e
