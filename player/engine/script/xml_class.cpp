// XMLNode and XML: a tree of element and text nodes, built by parsing text
// (XML.parseXML, new XML(text)) or by the create, append and insert methods,
// read through the node properties and written back by toString. The tree
// lives in each node's native state; the members scripts see (nodeName,
// firstChild, childNodes, ...) are properties of XMLNode.prototype that read
// it. Parsing stops at kMaxParsedNodes nodes and kMaxXmlDepth levels, and the
// walks over a tree stop at kMaxXmlDepth, so no text or tree a movie builds can
// exhaust memory or the stack.

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "net.h"
#include "text/text_field.h"
#include "vm.h"

namespace swf {
namespace {

constexpr int kElementNode = 1;
constexpr int kTextNode = 3;
constexpr std::size_t kMaxXmlDepth = 256;
constexpr std::size_t kMaxParsedNodes = 1u << 16;
// How far up the parent chain a check for cycles looks before refusing.
constexpr std::size_t kMaxAncestorWalk = 4096;

// parseXML's status values.
constexpr double kStatusOk = 0;
constexpr double kCdataUnterminated = -2;
constexpr double kDeclarationUnterminated = -3;
constexpr double kDoctypeUnterminated = -4;
constexpr double kCommentUnterminated = -5;
constexpr double kMalformedElement = -6;
constexpr double kOutOfMemory = -7;
constexpr double kAttributeUnterminated = -8;
constexpr double kMissingEndTag = -9;
constexpr double kUnmatchedEndTag = -10;

struct XmlNode final : NativeState {
  int type = kElementNode;
  std::optional<std::string> name;   // elements; a document has none
  std::optional<std::string> value;  // text nodes
  Object* attributes = nullptr;
  Object* parent = nullptr;
  std::vector<Object*> children;
  Object* childList = nullptr;  // the childNodes array, made when first read

