// XML, XMLNode and the platform objects beside them as movies see them: each
// case parses a document (kept in a register), runs member paths on it and
// traces what they give. A path like `$.firstChild.appendChild($.lastChild)`
// starts at the document (`$`) or at a global name; arguments are paths that
// start with `$` or plain texts.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "movie_player.h"
#include "movie_test_support.h"
#include "swf_writer.h"

namespace swf::testing {
namespace {

constexpr std::uint8_t kGetMember = 0x4E;
constexpr std::uint8_t kSetMember = 0x4F;
constexpr std::uint8_t kCallMethod = 0x52;
constexpr std::uint8_t kNewObject = 0x40;

// Splits `text` at `separator` outside parentheses.
std::vector<std::string> SplitOutsideParens(std::string_view text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  int depth = 0;
  for (const char ch : text) {
    if (ch == '(') ++depth;
    if (ch == ')') --depth;
    if (ch == separator && depth == 0) {
      parts.push_back(part);
      part.clear();
    } else {
      part += ch;
    }
  }
  parts.push_back(part);
  return parts;
}

void EmitPath(Actions& a, std::string_view path, std::uint8_t scratch);

void EmitArgument(Actions& a, const std::string& argument, std::uint8_t scratch) {
  if (argument.starts_with("$")) {
    EmitPath(a, argument, scratch);
  } else {
    a.PushString(argument);
  }
}

// Leaves the path's value on the stack; a method's target waits in register
// `scratch` while its arguments are worked out (deeper ones use the next).
void EmitPath(Actions& a, std::string_view path, std::uint8_t scratch) {
  const std::vector<std::string> segments = SplitOutsideParens(path, '.');
  for (std::size_t i = 0; i < segments.size(); ++i) {
    const std::string& segment = segments[i];
    const std::size_t open = segment.find('(');
    if (i == 0) {
      if (segment == "$") {
        a.PushRegister(0);
      } else {
        a.PushString(segment).GetVariable();
      }
    } else if (open == std::string::npos) {
      a.PushString(segment).Raw(kGetMember);
    } else {
      a.StoreRegister(scratch).Pop();
      const std::string inside = segment.substr(open + 1, segment.size() - open - 2);
      const std::vector<std::string> arguments =
          inside.empty() ? std::vector<std::string>{} : SplitOutsideParens(inside, ',');
      for (auto it = arguments.rbegin(); it != arguments.rend(); ++it) {
        EmitArgument(a, *it, static_cast<std::uint8_t>(scratch + 1));
      }
      a.PushInt(static_cast<std::int32_t>(arguments.size())).PushRegister(scratch);
      a.PushString(segment.substr(0, open)).Raw(kCallMethod);
    }
  }
}

struct XmlCase {
  std::string name;
  std::string source;  // the document's text
  bool ignoreWhite;
  std::vector<std::string> steps;  // paths run for their effect
  std::vector<std::string> traced;
  std::vector<std::string> expected;
};

// A push holds at most 64 KiB: longer texts are joined from pieces.
void PushLongString(Actions& a, std::string_view text) {
  constexpr std::size_t kPiece = 30000;
  a.PushString(text.substr(0, kPiece));
  for (std::size_t at = kPiece; at < text.size(); at += kPiece) a.PushString(text.substr(at, kPiece)).StringAdd();
}

std::vector<std::string> TracesOfCase(const XmlCase& c) {
  Actions a;
  a.PushInt(0).PushString("XML").Raw(kNewObject).StoreRegister(0).Pop();
  a.PushRegister(0).PushString("ignoreWhite").PushBool(c.ignoreWhite).Raw(kSetMember);
  PushLongString(a, c.source);
  a.PushInt(1).PushRegister(0).PushString("parseXML").Raw(kCallMethod).Pop();
  for (const std::string& step : c.steps) {
    EmitPath(a, step, 1);
    a.Pop();
  }
  for (const std::string& path : c.traced) {
    EmitPath(a, path, 1);
    a.Trace();
  }
  MovieBuilder movie(10, 10, 24, 8);
  movie.DoAction(a).ShowFrame();
  std::vector<std::string> lines;
  MoviePlayer player;
  player.SetTraceSink([&lines](std::string_view line) { lines.emplace_back(line); });
  LoadOrFail(player, movie.Build());
  return lines;
}

std::string Repeat(std::string_view text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

std::vector<XmlCase> XmlCases() {
  return {
      {"parse_and_write_back_keeps_attribute_order_and_escapes",
       R"(<a x="1" y="&lt;2&gt;"><b/>t &amp; 'u'</a>)",
       false,
       {},
       {"$.toString()", "$.firstChild.attributes.y", "$.firstChild.lastChild.nodeValue"},
       {R"(<a x="1" y="&lt;2&gt;"><b />t &amp; &apos;u&apos;</a>)", "<2>", "t & 'u'"}},
      {"ignore_white_drops_only_white_text",
       "<r>  <f> t </f>\n</r>",
       true,
       {},
       {"$.firstChild.childNodes.length", "$.firstChild.firstChild.firstChild.nodeValue"},
       {"1", " t "}},
      {"white_text_stays_by_default",
       "<r>  <f> t </f>\n</r>",
       false,
       {},
       {"$.firstChild.childNodes.length", "$.firstChild.firstChild.nodeType", "$.firstChild.firstChild.nodeName"},
       {"3", "3", "null"}},
      {"known_entities_become_characters_and_others_stay",
       "<d>A &amp; &#39; &#x41; &thing; &&amp;</d>",
       false,
       {},
       {"$.firstChild.firstChild.nodeValue"},
       {"A & ' A &thing; &&"}},
      {"node_properties_walk_the_tree",
       "<a><b/><c>x</c></a>",
       false,
       {},
       {"$.nodeName", "$.nodeType", "$.firstChild.firstChild.nextSibling.nodeName",
        "$.firstChild.lastChild.previousSibling.nodeName", "$.firstChild.firstChild.previousSibling",
        "$.firstChild.firstChild.firstChild", "$.firstChild.lastChild.parentNode.nodeName",
        "$.firstChild.hasChildNodes()", "$.firstChild.firstChild.hasChildNodes()"},
       {"null", "1", "c", "b", "null", "null", "a", "true", "false"}},
      {"declarations_are_kept_and_written_first",
       R"(<?xml version="1.0"?><!DOCTYPE x><x/>)",
       false,
       {},
       {"$.xmlDecl", "$.docTypeDecl", "$.toString()"},
       {R"(<?xml version="1.0"?>)", "<!DOCTYPE x>", R"(<?xml version="1.0"?><!DOCTYPE x><x />)"}},
      {"cdata_is_text_as_written",
       "<a><![CDATA[<b>&amp;</b>]]></a>",
       false,
       {},
       {"$.firstChild.firstChild.nodeValue", "$.toString()"},
       {"<b>&amp;</b>", "<a>&lt;b&gt;&amp;amp;&lt;/b&gt;</a>"}},
      {"namespaces_come_from_the_nearest_declaration",
       R"(<p:a xmlns:p="u1" xmlns="u0"><p:b xmlns:q="u2"/><c/></p:a>)",
       false,
       {},
       {"$.firstChild.prefix", "$.firstChild.localName", "$.firstChild.firstChild.namespaceURI",
        "$.firstChild.lastChild.namespaceURI", "$.firstChild.firstChild.getNamespaceForPrefix(q)",
        "$.firstChild.firstChild.getPrefixForNamespace(u1)", "$.firstChild.getNamespaceForPrefix(q)"},
       {"p", "a", "u1", "u0", "u2", "p", "null"}},
      {"id_attributes_fill_the_id_map",
       R"(<a id="x"><b id="y"/></a>)",
       false,
       {},
       {"$.idMap.x.nodeName", "$.idMap.y.nodeName"},
       {"a", "b"}},
      {"append_moves_a_node_to_the_end",
       "<a/><b/><c/>",
       false,
       {"$.appendChild($.firstChild)"},
       {"$.toString()", "$.childNodes.length", "$.lastChild.previousSibling.nodeName"},
       {"<b /><c /><a />", "3", "c"}},
      {"insert_before_places_ahead_of_a_child",
       "<a/><b/><c/>",
       false,
       {"$.insertBefore($.lastChild,$.firstChild)", "$.insertBefore($.lastChild,$.lastChild)"},
       {"$.toString()"},
       {"<c /><a /><b />"}},
      {"remove_node_leaves_it_without_a_parent",
       "<a/><b/>",
       false,
       {"$.firstChild.nextSibling.removeNode()"},
       {"$.toString()", "$.firstChild.nextSibling"},
       {"<a />", "null"}},
      {"an_ancestor_cannot_become_a_child",
       "<a><b/></a>",
       false,
       {"$.firstChild.firstChild.appendChild($.firstChild)", "$.firstChild.appendChild($.firstChild)"},
       {"$.toString()"},
       {"<a><b /></a>"}},
      {"clone_copies_attributes_and_children_when_deep",
       R"(<a x="1"><b/></a>)",
       false,
       {},
       {"$.firstChild.cloneNode(1).toString()", "$.firstChild.cloneNode().toString()",
        "$.firstChild.cloneNode(1).parentNode"},
       {R"(<a x="1"><b /></a>)", R"(<a x="1" />)", "null"}},
      {"created_nodes_join_the_tree",
       "",
       false,
       {"$.appendChild($.createElement(n))", "$.firstChild.appendChild($.createTextNode(a<b))"},
       {"$.toString()", "$.firstChild.firstChild.nodeType"},
       {"<n>a&lt;b</n>", "3"}},
      {"parse_errors_set_the_status", "<a><b></a>", false, {}, {"$.status"}, {"-10"}},
      {"an_unclosed_element_is_missing_its_end",
       "<a><b/>",
       false,
       {},
       {"$.status", "$.firstChild.firstChild.nodeName"},
       {"-9", "b"}},
      {"an_unterminated_attribute_is_reported", "<a x='1></a>", false, {}, {"$.status"}, {"-8"}},
      {"nesting_beyond_the_limit_stops_the_parse",
       Repeat("<a>", 400) + Repeat("</a>", 400),
       false,
       {},
       {"$.status"},
       {"-7"}},
      {"node_count_beyond_the_limit_stops_the_parse",
       "<r>" + Repeat("<a/>", 70000) + "</r>",
       false,
       {},
       {"$.status", "$.firstChild.childNodes.length"},
       {"-7", "65535"}},
      {"platform_objects_of_a_headless_player",
       "",
       false,
       {},
       {"System.security.sandboxType", "Stage.displayState", "flash.external.ExternalInterface.available",
        "flash.external.ExternalInterface._escapeXML(<a href='x'>&)",
        "flash.external.ExternalInterface._toXML($.childNodes)"},
       {"localWithFile", "normal", "false", "&lt;a href=&apos;x&apos;&gt;&amp;", "<array></array>"}},
  };
}

class XmlDocuments : public ::testing::TestWithParam<XmlCase> {};

TEST_P(XmlDocuments, TraceWhatThePlatformDocuments) { EXPECT_EQ(TracesOfCase(GetParam()), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(Cases, XmlDocuments, ::testing::ValuesIn(XmlCases()),
                         [](const auto& tested) { return tested.param.name; });

}  // namespace
}  // namespace swf::testing
