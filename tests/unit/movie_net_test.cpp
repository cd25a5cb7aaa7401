// The network and file classes as a saver meets them: loads of files the
// host gives, every other request failing with the platform's events on a
// later frame, dialogs answered as cancelled; and the portable rules behind
// them (which URLs are local files, URL-encoded variables, style sheets).
//
// A movie case is a list of steps in a small language the test turns into
// actions, run in the first frame; the movie then plays a few frames:
//   new X Class            X = new Class()   (Class may be dotted: flash.net.FileReference)
//   obj X                  X = new Object()
//   on X event             X.event = function(a) { trace("event:" + a); }
//   onprop X event member  X.event = function(a) { trace("event:" + a.member); }
//   call X method [args]   trace(X.method(args...)): arguments are texts, "#5" a number,
//                          "@null" null and "@name" the variable `name`
//   trace X.member         trace(X.member)
//   set X member value     X.member = value ("#5" a number, "@name" a variable, else a text)
//   thrower X text         X = new Object(); X.valueOf = function() { throw text; }
//   tryset X member value  try { X.member = value; } catch (e) { trace("caught:" + e); }

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "local_requests.h"
#include "movie_player.h"
#include "movie_test_support.h"
#include "script/net.h"
#include "swf_writer.h"

namespace swf::testing {
namespace {

constexpr std::uint8_t kGetMember = 0x4E, kSetMember = 0x4F, kCallMethod = 0x52, kNewMethod = 0x53,
                       kNewObject = 0x40;

std::vector<std::string> Words(std::string_view line) {
  std::istringstream in{std::string(line)};
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

void PushConstructor(Actions& a, const std::string& dotted) {
  // Leaves (holder, name) for NewMethod.
  const std::size_t last = dotted.rfind('.');
  if (last == std::string::npos) {
    a.PushUndefined().PushString(dotted);
    return;
  }
  const std::string holder = dotted.substr(0, last);
  std::size_t start = 0;
  bool first = true;
  while (start <= holder.size()) {
    std::size_t dot = holder.find('.', start);
    if (dot == std::string::npos) dot = holder.size();
    const std::string part = holder.substr(start, dot - start);
    if (first) {
      a.PushString(part).GetVariable();
      first = false;
    } else {
      a.PushString(part).Raw(kGetMember);
    }
    start = dot + 1;
  }
  a.PushString(dotted.substr(last + 1));
}

void EmitStep(Actions& a, const std::string& line) {
  const std::vector<std::string> w = Words(line);
  ASSERT_FALSE(w.empty());
  if (w[0] == "new") {
    a.PushString(w[1]);
    if (w[2].find('.') == std::string::npos) {
      a.PushInt(0).PushString(w[2]).Raw(kNewObject);
    } else {
      a.PushInt(0);
      PushConstructor(a, w[2]);
      a.Raw(kNewMethod);
    }
    a.SetVariable();
  } else if (w[0] == "obj") {
    a.PushString(w[1]).PushInt(0).PushString("Object").Raw(kNewObject).SetVariable();
  } else if (w[0] == "on" || w[0] == "onprop") {
    Actions body;
    body.PushString(w[2] + ":").PushString("a").GetVariable();
    if (w[0] == "onprop") body.PushString(w[3]).Raw(kGetMember);
    body.Add2().Trace();
    a.PushString(w[1]).GetVariable().PushString(w[2]).DefineFunction("", {"a"}, body).Raw(kSetMember);
  } else if (w[0] == "call") {
    for (std::size_t i = w.size(); i-- > 3;) {
      if (w[i].starts_with("#")) {
        a.PushDouble(std::stod(w[i].substr(1)));
      } else if (w[i] == "@null") {
        a.PushNull();
      } else if (w[i].size() > 1 && w[i].starts_with("@")) {
        a.PushString(w[i].substr(1)).GetVariable();
      } else {
        a.PushString(w[i]);
      }
    }
    a.PushInt(static_cast<std::int32_t>(w.size() - 3)).PushString(w[1]).GetVariable().PushString(w[2]);
    a.Raw(kCallMethod).Trace();
  } else if (w[0] == "set" || w[0] == "tryset") {
    auto emitStore = [&w](Actions& into) {
      into.PushString(w[1]).GetVariable().PushString(w[2]);
      if (w[3].starts_with("#")) {
        into.PushDouble(std::stod(w[3].substr(1)));
      } else if (w[3].starts_with("@")) {
        into.PushString(w[3].substr(1)).GetVariable();
      } else {
        into.PushString(w[3]);
      }
      into.Raw(kSetMember);
    };
    if (w[0] == "set") {
      emitStore(a);
    } else {
      Actions store, caught;
      emitStore(store);
      caught.PushString("caught:").PushString("e").GetVariable().Add2().Trace();
      a.Try(store, "e", caught, false, Actions{});
    }
  } else if (w[0] == "thrower") {
    Actions body;
    body.PushString(w[2]).Raw(0x2A);
    a.PushString(w[1]).PushInt(0).PushString("Object").Raw(kNewObject).SetVariable();
    a.PushString(w[1]).GetVariable().PushString("valueOf").DefineFunction("", {}, body).Raw(kSetMember);
  } else if (w[0] == "trace") {
    const std::size_t dot = w[1].find('.');
    a.PushString(w[1].substr(0, dot)).GetVariable();
    std::size_t start = dot + 1;
    while (dot != std::string::npos) {
      const std::size_t next = w[1].find('.', start);
      a.PushString(w[1].substr(start, next == std::string::npos ? std::string::npos : next - start)).Raw(kGetMember);
      if (next == std::string::npos) break;
      start = next + 1;
    }
    a.Trace();
  } else {
    FAIL() << "unknown step " << line;
  }
}

struct NetCase {
  std::string name;
  std::vector<std::string> steps;
  std::map<std::string, std::string> files;  // what the host's reader gives, by URL as asked
  std::vector<std::string> expected;         // trace lines after three frames
};

std::vector<std::string> RunCase(const NetCase& c, int frames = 3) {
  Actions a;
  for (const std::string& step : c.steps) EmitStep(a, step);
  // Version 8: the classes are those of movies made for the versions that have them.
  MovieBuilder movie(10, 10, 24, 8);
  movie.DoAction(a).ShowFrame();
  for (int i = 0; i < 3; ++i) movie.ShowFrame();
  std::vector<std::string> lines;
  MoviePlayer player;
  player.SetTraceSink([&lines](std::string_view line) { lines.emplace_back(line); });
  const auto files = c.files;
  player.SetUrlReader([files](std::string_view url) -> std::optional<std::string> {
    const auto found = files.find(std::string(url));
    if (found == files.end()) return std::nullopt;
    return found->second;
  });
  LoadOrFail(player, movie.Build());
  lines.push_back("--");  // the first frame ends here
  for (int i = 0; i < frames; ++i) player.Advance();
  return lines;
}

class NetMovie : public ::testing::TestWithParam<NetCase> {};

TEST_P(NetMovie, TracesWhatThePlatformReports) { EXPECT_EQ(RunCase(GetParam()), GetParam().expected); }

std::vector<NetCase> NetCases() {
  return {
      // LoadVars
      {"loadvars_of_a_missing_file_reports_status_0_then_onload_false",
       {"new lv LoadVars", "on lv onHTTPStatus", "on lv onLoad", "call lv load missing.txt", "trace lv.loaded"},
       {},
       {"true", "false", "--", "onHTTPStatus:0", "onLoad:false"}},
      {"loadvars_of_a_file_decodes_its_pairs",
       {"new lv LoadVars", "on lv onLoad", "call lv load vars.txt"},
       {{"vars.txt", "a=1&b=x+y%21&c"}},
       {"true", "--", "onLoad:true"}},
      {"loadvars_without_a_url_refuses",
       {"new lv LoadVars", "on lv onLoad", "call lv load"},
       {},
       {"false", "--"}},
      {"loadvars_ondata_gets_the_raw_text",
       {"new lv LoadVars", "on lv onData", "call lv load raw.txt"},
       {{"raw.txt", "not=pairs&x"}},
       {"true", "--", "onData:not=pairs&x"}},
      {"send_and_load_answers_to_the_target",
       {"new lv LoadVars", "new back LoadVars", "on back onLoad", "call lv sendAndLoad http://example.com/x @back"},
       {},
       {"true", "--", "onLoad:false"}},
      {"decode_sets_members",
       {"new lv LoadVars", "call lv decode p=%41&q=2", "trace lv.p", "trace lv.q"},
       {},
       {"undefined", "A", "2", "--"}},
      // XML
      {"xml_load_of_a_file_parses_it",
       {"new x XML", "on x onLoad", "call x load doc.xml", "trace x.loaded"},
       {{"doc.xml", "<a><b/></a>"}},
       {"true", "false", "--", "onLoad:true"}},
      {"xml_load_of_a_missing_file_fails",
       {"new x XML", "on x onLoad", "call x load http://example.com/doc.xml"},
       {},
       {"true", "--", "onLoad:false"}},
      // XMLSocket
      {"socket_connect_reports_failure_later",
       {"new s XMLSocket", "on s onConnect", "call s connect localhost #8000"},
       {},
       {"true", "--", "onConnect:false"}},
      {"socket_connect_to_a_low_port_is_refused",
       {"new s XMLSocket", "on s onConnect", "call s connect localhost #80"},
       {},
       {"false", "--"}},
      // FileReference and FileReferenceList
      {"browse_is_answered_as_cancelled",
       {"new f flash.net.FileReference", "obj l", "on l onCancel", "on l onSelect", "call f addListener @l",
        "call f browse", "trace f.name"},
       {},
       {"true", "true", "undefined", "--", "onCancel:[object Object]"}},
      {"file_list_browse_is_answered_as_cancelled",
       {"new f flash.net.FileReferenceList", "obj l", "onprop l onCancel fileList", "call f addListener @l",
        "call f browse"},
       {},
       {"true", "true", "--", "onCancel:undefined"}},  // undefined adds as its name from version 7
      {"download_needs_a_url_with_a_scheme",
       {"new f flash.net.FileReference", "call f download", "call f download @", "call f download baddomain",
        "call f download http://example.com/a.txt"},
       {},
       {"false", "false", "false", "true", "--"}},
      {"upload_without_a_chosen_file_refuses",
       {"new f flash.net.FileReference", "call f upload http://example.com/u"},
       {},
       {"false", "--"}},
      // NetConnection
      {"netconnection_to_null_is_connected",
       {"new n NetConnection", "call n connect @null", "trace n.isConnected"},
       {},
       {"true", "true", "--"}},
      {"netconnection_reconnect_closes_first",
       {"new n NetConnection", "onprop n onStatus code", "call n connect @null", "call n connect @null"},
       {},
       {"true", "onStatus:NetConnection.Connect.Closed", "true", "--"}},
      {"netconnection_to_a_streaming_server_fails_later",
       {"new n NetConnection", "onprop n onStatus code", "call n connect rtmp://example.com/app"},
       {},
       {"true", "--", "onStatus:NetConnection.Connect.Failed"}},
      // LocalConnection
      {"local_connection_delivers_within_the_movie",
       {"new r LocalConnection", "on r hello", "call r connect chan", "new s LocalConnection",
        "onprop s onStatus level", "call s send chan hello world"},
       {},
       {"true", "true", "--", "hello:world", "onStatus:status"}},
      {"local_connection_to_nobody_reports_an_error",
       {"new s LocalConnection", "onprop s onStatus level", "call s send nobody hello"},
       {},
       {"true", "--", "onStatus:error"}},
      {"local_connection_name_taken_twice_is_refused",
       {"new r LocalConnection", "new q LocalConnection", "call r connect chan", "call q connect chan"},
       {},
       {"true", "false", "--"}},
      // TextField.StyleSheet
      {"stylesheet_load_parses_through_parse",
       {"new css TextField.StyleSheet", "on css onLoad", "call css load s.css", "trace css.loaded"},
       {{"s.css", "a { color: #FF0000; }"}},
       {"true", "false", "--", "onLoad:true"}},
      {"stylesheet_load_of_no_style_sheet_fails",
       {"new css TextField.StyleSheet", "on css onLoad", "call css load s.css"},
       {{"s.css", "a { color #FF0000; }"}},
       {"true", "--", "onLoad:false"}},
      {"stylesheet_getstyle_gives_camel_case_members",
       {"new css TextField.StyleSheet", "call css parseCSS h1{font-size:12px;}", "call css getStyle h1",
        "call css getStyle h3", "call css getStyleNames"},
       {},
       {"true", "[object Object]", "null", "h1", "--"}},
  };
}

INSTANTIATE_TEST_SUITE_P(Net, NetMovie, ::testing::ValuesIn(NetCases()),
                         [](const ::testing::TestParamInfo<NetCase>& caseInfo) { return caseInfo.param.name; });

// ---------------------------------------------------------------------------
// DisplacementMapFilter.mapPoint: kept as whole numbers, read member by member.

class MapPoint : public ::testing::TestWithParam<NetCase> {};

TEST_P(MapPoint, KeepsWhatThePlatformKeeps) { EXPECT_EQ(RunCase(GetParam(), 0), GetParam().expected); }

std::vector<NetCase> MapPointCases() {
  const std::string make = "new f flash.filters.DisplacementMapFilter";
  return {
      {"starts_at_the_origin", {make, "trace f.mapPoint"}, {}, {"(x=0, y=0)", "--"}},
      {"whole_numbers_are_kept", {make, "obj p", "set p x #1.7", "set p y #-2.5", "set f mapPoint @p", "trace f.mapPoint"},
       {}, {"(x=1, y=-2)", "--"}},
      {"a_missing_member_gives_the_origin", {make, "obj p", "set p x #4", "set f mapPoint @p", "trace f.mapPoint"},
       {}, {"(x=0, y=0)", "--"}},
      {"no_object_gives_the_origin", {make, "set f mapPoint #3", "trace f.mapPoint"}, {}, {"(x=0, y=0)", "--"}},
      {"a_throwing_member_is_the_lowest_integer_and_rethrown",
       {make, "thrower t bad", "obj p", "set p x @t", "set p y #8", "tryset f mapPoint @p", "trace f.mapPoint"},
       {}, {"caught:bad", "(x=-2147483648, y=8)", "--"}},
      {"the_first_throw_wins",
       {make, "thrower t first", "thrower u second", "obj p", "set p x @t", "set p y @u", "tryset f mapPoint @p",
        "trace f.mapPoint"},
       {}, {"caught:first", "(x=-2147483648, y=-2147483648)", "--"}},
      {"a_throw_beside_a_missing_member_gives_the_origin",
       {make, "thrower t bad", "obj p", "set p y @t", "tryset f mapPoint @p", "trace f.mapPoint"},
       {}, {"caught:bad", "(x=0, y=0)", "--"}},
  };
}

INSTANTIATE_TEST_SUITE_P(Filters, MapPoint, ::testing::ValuesIn(MapPointCases()),
                         [](const ::testing::TestParamInfo<NetCase>& caseInfo) { return caseInfo.param.name; });

// ---------------------------------------------------------------------------
// Which requests are local files.

struct PathCase {
  std::string name;
  std::string folder;
  std::string url;
  std::optional<std::string> expected;
};

class LocalPaths : public ::testing::TestWithParam<PathCase> {};

TEST_P(LocalPaths, ResolveAsTheHostReadsThem) {
  EXPECT_EQ(LocalRequestPath(GetParam().folder, GetParam().url, '/'), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Net, LocalPaths,
    ::testing::ValuesIn(std::vector<PathCase>{
        {"relative_joins_the_movie_folder", "/m", "data/a.txt", "/m/data/a.txt"},
        {"relative_without_a_folder_stays", "", "a.txt", "a.txt"},
        {"query_and_fragment_are_dropped", "/m", "a.txt?x=1#y", "/m/a.txt"},
        {"backslashes_become_the_separator", "/m", "d\\a.txt", "/m/d/a.txt"},
        {"file_url_with_three_slashes", "/m", "file:///home/a%20b.txt", "/home/a b.txt"},
        {"file_url_with_a_drive", "/m", "file:///C:/x/a.txt", "C:/x/a.txt"},
        {"file_url_of_localhost", "/m", "file://localhost/tmp/a.txt", "/tmp/a.txt"},
        {"file_url_of_another_host_is_the_network", "/m", "file://server/share/a.txt", std::nullopt},
        {"http_is_the_network", "/m", "http://example.com/a.txt", std::nullopt},
        {"https_in_capitals_is_the_network", "/m", "HTTPS://example.com/a.txt", std::nullopt},
        {"rtmp_is_the_network", "/m", "rtmp://example.com/app", std::nullopt},
        {"a_share_is_the_network", "/m", "\\\\server\\share\\a.txt", std::nullopt},
        {"a_drive_path_is_local", "/m", "D:\\a.txt", "D:/a.txt"},
        {"an_absolute_path_is_kept", "/m", "/etc/a.txt", "/etc/a.txt"},
        {"empty_names_nothing", "/m", "", std::nullopt},
    }),
    [](const ::testing::TestParamInfo<PathCase>& caseInfo) { return caseInfo.param.name; });

TEST(LocalPaths, FolderOfAPath) {
  EXPECT_EQ(FolderOf("/a/b/c.swf"), "/a/b");
  EXPECT_EQ(FolderOf("C:\\s\\m.swf"), "C:\\s");
  EXPECT_EQ(FolderOf("m.swf"), "");
}

// ---------------------------------------------------------------------------
// URL-encoded variables.

struct VariablesCase {
  std::string name;
  std::string text;
  std::vector<std::pair<std::string, std::string>> expected;
};

class UrlVariables : public ::testing::TestWithParam<VariablesCase> {};

TEST_P(UrlVariables, DecodeAsLoadVarsDoes) { EXPECT_EQ(DecodeUrlVariables(GetParam().text), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Net, UrlVariables,
    ::testing::ValuesIn(std::vector<VariablesCase>{
        {"pairs_in_order", "a=1&b=2", {{"a", "1"}, {"b", "2"}}},
        {"plus_is_a_space_and_escapes_decode", "t=x+y%21%4a", {{"t", "x y!J"}}},
        {"a_name_without_value_is_empty", "a&b=", {{"a", ""}, {"b", ""}}},
        {"empty_names_are_skipped", "=1&&c=3", {{"c", "3"}}},
        {"a_broken_escape_stays", "a=%zz%4", {{"a", "%zz%4"}}},
        {"an_equals_in_the_value_stays", "a=b=c", {{"a", "b=c"}}},
    }),
    [](const ::testing::TestParamInfo<VariablesCase>& caseInfo) { return caseInfo.param.name; });

TEST(UrlVariables, EncodeKeepsLettersAndDigitsOnly) {
  EXPECT_EQ(EncodeUrlComponent("aZ09"), "aZ09");
  EXPECT_EQ(EncodeUrlComponent("a b&c=d"), "a%20b%26c%3Dd");
  EXPECT_EQ(EncodeUrlComponent("\xC3\xA9"), "%C3%A9");
}

// ---------------------------------------------------------------------------
// Style sheets.

struct CssCase {
  std::string name;
  std::string text;
  std::optional<std::vector<std::pair<std::string, CssProperties>>> expected;
};

class StyleSheets : public ::testing::TestWithParam<CssCase> {};

TEST_P(StyleSheets, ParseAsTheStyleSheetClassDoes) { EXPECT_EQ(ParseCss(GetParam().text), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Net, StyleSheets,
    ::testing::ValuesIn(std::vector<CssCase>{
        {"one_rule", "a { color: blue; }", std::vector<std::pair<std::string, CssProperties>>{{"a", {{"color", "blue"}}}}},
        {"value_keeps_white_before_the_end", "b {color: red }",
         std::vector<std::pair<std::string, CssProperties>>{{"b", {{"color", "red "}}}}},
        {"hyphens_become_camel_case", "p{font-style:italic;text-align:left}",
         std::vector<std::pair<std::string, CssProperties>>{
             {"p", {{"fontStyle", "italic"}, {"textAlign", "left"}}}}},
        {"selector_lists_share_properties", "h1, h2 { x: 1 }",
         std::vector<std::pair<std::string, CssProperties>>{{"h1", {{"x", "1 "}}}, {"h2", {{"x", "1 "}}}}},
        {"comments_are_skipped", "/* c */ a { /* d */ x: 1; }",
         std::vector<std::pair<std::string, CssProperties>>{{"a", {{"x", "1"}}}}},
        {"empty_text_is_an_empty_sheet", "  ", std::vector<std::pair<std::string, CssProperties>>{}},
        {"missing_close_is_no_sheet", "a { x: 1;", std::nullopt},
        {"missing_colon_is_no_sheet", "a { x 1; }", std::nullopt},
        {"text_without_rules_is_no_sheet", "hello", std::nullopt},
        {"unclosed_comment_is_no_sheet", "a { x: 1; } /*", std::nullopt},
    }),
    [](const ::testing::TestParamInfo<CssCase>& caseInfo) { return caseInfo.param.name; });

TEST(StyleSheets, CamelCase) {
  EXPECT_EQ(CssCamelCase("font-family"), "fontFamily");
  EXPECT_EQ(CssCamelCase("margin-left"), "marginLeft");
  EXPECT_EQ(CssCamelCase("color"), "color");
}

}  // namespace
}  // namespace swf::testing