  void AddReferences(std::vector<Object*>& out) const override {
    for (Object* link : {attributes, parent, childList}) {
      if (link) out.push_back(link);
    }
    out.insert(out.end(), children.begin(), children.end());
  }
  [[nodiscard]] std::size_t StoredBytes() const override {
    return (name ? name->size() : 0) + (value ? value->size() : 0) + children.size() * sizeof(Object*);
  }
};

XmlNode* NodeOf(Object* object) { return object ? dynamic_cast<XmlNode*>(object->state.get()) : nullptr; }

Object* AsObject(const Value& value) {
  auto* const* object = std::get_if<Object*>(&value);
  return object ? *object : nullptr;
}

Value OrNull(Object* object) { return object ? Value{object} : Value{Null{}}; }
Value OrNull(const std::optional<std::string>& text) { return text ? Value{*text} : Value{Null{}}; }

// A text kept by a node, or nothing when the stored bytes are spent.
std::optional<std::string> Kept(Vm& vm, std::string text) {
  if (!vm.Charge(text.size())) return std::string();
  return text;
}

// A name or value written by script: undefined leaves it as it was, null
// clears it.
std::optional<std::string> TextOrNull(Vm& vm, const Value& value, const std::optional<std::string>& old) {
  if (std::holds_alternative<Undefined>(value)) return old;
  if (std::holds_alternative<Null>(value)) return std::nullopt;
  return Kept(vm, vm.ToStr(value));
}

// Makes `object` a node of `type` with an empty attributes object.
XmlNode& MakeNode(Vm& vm, Object* object, int type) {
  auto node = std::make_unique<XmlNode>();
  node->type = type;
  node->attributes = vm.NewPlain();
  XmlNode& made = *node;
  object->state = std::move(node);
  return made;
}

Object* NewNode(Vm& vm, Object* proto, int type, std::string text) {
  Object* object = vm.NewObject(ObjectKind::Plain, proto);
  XmlNode& node = MakeNode(vm, object, type);
  if (type == kTextNode) {
    node.value = Kept(vm, std::move(text));
  } else {
    node.name = Kept(vm, std::move(text));
  }
  return object;
}

void RefreshChildList(XmlNode& node) {
  if (!node.childList) return;
  node.childList->elements.assign(node.children.begin(), node.children.end());
}

void Detach(Object* child) {
  XmlNode* node = NodeOf(child);
  if (!node || !node->parent) return;
  if (XmlNode* parent = NodeOf(node->parent)) {
    std::erase(parent->children, child);
    RefreshChildList(*parent);
  }
  node->parent = nullptr;
}

// Whether `candidate` is `object` or one of its ancestors; a chain too long
// to check counts as one, so the insert it guards is refused.
bool IsSelfOrAncestor(Object* candidate, Object* object) {
  std::size_t hops = 0;
  for (Object* at = object; at; at = NodeOf(at)->parent) {
    if (at == candidate || ++hops > kMaxAncestorWalk) return true;
  }
  return false;
}

// Moves `child` (out of the tree it was in) into `parent` at `index`.
void InsertChild(Object* parent, std::size_t index, Object* child) {
  XmlNode* into = NodeOf(parent);
  XmlNode* node = NodeOf(child);
  if (!into || !node || IsSelfOrAncestor(child, parent)) return;
  Detach(child);
  index = std::min(index, into->children.size());
  into->children.insert(into->children.begin() + static_cast<std::ptrdiff_t>(index), child);
  node->parent = parent;
  RefreshChildList(*into);
}

// ---- Entities

// The character an entity's name (between '&' and ';') stands for.
std::optional<std::string> EntityText(std::string_view name) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 5> kNamed{
      {{"amp", "&"}, {"lt", "<"}, {"gt", ">"}, {"quot", "\""}, {"apos", "'"}}};
  for (const auto& [entity, text] : kNamed) {
    if (name == entity) return std::string(text);
  }
  if (name.size() < 2 || name[0] != '#') return std::nullopt;
  const bool hex = name[1] == 'x' || name[1] == 'X';
  const std::string_view digits = name.substr(hex ? 2 : 1);
  if (digits.empty() || digits.size() > 8) return std::nullopt;
  std::uint32_t code = 0;
  for (const char ch : digits) {
    int digit = -1;
    if (ch >= '0' && ch <= '9') digit = ch - '0';
    if (hex && ch >= 'a' && ch <= 'f') digit = ch - 'a' + 10;
    if (hex && ch >= 'A' && ch <= 'F') digit = ch - 'A' + 10;
    if (digit < 0) return std::nullopt;
    code = code * (hex ? 16u : 10u) + static_cast<std::uint32_t>(digit);
  }
  if (code == 0 || code > 0x10FFFF) return std::nullopt;
  std::string text;
  AppendUtf8(text, code);
  return text;
}

// Known entities become their characters; any other '&' stays as written.
std::string Unescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&') {
      const std::size_t end = text.find_first_of("&;", i + 1);
      if (end != std::string_view::npos && text[end] == ';') {
        if (std::optional<std::string> entity = EntityText(text.substr(i + 1, end - i - 1))) {
          out += *entity;
          i = end;
          continue;
        }
      }
    }
    out += text[i];
  }
  return out;
}

std::string Escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char ch : text) {
    switch (ch) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += ch;
    }
  }
  return out;
}

// ---- Parsing

bool IsWhite(char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n'; }

bool AllWhite(std::string_view text) { return std::all_of(text.begin(), text.end(), IsWhite); }

struct Attribute {
  std::string name;
  std::string value;
};

class XmlParser {
 public:
  XmlParser(Vm& vm, Object* document, Object* nodeProto, std::string_view text)
      : vm_(vm), document_(document), nodeProto_(nodeProto), text_(text) {}

  // Fills the document and returns the status; what was read before an
  // error stays in the tree.
  double Run() {
    open_.push_back(document_);
    ignoreWhite_ = vm_.ToBool(vm_.GetMember(document_, "ignoreWhite"));
    Object* idMap = AsObject(vm_.GetMember(document_, "idMap"));
    idMap_ = idMap;
    while (pos_ < text_.size() && status_ == kStatusOk) {
      if (text_[pos_] == '<') {
        ReadMarkup();
      } else {
        ReadText();
      }
    }
    if (status_ == kStatusOk && open_.size() > 1) status_ = kMissingEndTag;
    return status_;
  }

  std::optional<std::string> xmlDecl;
  std::optional<std::string> docTypeDecl;

 private:
  bool StartsWith(std::string_view prefix) const { return text_.substr(pos_).starts_with(prefix); }

  // The end of a construct opened at pos_ and closed by `close`, just past
  // `close`; std::nullopt (and `failure` as the status) when it never closes.
  std::optional<std::size_t> Through(std::string_view close, std::size_t from, double failure) {
    const std::size_t end = text_.find(close, from);
    if (end == std::string_view::npos) {
      status_ = failure;
      return std::nullopt;
    }
    return end + close.size();
  }

  bool CanAddNode() {
    if (++nodes_ > kMaxParsedNodes) {
      status_ = kOutOfMemory;
      return false;
    }
    return true;
  }

  void AddText(std::string text) {
    if (!CanAddNode()) return;
    Object* node = NewNode(vm_, nodeProto_, kTextNode, std::move(text));
    InsertChild(open_.back(), NodeOf(open_.back())->children.size(), node);
  }

  void ReadText() {
    std::size_t end = text_.find('<', pos_);
    if (end == std::string_view::npos) end = text_.size();
    const std::string_view raw = text_.substr(pos_, end - pos_);
    pos_ = end;
    if (ignoreWhite_ && AllWhite(raw)) return;
    AddText(Unescape(raw));
  }

  void ReadMarkup() {
    if (StartsWith("<?")) {
      if (auto end = Through("?>", pos_ + 2, kDeclarationUnterminated)) {
        xmlDecl = std::string(text_.substr(pos_, *end - pos_));
        pos_ = *end;
      }
    } else if (StartsWith("<!--")) {
      if (auto end = Through("-->", pos_ + 4, kCommentUnterminated)) pos_ = *end;
    } else if (StartsWith("<![CDATA[")) {
      if (auto end = Through("]]>", pos_ + 9, kCdataUnterminated)) {
        AddText(std::string(text_.substr(pos_ + 9, *end - 3 - pos_ - 9)));
        pos_ = *end;
      }
    } else if (StartsWith("<!")) {
      if (auto end = Through(">", pos_ + 2, kDoctypeUnterminated)) {
        docTypeDecl = std::string(text_.substr(pos_, *end - pos_));
        pos_ = *end;
      }
    } else if (StartsWith("</")) {
      ReadEndTag();
    } else {
      ReadStartTag();
    }
  }

  void ReadEndTag() {
    auto end = Through(">", pos_ + 2, kMalformedElement);
    if (!end) return;
    std::string_view name = text_.substr(pos_ + 2, *end - 1 - pos_ - 2);
    while (!name.empty() && IsWhite(name.back())) name.remove_suffix(1);
    const XmlNode* top = NodeOf(open_.back());
    if (open_.size() < 2 || !top->name || *top->name != name) {
      status_ = kUnmatchedEndTag;
      return;
    }
    open_.pop_back();
    pos_ = *end;
  }

  std::string_view ReadName() {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && !IsWhite(text_[pos_]) && text_[pos_] != '/' && text_[pos_] != '>' &&
           text_[pos_] != '=') {
      ++pos_;
    }
    return text_.substr(start, pos_ - start);
  }

  void SkipWhite() {
    while (pos_ < text_.size() && IsWhite(text_[pos_])) ++pos_;
  }

  std::optional<Attribute> ReadAttribute() {
    Attribute attribute{std::string(ReadName()), {}};
    SkipWhite();
    if (attribute.name.empty() || pos_ >= text_.size() || text_[pos_] != '=') {
      status_ = kMalformedElement;
      return std::nullopt;
    }
    ++pos_;
    SkipWhite();
    if (pos_ >= text_.size() || (text_[pos_] != '"' && text_[pos_] != '\'')) {
      status_ = kMalformedElement;
      return std::nullopt;
    }
    const char quote = text_[pos_];
    const std::size_t end = text_.find(quote, pos_ + 1);
    if (end == std::string_view::npos) {
      status_ = kAttributeUnterminated;
      return std::nullopt;
    }
    attribute.value = Unescape(text_.substr(pos_ + 1, end - pos_ - 1));
    pos_ = end + 1;
    return attribute;
  }

  void ReadStartTag() {
    ++pos_;
    const std::string name(ReadName());
    if (name.empty()) {
      status_ = kMalformedElement;
      return;
    }
    std::vector<Attribute> attributes;
    bool selfClosing = false;
    for (;;) {
      SkipWhite();
      if (pos_ >= text_.size()) {
        status_ = kMalformedElement;
        return;
      }
      if (text_[pos_] == '>') {
        ++pos_;
        break;
      }
      if (text_[pos_] == '/') {
        if (pos_ + 1 >= text_.size() || text_[pos_ + 1] != '>') {
          status_ = kMalformedElement;
          return;
        }
        pos_ += 2;
        selfClosing = true;
        break;
      }
      std::optional<Attribute> attribute = ReadAttribute();
      if (!attribute) return;
      attributes.push_back(std::move(*attribute));
    }
    if (!CanAddNode()) return;
    if (!selfClosing && open_.size() > kMaxXmlDepth) {
      status_ = kOutOfMemory;
      return;
    }
    Object* element = NewNode(vm_, nodeProto_, kElementNode, name);
    SetAttributes(element, attributes);
    InsertChild(open_.back(), NodeOf(open_.back())->children.size(), element);
    if (!selfClosing) open_.push_back(element);
  }

  // The attributes are defined last first, so that listing them (newest
  // first) gives the order of the text.
  void SetAttributes(Object* element, const std::vector<Attribute>& attributes) {
    Object* holder = NodeOf(element)->attributes;
    for (auto it = attributes.rbegin(); it != attributes.rend(); ++it) {
      vm_.SetMember(holder, it->name, it->value);
      if (idMap_ && it->name == "id") vm_.SetMember(idMap_, it->value, Value{element});
    }
  }

  Vm& vm_;
  Object* document_;
  Object* nodeProto_;
  Object* idMap_ = nullptr;
  std::string_view text_;
  std::size_t pos_ = 0;
  std::size_t nodes_ = 0;
  bool ignoreWhite_ = false;
  double status_ = kStatusOk;
  std::vector<Object*> open_;
};

// ---- Writing

void Serialize(Vm& vm, Object* object, std::string& out, std::size_t depth) {
  const XmlNode* node = NodeOf(object);
  if (!node || depth > kMaxXmlDepth || out.size() > kMaxStringBytes) return;
  if (node->type == kTextNode) {
    out += Escape(node->value.value_or(""));
    return;
  }
  if (node->name) {
    out += '<';
    out += *node->name;
    if (node->attributes) {
      for (const std::string& attribute : vm.EnumerableNames(node->attributes)) {
        out += ' ';
        out += attribute;
        out += "=\"";
        out += Escape(vm.ToStr(vm.GetMember(node->attributes, attribute)));
        out += '"';
      }
    }
    if (node->children.empty()) {
      out += " />";
      return;
    }
    out += '>';
  }
  for (Object* child : node->children) Serialize(vm, child, out, depth + 1);
  if (node->name) {
    out += "</";
    out += *node->name;
    out += '>';
  }
}

Value NodeToString(Vm& vm, Object* self) {
  if (!NodeOf(self)) return std::string();
  std::string out;
  // A document starts with the declarations its text had.
  if (!NodeOf(self)->name && NodeOf(self)->type == kElementNode) {
    for (const char* declaration : {"xmlDecl", "docTypeDecl"}) {
      const Value text = vm.GetMember(self, declaration);
      if (!std::holds_alternative<Undefined>(text) && !std::holds_alternative<Null>(text)) out += vm.ToStr(text);
    }
  }
  Serialize(vm, self, out, 0);
  if (out.size() > kMaxStringBytes) out.resize(kMaxStringBytes);
  return out;
}

Object* Clone(Vm& vm, Object* original, bool deep, std::size_t depth) {
  const XmlNode* node = NodeOf(original);
  if (!node) return nullptr;
  Object* copy = vm.NewObject(ObjectKind::Plain, original->proto);
  XmlNode& made = MakeNode(vm, copy, node->type);
  made.name = node->name ? Kept(vm, *node->name) : std::nullopt;
  made.value = node->value ? Kept(vm, *node->value) : std::nullopt;
  if (node->attributes) {
    const std::vector<std::string> names = vm.EnumerableNames(node->attributes);
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
      vm.SetMember(made.attributes, *it, vm.GetMember(node->attributes, *it));
    }
  }
  if (deep && depth < kMaxXmlDepth) {
    for (Object* child : node->children) {
      if (Object* childCopy = Clone(vm, child, true, depth + 1)) InsertChild(copy, made.children.size(), childCopy);
    }
  }
  return copy;
}

// ---- Namespaces

// The prefix an attribute declares a namespace for ("" for the default
// one), or nothing when it declares none.
std::optional<std::string_view> DeclaredPrefix(std::string_view attribute) {
  if (!attribute.starts_with("xmlns")) return std::nullopt;
  if (attribute.size() > 5 && attribute[5] == ':') return attribute.substr(6);
  return std::string_view();
}

std::string_view PrefixOf(std::string_view name) {
  const std::size_t colon = name.find(':');
  return colon == std::string_view::npos ? std::string_view() : name.substr(0, colon);
}

std::string_view LocalNameOf(std::string_view name) {
  const std::size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// Walks from `object` up to the document for the first declaration that
// `matches` (prefix, uri); gives what `pick` takes from it, or null.
template <typename Matches, typename Pick>
Value FindDeclaration(Vm& vm, Object* object, Matches matches, Pick pick) {
  std::size_t hops = 0;
  for (Object* at = object; at && hops < kMaxAncestorWalk; at = NodeOf(at)->parent, ++hops) {
    const XmlNode* node = NodeOf(at);
    if (!node->attributes) continue;
    for (const std::string& attribute : vm.EnumerableNames(node->attributes)) {
      const std::optional<std::string_view> prefix = DeclaredPrefix(attribute);
      if (!prefix) continue;
      const std::string uri = vm.ToStr(vm.GetMember(node->attributes, attribute));
      if (matches(*prefix, uri)) return pick(std::string(*prefix), uri);
    }
  }
  return Null{};
}

Value NamespaceForPrefix(Vm& vm, Object* self, const std::string& wanted) {
  return FindDeclaration(
      vm, self, [&](std::string_view prefix, const std::string&) { return prefix == wanted; },
      [](const std::string&, const std::string& uri) -> Value { return uri; });
}

Value PrefixForNamespace(Vm& vm, Object* self, const std::string& wanted) {
  return FindDeclaration(
      vm, self, [&](std::string_view, const std::string& uri) { return uri == wanted; },
      [](const std::string& prefix, const std::string&) -> Value { return prefix; });
}

// ---- Properties

using Reader = Value (*)(Vm&, Object*, XmlNode&);
using Writer = void (*)(Vm&, Object*, XmlNode&, const Value&);

Object* Sibling(Object* self, XmlNode& node, std::ptrdiff_t step) {
  const XmlNode* parent = NodeOf(node.parent);
  if (!parent) return nullptr;
  const auto at = std::find(parent->children.begin(), parent->children.end(), self);
  if (at == parent->children.end()) return nullptr;
  const std::ptrdiff_t index = (at - parent->children.begin()) + step;
  if (index < 0 || index >= static_cast<std::ptrdiff_t>(parent->children.size())) return nullptr;
  return parent->children[static_cast<std::size_t>(index)];
}

Value ChildNodes(Vm& vm, Object*, XmlNode& node) {
  if (!node.childList) {
    node.childList = vm.NewArray();
    RefreshChildList(node);
  }
  return node.childList;
}

Value NamePart(XmlNode& node, bool prefix) {
  if (node.type != kElementNode || !node.name) return Null{};
  return std::string(prefix ? PrefixOf(*node.name) : LocalNameOf(*node.name));
}

struct NodeMember {
  const char* name;
  Reader read;
  Writer write;
};

const NodeMember kNodeMembers[] = {
    {"nodeType", [](Vm&, Object*, XmlNode& n) -> Value { return static_cast<double>(n.type); }, nullptr},
    {"nodeName", [](Vm&, Object*, XmlNode& n) -> Value { return OrNull(n.name); },
     [](Vm& vm, Object*, XmlNode& n, const Value& v) {
       if (n.type == kElementNode) n.name = TextOrNull(vm, v, n.name);
     }},
    {"nodeValue", [](Vm&, Object*, XmlNode& n) -> Value { return OrNull(n.value); },
     [](Vm& vm, Object*, XmlNode& n, const Value& v) {
       if (n.type == kTextNode) n.value = TextOrNull(vm, v, n.value);
     }},
    {"firstChild",
     [](Vm&, Object*, XmlNode& n) -> Value { return OrNull(n.children.empty() ? nullptr : n.children.front()); },
     nullptr},
    {"lastChild",
     [](Vm&, Object*, XmlNode& n) -> Value { return OrNull(n.children.empty() ? nullptr : n.children.back()); },
     nullptr},
    {"previousSibling", [](Vm&, Object* self, XmlNode& n) -> Value { return OrNull(Sibling(self, n, -1)); }, nullptr},
    {"nextSibling", [](Vm&, Object* self, XmlNode& n) -> Value { return OrNull(Sibling(self, n, 1)); }, nullptr},
    {"parentNode", [](Vm&, Object*, XmlNode& n) -> Value { return OrNull(n.parent); }, nullptr},
    {"childNodes", ChildNodes, nullptr},
    {"attributes", [](Vm&, Object*, XmlNode& n) -> Value { return OrNull(n.attributes); },
     [](Vm&, Object*, XmlNode& n, const Value& v) {
       if (Object* object = AsObject(v)) n.attributes = object;
     }},
    {"prefix", [](Vm&, Object*, XmlNode& n) -> Value { return NamePart(n, true); }, nullptr},
    {"localName", [](Vm&, Object*, XmlNode& n) -> Value { return NamePart(n, false); }, nullptr},
    {"namespaceURI",
     [](Vm& vm, Object* self, XmlNode& n) -> Value {
       if (n.type != kElementNode || !n.name) return Null{};
       return NamespaceForPrefix(vm, self, std::string(PrefixOf(*n.name)));
     },
     nullptr},
};

void DefineNodeMembers(Vm& vm, Object* proto) {
  for (const NodeMember& member : kNodeMembers) {
    Property property;
    property.name = member.name;
    property.flags = kDontEnum;
    const Reader read = member.read;
    property.getter = vm.NewNative([read](Vm& v, Object* self, std::span<const Value>) -> Value {
      XmlNode* node = NodeOf(self);
      return node ? read(v, self, *node) : Value{Undefined{}};
    });
    if (const Writer write = member.write) {
      property.setter = vm.NewNative([write](Vm& v, Object* self, std::span<const Value> args) -> Value {
        if (XmlNode* node = NodeOf(self)) write(v, self, *node, Arg(args, 0));
        return Undefined{};
      });
    }
    proto->properties.insert_or_assign(vm.Key(member.name), std::move(property));
  }
}

void DefineNodeMethods(Vm& vm, Object* proto) {
  vm.DefineMethod(proto, "appendChild", [](Vm&, Object* self, std::span<const Value> args) -> Value {
    if (XmlNode* node = NodeOf(self)) InsertChild(self, node->children.size(), AsObject(Arg(args, 0)));
    return Undefined{};
  });
  vm.DefineMethod(proto, "insertBefore", [](Vm&, Object* self, std::span<const Value> args) -> Value {
    XmlNode* node = NodeOf(self);
    Object* before = AsObject(Arg(args, 1));
    if (!node || !before) return Undefined{};
    const auto at = std::find(node->children.begin(), node->children.end(), before);
    if (at == node->children.end()) return Undefined{};
    Object* child = AsObject(Arg(args, 0));
    if (child == before) return Undefined{};
    // Taking the child out first may move the place it goes to.
    Detach(child);
    const auto place = std::find(node->children.begin(), node->children.end(), before);
    InsertChild(self, static_cast<std::size_t>(place - node->children.begin()), child);
    return Undefined{};
  });
  vm.DefineMethod(proto, "removeNode", [](Vm&, Object* self, std::span<const Value>) -> Value {
    Detach(self);
    return Undefined{};
  });
  vm.DefineMethod(proto, "cloneNode", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    return OrNull(Clone(v, self, v.ToBool(Arg(args, 0)), 0));
  });
  vm.DefineMethod(proto, "hasChildNodes", [](Vm&, Object* self, std::span<const Value>) -> Value {
    const XmlNode* node = NodeOf(self);
    return node && !node->children.empty();
  });
  vm.DefineMethod(proto, "toString",
                  [](Vm& v, Object* self, std::span<const Value>) -> Value { return NodeToString(v, self); });
  vm.DefineMethod(proto, "getNamespaceForPrefix", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!NodeOf(self) || args.empty()) return Null{};
    return NamespaceForPrefix(v, self, v.ToStr(args[0]));
  });
  vm.DefineMethod(proto, "getPrefixForNamespace", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!NodeOf(self) || args.empty()) return Null{};
    return PrefixForNamespace(v, self, v.ToStr(args[0]));
  });
}

// Replaces the document's children by what `text` holds.
void ParseInto(Vm& vm, Object* document, Object* nodeProto, const std::string& text) {
  XmlNode* node = NodeOf(document);
  if (!node) return;
  for (Object* child : std::vector<Object*>(node->children)) Detach(child);
  XmlParser parser(vm, document, nodeProto, text);
  const double status = parser.Run();
  vm.SetMember(document, "status", status);
  if (parser.xmlDecl) vm.SetMember(document, "xmlDecl", *parser.xmlDecl);
  if (parser.docTypeDecl) vm.SetMember(document, "docTypeDecl", *parser.docTypeDecl);
}

Object* DefineConstructor(Vm& vm, std::string_view name, Object* proto, NativeFunction construct) {
  Object* constructor = vm.NewNative(std::move(construct), true);
  vm.Define(constructor, "prototype", Value{proto}, kDontEnum | kDontDelete);
  vm.Define(proto, "constructor", Value{constructor}, kDontEnum);
  vm.Define(vm.Global(), name, Value{constructor});
  return constructor;
}

void DefineDocumentMethods(Vm& vm, Object* proto, Object* nodeProto) {
  vm.DefineMethod(proto, "createElement", [nodeProto](Vm& v, Object*, std::span<const Value> args) -> Value {
    return NewNode(v, nodeProto, kElementNode, v.ToStr(Arg(args, 0)));
  });
  vm.DefineMethod(proto, "createTextNode", [nodeProto](Vm& v, Object*, std::span<const Value> args) -> Value {
    return NewNode(v, nodeProto, kTextNode, v.ToStr(Arg(args, 0)));
  });
  vm.DefineMethod(proto, "parseXML", [nodeProto](Vm& v, Object* self, std::span<const Value> args) -> Value {
    ParseInto(v, self, nodeProto, v.ToStr(Arg(args, 0)));
    return Undefined{};
  });
  // A load reads a local file through the host and reports, on a later
  // tick, onHTTPStatus and then onData (undefined when nothing could be read).
  vm.DefineMethod(proto, "load", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!self || args.empty()) return false;
    QueueLoad(v, self, v.ToStr(args[0]));
    return true;
  });
  // What is sent never leaves the machine; the answer goes to the target.
  vm.DefineMethod(proto, "sendAndLoad", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    auto* const* target = args.size() > 1 ? std::get_if<Object*>(&args[1]) : nullptr;
    if (!self || !target || !*target) return false;
    QueueLoad(v, *target, v.ToStr(args[0]));
    return true;
  });
  // send shows the answer in a browser window: a saver opens none.
  vm.DefineMethod(proto, "send", [](Vm&, Object* self, std::span<const Value> args) -> Value {
    return self && !args.empty();
  });
  vm.DefineMethod(proto, "addRequestHeader", [](Vm&, Object*, std::span<const Value>) -> Value { return Undefined{}; });
  vm.DefineMethod(proto, "getBytesLoaded", [](Vm& v, Object* self, std::span<const Value>) -> Value {
    return self ? v.GetMember(self, "_bytesLoaded") : Value{Undefined{}};
  });
  vm.DefineMethod(proto, "getBytesTotal", [](Vm& v, Object* self, std::span<const Value>) -> Value {
    return self ? v.GetMember(self, "_bytesTotal") : Value{Undefined{}};
  });
  // onData hands the loaded text to parseXML and then onLoad, as the
  // platform's own handler does; a movie may replace it.
  vm.DefineMethod(proto, "onData", [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!self) return Undefined{};
    const Value source = Arg(args, 0);
    const bool loaded = !std::holds_alternative<Undefined>(source);
    if (loaded) {
      const Value parse = v.GetMember(self, "parseXML");
      (void)v.Call(parse, Value{self}, std::span<const Value>(&source, 1));
    }
    v.SetMember(self, "loaded", loaded);
    const Value flag{loaded};
    (void)v.Call(v.GetMember(self, "onLoad"), Value{self}, std::span<const Value>(&flag, 1));
    return Undefined{};
  });
  vm.DefineMethod(proto, "onLoad", [](Vm&, Object*, std::span<const Value>) -> Value { return Undefined{}; });
  vm.Define(proto, "contentType", std::string("application/x-www-form-urlencoded"), kDontEnum);
  vm.Define(proto, "ignoreWhite", false, kDontEnum);
}

}  // namespace

void InstallXmlClasses(Vm& vm) {
  Object* nodeProto = vm.NewPlain();
  DefineNodeMembers(vm, nodeProto);
  DefineNodeMethods(vm, nodeProto);
  (void)DefineConstructor(vm, "XMLNode", nodeProto, [](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!self || NodeOf(self)) return Undefined{};
    const int type = ToInt32(v.ToNum(Arg(args, 0))) == kTextNode ? kTextNode : kElementNode;
    XmlNode& node = MakeNode(v, self, type);
    if (type == kTextNode) {
      node.value = Kept(v, v.ToStr(Arg(args, 1)));
    } else {
      node.name = Kept(v, v.ToStr(Arg(args, 1)));
    }
    return Undefined{};
  });

  Object* proto = vm.NewObject(ObjectKind::Plain, nodeProto);
  DefineDocumentMethods(vm, proto, nodeProto);
  (void)DefineConstructor(vm, "XML", proto, [nodeProto](Vm& v, Object* self, std::span<const Value> args) -> Value {
    if (!self) return Undefined{};
    if (!NodeOf(self)) MakeNode(v, self, kElementNode);
    v.SetMember(self, "idMap", Value{v.NewPlain()});
    const Value source = Arg(args, 0);
    if (!std::holds_alternative<Undefined>(source) && !std::holds_alternative<Null>(source)) {
      ParseInto(v, self, nodeProto, v.ToStr(source));
    }
    return Undefined{};
  });
}

}  // namespace swf
