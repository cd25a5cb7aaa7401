// The platform's network and file classes as a screen saver meets them: it
// plays offline and shows no dialogs. Loads of local files (relative to the
// movie, file: URLs) are read through the host; every other request fails
// the way the platform reports a request that found no server, with the
// same events in the same order, always on a later tick, never inside the
// call that asked. A file dialog (FileReference.browse, download) is
// answered as the person would answer it by closing it: cancelled.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "deferred_globals.h"
#include "geom.h"
#include "local_requests.h"
#include "native_class.h"
#include "net.h"

namespace swf {
namespace {

using Args = std::span<const Value>;

Object* ObjectOf(const Value& value) { return AsObjectValue(value); }

bool IsMissing(const Value& value) {
  return std::holds_alternative<Undefined>(value) || std::holds_alternative<Null>(value);
}

// getBytesLoaded and getBytesTotal of the loading classes: what the last
// load stored on the object.
void DefineByteCounts(Vm& vm, Object* proto) {
  vm.DefineMethod(proto, "getBytesLoaded", [](Vm& v, Object* self, Args) -> Value {
    return self ? v.GetMember(self, "_bytesLoaded") : Value{Undefined{}};
  });
  vm.DefineMethod(proto, "getBytesTotal", [](Vm& v, Object* self, Args) -> Value {
    return self ? v.GetMember(self, "_bytesTotal") : Value{Undefined{}};
  });
}

Value CallMethod(Vm& vm, Object* self, std::string_view name, Args args) {
  const Value method = vm.GetMember(self, name);
  if (!ObjectOf(method)) return Undefined{};
  return vm.Call(method, Value{self}, args);
}

// Gives the prototype AsBroadcaster's methods; each object keeps its own
// _listeners (made by its constructor).
void GiveBroadcasterMethods(Vm& vm, Object* proto) {
  Object* broadcaster = ObjectOf(vm.GetMember(vm.Global(), "AsBroadcaster"));
  if (!broadcaster) return;
  for (const char* name : {"broadcastMessage", "addListener", "removeListener"}) {
    vm.Define(proto, name, vm.GetMember(broadcaster, name), kDontEnum);
  }
}

// What a queued load does when its tick comes.
Value DeliverLoad(Vm& vm, Object* self, Args args) {
  if (!self) return Undefined{};
  const std::string url = vm.ToStr(Arg(args, 0));
  std::optional<std::string> text;
  if (vm.urlReader) text = vm.urlReader(url);
  if (text && text->size() > kMaxLoadedBytes) text.reset();
  const Value status{0.0};
  (void)CallMethod(vm, self, "onHTTPStatus", std::span<const Value>(&status, 1));
  if (text) {
    const double bytes = static_cast<double>(text->size());
    vm.Define(self, "_bytesLoaded", bytes);
    vm.Define(self, "_bytesTotal", bytes);
    // Files saved by editors may start with a byte order mark.
    if (text->starts_with("\xEF\xBB\xBF")) text->erase(0, 3);
    const Value data{std::move(*text)};
    (void)CallMethod(vm, self, "onData", std::span<const Value>(&data, 1));
  } else {
    const Value data{Undefined{}};
    (void)CallMethod(vm, self, "onData", std::span<const Value>(&data, 1));
  }
  return Undefined{};
}

// loadVariables: the clip's variables come from the file, then its onData runs.
Value DeliverVariables(Vm& vm, Object* self, Args args) {
  if (!self) return Undefined{};
  std::optional<std::string> text;
  if (vm.urlReader) text = vm.urlReader(vm.ToStr(Arg(args, 0)));
  if (!text || text->size() > kMaxLoadedBytes) return Undefined{};
  Object* clip = vm.Host().LiveClip(self);
  if (!clip) return Undefined{};
  for (auto& [name, value] : DecodeUrlVariables(*text)) vm.SetMember(clip, name, Value{std::move(value)});
  (void)CallMethod(vm, clip, "onData", {});
  return Undefined{};
}

Value DeliverMethodCall(Vm& vm, Object* self, Args args) {
  if (!self || args.empty()) return Undefined{};
  const std::string name = vm.ToStr(args[0]);
  return CallMethod(vm, self, name, args.subspan(1));
}

Value DeliverBroadcast(Vm& vm, Object* self, Args args) {
  if (!self || args.empty()) return Undefined{};
  return CallMethod(vm, self, "broadcastMessage", args);
}

// The natives the queue calls are made once, with the built-ins, and kept on
// the globals under names a movie does not list (DontEnum, with a control
// character no identifier has).
constexpr std::string_view kLoadDelivery = "\x01load";
constexpr std::string_view kMethodDelivery = "\x01method";
constexpr std::string_view kBroadcastDelivery = "\x01broadcast";
constexpr std::string_view kMessageDelivery = "\x01message";
constexpr std::string_view kVariablesDelivery = "\x01variables";

Value Delivery(Vm& vm, std::string_view name) {
  Property* held = vm.FindOwnAny(vm.Global(), name);
  return held ? held->value : Value{Undefined{}};
}

void QueueBroadcast(Vm& vm, Object* self, std::string event, std::vector<Value> extra) {
  std::vector<Value> args{Value{std::move(event)}};
  for (Value& value : extra) args.push_back(std::move(value));
  vm.deferred.push_back(Vm::Deferred{Delivery(vm, kBroadcastDelivery), Value{self}, std::move(args)});
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string DecodeComponent(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      out.push_back(' ');
    } else if (c == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
      i += 2;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

// ---------------------------------------------------------------------------
// LoadVars

void DecodeInto(Vm& vm, Object* self, std::string_view text) {
  for (auto& [name, value] : DecodeUrlVariables(text)) vm.SetMember(self, name, Value{std::move(value)});
}

void InstallLoadVars(Vm& vm) {
  Object* proto =
      DefineNativeClass(vm, vm.Global(), "LoadVars", [](Vm&, Object*, Args) -> Value { return Undefined{}; }).prototype;
  vm.Define(proto, "contentType", std::string("application/x-www-form-urlencoded"), kDontEnum);
  vm.DefineMethod(proto, "load", [](Vm& v, Object* self, Args args) -> Value {
    if (!self || args.empty()) return false;
    QueueLoad(v, self, v.ToStr(args[0]));
    return true;
  });
  // The answer of a sendAndLoad goes to its target; what is sent never
  // leaves the machine.
  vm.DefineMethod(proto, "sendAndLoad", [](Vm& v, Object* self, Args args) -> Value {
    Object* target = ObjectOf(Arg(args, 1));
    if (!self || args.size() < 2 || !target) return false;
    QueueLoad(v, target, v.ToStr(args[0]));
    return true;
  });
  // send opens the answer in a browser window: a saver opens none.
  vm.DefineMethod(proto, "send", [](Vm&, Object* self, Args args) -> Value { return self && !args.empty(); });
  vm.DefineMethod(proto, "decode", [](Vm& v, Object* self, Args args) -> Value {
    if (self && !args.empty()) DecodeInto(v, self, v.ToStr(args[0]));
    return Undefined{};
  });
  vm.DefineMethod(proto, "toString", [](Vm& v, Object* self, Args) -> Value {
    if (!self) return std::string();
    std::string out;
    for (const std::string& name : v.EnumerableNames(self)) {
      const Value value = v.GetMember(self, name);
      if (ObjectOf(value) && ObjectOf(value)->kind == ObjectKind::Function) continue;
      if (!out.empty()) out += '&';
      out += EncodeUrlComponent(name) + "=" + EncodeUrlComponent(v.ToStr(value));
    }
    return out;
  });
  vm.DefineMethod(proto, "addRequestHeader", [](Vm&, Object*, Args) -> Value { return Undefined{}; });
  DefineByteCounts(vm, proto);
  // The platform's own onData: undefined is a failed load, a text is
  // decoded (through `decode`, which a movie may replace) into the members.
  vm.DefineMethod(proto, "onData", [](Vm& v, Object* self, Args args) -> Value {
    if (!self) return Undefined{};
    const Value source = Arg(args, 0);
    const bool loaded = !std::holds_alternative<Undefined>(source);
    if (loaded) {
      (void)CallMethod(v, self, "decode", std::span<const Value>(&source, 1));
      v.SetMember(self, "loaded", true);
    }
    const Value flag{loaded};
    (void)CallMethod(v, self, "onLoad", std::span<const Value>(&flag, 1));
    return Undefined{};
  });
  vm.DefineMethod(proto, "onLoad", [](Vm&, Object*, Args) -> Value { return Undefined{}; });
}

// ---------------------------------------------------------------------------
// XMLSocket: no server answers; connect reports onConnect(false).

bool ValidSocketPort(double port) { return std::isfinite(port) && port >= 1024 && port <= 65535; }

void InstallXmlSocket(Vm& vm) {
  Object* proto = DefineNativeClass(vm, vm.Global(), "XMLSocket", [](Vm&, Object*, Args) -> Value {
                    return Undefined{};
                  }).prototype;
  vm.DefineMethod(proto, "connect", [](Vm& v, Object* self, Args args) -> Value {
    if (!self || args.size() < 2 || !ValidSocketPort(v.ToNum(args[1]))) return false;
    QueueMethodCall(v, self, "onConnect", {Value{false}});
    return true;
  });
  vm.DefineMethod(proto, "send", [](Vm&, Object*, Args) -> Value { return Undefined{}; });
  vm.DefineMethod(proto, "close", [](Vm&, Object*, Args) -> Value { return Undefined{}; });
  // What arrives is read as XML and handed to onXML, as the platform's own
  // onData does.
  vm.DefineMethod(proto, "onData", [](Vm& v, Object* self, Args args) -> Value {
    if (!self) return Undefined{};
    const Value source = Arg(args, 0);
    const Value document = v.Construct(v.GetMember(v.Global(), "XML"), std::span<const Value>(&source, 1));
    (void)CallMethod(v, self, "onXML", std::span<const Value>(&document, 1));
    return Undefined{};
  });
}

// ---------------------------------------------------------------------------
// NetConnection: connect(null) is the local connection for streams; a
// remoting or streaming server is never reached.

Object* StatusInfo(Vm& vm, std::string_view level, std::string_view code) {
  Object* info = vm.NewPlain();
  vm.SetMember(info, "level", Value{std::string(level)});
  vm.SetMember(info, "code", Value{std::string(code)});
  return info;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

void InstallNetConnection(Vm& vm) {
  Object* proto = DefineNativeClass(vm, vm.Global(), "NetConnection", [](Vm&, Object*, Args) -> Value {
                    return Undefined{};
                  }).prototype;
  vm.DefineMethod(proto, "connect", [](Vm& v, Object* self, Args args) -> Value {
    if (!self || args.empty()) return false;
    // A connection already open is closed first, and says so at once.
    if (v.ToBool(v.GetMember(self, "isConnected"))) {
      v.SetMember(self, "isConnected", false);
      const Value info{StatusInfo(v, "status", "NetConnection.Connect.Closed")};
      (void)CallMethod(v, self, "onStatus", std::span<const Value>(&info, 1));
    }
    const Value target = args[0];
    if (IsMissing(target)) {
      v.SetMember(self, "uri", Value{std::string("null")});
      v.SetMember(self, "isConnected", true);
      return true;
    }
    const std::string url = v.ToStr(target);
    v.SetMember(self, "uri", Value{url});
    if (StartsWithIgnoringCase(url, "rtmp")) {
      QueueMethodCall(v, self, "onStatus", {Value{StatusInfo(v, "error", "NetConnection.Connect.Failed")}});
      return true;
    }
    // A remoting gateway (http:) is only remembered: calls go to it.
    v.SetMember(self, "isConnected", false);
    return true;
  });
  vm.DefineMethod(proto, "close", [](Vm& v, Object* self, Args) -> Value {
    if (!self) return Undefined{};
    if (v.ToBool(v.GetMember(self, "isConnected"))) {
      v.SetMember(self, "isConnected", false);
      const Value info{StatusInfo(v, "status", "NetConnection.Connect.Closed")};
      (void)CallMethod(v, self, "onStatus", std::span<const Value>(&info, 1));
    }
    return Undefined{};
  });
  // A call to the gateway fails as a call that found no server: the
  // responder's onStatus, else the connection's.
  vm.DefineMethod(proto, "call", [](Vm& v, Object* self, Args args) -> Value {
    if (!self || args.empty()) return Undefined{};
    const std::string uri = v.ToStr(v.GetMember(self, "uri"));
    if (!StartsWithIgnoringCase(uri, "http")) return Undefined{};
    Object* info = StatusInfo(v, "error", "NetConnection.Call.Failed");
    v.SetMember(info, "description", Value{std::string("HTTP: Failed")});
    v.SetMember(info, "details", Value{uri});
    Object* responder = ObjectOf(Arg(args, 1));
    if (responder && ObjectOf(v.GetMember(responder, "onStatus"))) {
      QueueMethodCall(v, responder, "onStatus", {Value{info}});
    } else {
      QueueMethodCall(v, self, "onStatus", {Value{info}});
    }
    return Undefined{};
  });
  vm.DefineMethod(proto, "addHeader", [](Vm&, Object*, Args) -> Value { return Undefined{}; });
}

// ---------------------------------------------------------------------------
// LocalConnection: connections within this movie hear each other; what is
// sent arrives on the next tick as a copy, made as the platform's message
// format would carry it (functions become plain objects, display objects
// undefined, dates and XML documents keep what they hold).

Value CopyForMessage(Vm& vm, const Value& value, int depth) {
  Object* object = ObjectOf(value);
  if (!object) return value;
  if (depth > 32) return Undefined{};
  switch (object->kind) {
    case ObjectKind::Clip: return Undefined{};
    case ObjectKind::String:
    case ObjectKind::Number:
    case ObjectKind::Boolean: return object->primitive;
    case ObjectKind::Date: {
      const Value time = object->primitive;
      return vm.Construct(vm.GetMember(vm.Global(), "Date"), std::span<const Value>(&time, 1));
    }
    case ObjectKind::Array: {
      std::vector<Value> elements;
      for (const Value& element : object->elements) elements.push_back(CopyForMessage(vm, element, depth + 1));
      return Value{vm.NewArray(std::move(elements))};
    }
    default: break;
  }
  Object* xmlClass = ObjectOf(vm.GetMember(vm.Global(), "XML"));
  if (xmlClass && object->kind == ObjectKind::Plain && vm.InstanceOf(value, xmlClass)) {
    const Value text{vm.ToStr(value)};
    return vm.Construct(Value{xmlClass}, std::span<const Value>(&text, 1));
  }
  Object* copy = vm.NewPlain();
  for (const std::string& name : vm.EnumerableNames(object)) {
    vm.SetMember(copy, name, CopyForMessage(vm, vm.GetMember(object, name), depth + 1));
  }
  return Value{copy};
}

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The connections of this movie by name, on an array kept where scripts
// cannot reach it: the constructor's own hidden member.
Object* ConnectionTable(Vm& vm) {
  Object* constructor = ObjectOf(vm.GetMember(vm.Global(), "LocalConnection"));
  if (!constructor) return nullptr;
  Property* held = vm.FindOwnAny(constructor, "\x01connections");
  if (!held) {
    vm.Define(constructor, "\x01connections", Value{vm.NewPlain()}, kDontEnum | kDontDelete);
    held = vm.FindOwnAny(constructor, "\x01connections");
  }
  return held ? ObjectOf(held->value) : nullptr;
}

// Delivers a message: the receiver's method runs (with `this` the receiver,
// or its client), then the sender's onStatus hears whether it arrived.
Value DeliverMessage(Vm& vm, Object* self, Args args) {
  if (!self || args.size() < 2) return Undefined{};
  Object* table = ConnectionTable(vm);
  Object* receiver = table ? ObjectOf(vm.GetMember(table, vm.ToStr(args[0]))) : nullptr;
  bool arrived = false;
  if (receiver) {
    const Value client = vm.GetMember(receiver, "client");
    Object* handler = ObjectOf(client) ? ObjectOf(client) : receiver;
    const Value method = vm.GetMember(handler, vm.ToStr(args[1]));
    if (ObjectOf(method)) {
      arrived = true;
      (void)vm.Call(method, Value{handler}, args.subspan(2));
    }
  }
  Object* info = vm.NewPlain();
  vm.SetMember(info, "level", Value{std::string(arrived ? "status" : "error")});
  const Value status{info};
  (void)CallMethod(vm, self, "onStatus", std::span<const Value>(&status, 1));
  return Undefined{};
}

void InstallLocalConnection(Vm& vm) {
  Object* proto = DefineNativeClass(vm, vm.Global(), "LocalConnection", [](Vm&, Object*, Args) -> Value {
                    return Undefined{};
                  }).prototype;
  vm.DefineMethod(proto, "domain", [](Vm&, Object*, Args) -> Value { return std::string("localhost"); });
  vm.DefineMethod(proto, "connect", [](Vm& v, Object* self, Args args) -> Value {
    if (!self || args.empty() || !std::holds_alternative<SharedText>(args[0])) return false;
    const std::string name = LowerAscii(std::get<SharedText>(args[0]).str());
    if (name.empty() || name.find(':') != std::string::npos) return false;
    Object* table = ConnectionTable(v);
    if (!table || ObjectOf(v.GetMember(table, name))) return false;
    if (Property* own = v.FindOwnAny(self, "\x01name"); own && std::holds_alternative<SharedText>(own->value)) {
      return false;  // one name a connection
    }
    v.SetMember(table, name, Value{self});
    v.Define(self, "\x01name", Value{name}, kDontEnum);
    return true;
  });
  vm.DefineMethod(proto, "close", [](Vm& v, Object* self, Args) -> Value {
    if (!self) return Undefined{};
    Property* own = v.FindOwnAny(self, "\x01name");
    if (own && std::holds_alternative<SharedText>(own->value)) {
      if (Object* table = ConnectionTable(v)) (void)v.DeleteMember(table, std::get<SharedText>(own->value));
      own->value = Undefined{};
    }
    return Undefined{};
  });
  vm.DefineMethod(proto, "send", [](Vm& v, Object* self, Args args) -> Value {
    if (!self || args.size() < 2) return false;
    const std::string name = LowerAscii(v.ToStr(args[0]));
    const std::string method = v.ToStr(args[1]);
    if (name.empty() || method.empty()) return false;
    // Methods of the platform's own cannot be called this way.
    for (const char* reserved : {"send", "connect", "close", "allowDomain", "allowInsecureDomain", "domain"}) {
      if (method == reserved) return false;
    }
    std::vector<Value> message{Value{name}, Value{method}};
    for (const Value& arg : args.subspan(2)) message.push_back(CopyForMessage(v, arg, 0));
    v.deferred.push_back(Vm::Deferred{Delivery(v, kMessageDelivery), Value{self}, std::move(message)});
    return true;
  });
}

// ---------------------------------------------------------------------------
// FileReference and FileReferenceList: a saver shows no file dialog, so
// each browse or download is answered as a dialog closed unanswered.

// A type list of browse: an array of filters, each with a non-empty
// description and extension. None given is fine.
bool ValidTypeList(Vm& vm, const Value& list) {
  if (std::holds_alternative<Undefined>(list)) return true;
  Object* array = ObjectOf(list);
  if (!array || array->kind != ObjectKind::Array || array->elements.empty()) return false;
  for (const Value& element : array->elements) {
    Object* filter = ObjectOf(element);
    if (!filter) return false;
    for (const char* member : {"description", "extension"}) {
      const Value text = vm.GetMember(filter, member);
      if (IsMissing(text) || vm.ToStr(text).empty()) return false;
    }
  }
  return true;
}

// A download needs an address the platform could fetch: a scheme and a host.
bool DownloadableUrl(std::string_view url) {
  const std::size_t colon = url.find("://");
  if (colon == std::string_view::npos || colon == 0) return false;
  for (std::size_t i = 0; i < colon; ++i) {
    if (!std::isalpha(static_cast<unsigned char>(url[i]))) return false;
  }
  return url.size() > colon + 3;
}

Value MakeListeners(Vm& vm, Object* self, Args) {
  if (self) vm.Define(self, "_listeners", Value{vm.NewArray()}, kDontEnum);
  return Undefined{};
}

void InstallFileReferences(Vm& vm) {
  Object* flash = ObjectOf(vm.GetMember(vm.Global(), "flash"));
  if (!flash) {
    flash = vm.NewPlain();
    vm.Define(vm.Global(), "flash", Value{flash});
  }
  Object* net = ObjectOf(vm.GetMember(flash, "net"));
  if (!net) {
    net = vm.NewPlain();
    vm.SetMember(flash, "net", Value{net});
  }
  Object* single = DefineNativeClass(vm, net, "FileReference", MakeListeners).prototype;
  GiveBroadcasterMethods(vm, single);
  vm.DefineMethod(single, "browse", [](Vm& v, Object* self, Args args) -> Value {
    if (!self || !ValidTypeList(v, Arg(args, 0))) return false;
    QueueBroadcast(v, self, "onCancel", {Value{self}});
    return true;
  });
  vm.DefineMethod(single, "download", [](Vm& v, Object* self, Args args) -> Value {
    if (!self || args.empty() || !DownloadableUrl(v.ToStr(args[0]))) return false;
    QueueBroadcast(v, self, "onCancel", {Value{self}});
    return true;
  });
  // Nothing was chosen, so there is nothing to send.
  vm.DefineMethod(single, "upload", [](Vm&, Object*, Args) -> Value { return false; });
  vm.DefineMethod(single, "cancel", [](Vm&, Object*, Args) -> Value { return Undefined{}; });

  Object* list = DefineNativeClass(vm, net, "FileReferenceList", MakeListeners).prototype;
  GiveBroadcasterMethods(vm, list);
  vm.DefineMethod(list, "browse", [](Vm& v, Object* self, Args args) -> Value {
    if (!self || !ValidTypeList(v, Arg(args, 0))) return false;
    QueueBroadcast(v, self, "onCancel", {Value{self}});
    return true;
  });
}

// ---------------------------------------------------------------------------
// TextField.StyleSheet

// The styles of a sheet: a hidden object of selector -> style object.
Object* StylesOf(Vm& vm, Object* sheet) {
  if (!sheet) return nullptr;
  Property* held = vm.FindOwnAny(sheet, "_css");
  if (!held || !ObjectOf(held->value)) {
    vm.Define(sheet, "_css", Value{vm.NewPlain()}, kDontEnum);
    held = vm.FindOwnAny(sheet, "_css");
  }
  return held ? ObjectOf(held->value) : nullptr;
}

Object* CopyStyle(Vm& vm, Object* style) {
  Object* copy = vm.NewPlain();
  if (!style) return copy;
  std::vector<std::string> names = vm.EnumerableNames(style);
  std::reverse(names.begin(), names.end());
  for (const std::string& name : names) vm.SetMember(copy, name, vm.GetMember(style, name));
  return copy;
}

bool ParseSheet(Vm& vm, Object* self, std::string_view text) {
  const auto parsed = ParseCss(text);
  if (!parsed) return false;
  Object* styles = StylesOf(vm, self);
  if (!styles) return false;
  for (const auto& [selector, properties] : *parsed) {
    Object* style = vm.NewPlain();
    for (const auto& [name, value] : properties) vm.SetMember(style, name, Value{value});
    vm.SetMember(styles, selector, Value{style});
  }
  return true;
}

// The TextFormat a style stands for.
Value TransformStyle(Vm& vm, Object* style) {
  if (!style) return Null{};
  const Value format = vm.Construct(vm.GetMember(vm.Global(), "TextFormat"), {});
  Object* made = ObjectOf(format);
  if (!made) return Null{};
  auto text = [&](std::string_view name) -> std::optional<std::string> {
    const Value value = vm.GetMember(style, name);
    if (IsMissing(value)) return std::nullopt;
    std::string out = vm.ToStr(value);
    while (!out.empty() && std::isspace(static_cast<unsigned char>(out.back()))) out.pop_back();
    return out;
  };
  if (auto color = text("color"); color && color->size() == 7 && (*color)[0] == '#') {
    vm.SetMember(made, "color", static_cast<double>(std::strtol(color->c_str() + 1, nullptr, 16)));
  }
  if (auto family = text("fontFamily")) vm.SetMember(made, "font", Value{*family});
  if (auto size = text("fontSize")) {
    const double points = std::strtod(size->c_str(), nullptr);
    if (points > 0) vm.SetMember(made, "size", points);
  }
  if (auto weight = text("fontWeight")) vm.SetMember(made, "bold", *weight == "bold");
  if (auto style_ = text("fontStyle")) vm.SetMember(made, "italic", *style_ == "italic");
  if (auto decoration = text("textDecoration")) vm.SetMember(made, "underline", *decoration == "underline");
  if (auto align = text("textAlign")) vm.SetMember(made, "align", Value{*align});
  for (const auto& [css, member] : {std::pair<const char*, const char*>{"marginLeft", "leftMargin"},
                                    {"marginRight", "rightMargin"},
                                    {"textIndent", "indent"},
                                    {"letterSpacing", "letterSpacing"}}) {
    if (auto amount = text(css)) vm.SetMember(made, member, std::strtod(amount->c_str(), nullptr));
  }
  if (auto display = text("display")) vm.SetMember(made, "display", Value{*display});
  return format;
}

void InstallStyleSheet(Vm& vm) {
  Object* textField = ObjectOf(vm.GetMember(vm.Global(), "TextField"));
  if (!textField) return;
  Object* proto = DefineNativeClass(vm, textField, "StyleSheet", [](Vm& v, Object* self, Args) -> Value {
                    (void)StylesOf(v, self);
                    return Undefined{};
                  }).prototype;
  vm.DefineMethod(proto, "getStyle", [](Vm& v, Object* self, Args args) -> Value {
    Object* styles = StylesOf(v, self);
    if (!styles || args.empty()) return Null{};
    Object* style = ObjectOf(v.GetMember(styles, v.ToStr(args[0])));
    return style ? Value{CopyStyle(v, style)} : Value{Null{}};
  });
  vm.DefineMethod(proto, "setStyle", [](Vm& v, Object* self, Args args) -> Value {
    Object* styles = StylesOf(v, self);
    if (!styles || args.empty()) return Undefined{};
    const std::string name = v.ToStr(args[0]);
    Object* style = ObjectOf(Arg(args, 1));
    if (!style) {
      (void)v.DeleteMember(styles, name);
    } else {
      Object* copy = v.NewPlain();
      std::vector<std::string> names = v.EnumerableNames(style);
      std::reverse(names.begin(), names.end());
      for (const std::string& member : names) {
        v.SetMember(copy, member, Value{v.ToStr(v.GetMember(style, member))});
      }
      v.SetMember(styles, name, Value{copy});
    }
    return Undefined{};
  });
  vm.DefineMethod(proto, "getStyleNames", [](Vm& v, Object* self, Args) -> Value {
    Object* styles = StylesOf(v, self);
    std::vector<Value> names;
    if (styles) {
      for (const std::string& name : v.EnumerableNames(styles)) names.push_back(Value{name});
    }
    return Value{v.NewArray(std::move(names))};
  });
  vm.DefineMethod(proto, "clear", [](Vm& v, Object* self, Args) -> Value {
    if (self) v.Define(self, "_css", Value{v.NewPlain()}, kDontEnum);
    return Undefined{};
  });
  const NativeFunction parse = [](Vm& v, Object* self, Args args) -> Value {
    if (!self) return false;
    return ParseSheet(v, self, v.ToStr(Arg(args, 0)));
  };
  vm.DefineMethod(proto, "parseCSS", parse);
  vm.DefineMethod(proto, "parse", parse);
  vm.DefineMethod(proto, "transform",
                  [](Vm& v, Object*, Args args) -> Value { return TransformStyle(v, ObjectOf(Arg(args, 0))); });
  vm.DefineMethod(proto, "load", [](Vm& v, Object* self, Args args) -> Value {
    if (!self || args.empty()) return false;
    QueueLoad(v, self, v.ToStr(args[0]));
    return true;
  });
  DefineByteCounts(vm, proto);
  // The platform's onData: a text is parsed (through `parse`, which a movie
  // may replace) and onLoad hears whether it was a style sheet.
  vm.DefineMethod(proto, "onData", [](Vm& v, Object* self, Args args) -> Value {
    if (!self) return Undefined{};
    const Value source = Arg(args, 0);
    bool loaded = false;
    if (!std::holds_alternative<Undefined>(source)) {
      loaded = v.ToBool(CallMethod(v, self, "parse", std::span<const Value>(&source, 1)));
      if (loaded) v.SetMember(self, "loaded", true);
    }
    const Value flag{loaded};
    (void)CallMethod(v, self, "onLoad", std::span<const Value>(&flag, 1));
    return Undefined{};
  });
}

}  // namespace

void QueueLoad(Vm& vm, Object* target, std::string url) {
  if (!target) return;
  vm.SetMember(target, "loaded", false);
  vm.deferred.push_back(Vm::Deferred{Delivery(vm, kLoadDelivery), Value{target}, {Value{std::move(url)}}});
}

void LoadFromAction(Vm& vm, Object* from, std::string url, std::string_view target, bool variables) {
  if (!variables) return;
  Object* start = from ? from : vm.Host().RootClip();
  Object* clip = start ? ClipAtPath(vm, start, target) : nullptr;
  if (!clip) return;
  vm.deferred.push_back(Vm::Deferred{Delivery(vm, kVariablesDelivery), Value{clip}, {Value{std::move(url)}}});
}

void QueueMethodCall(Vm& vm, Object* self, std::string name, std::vector<Value> args) {
  if (!self) return;
  std::vector<Value> all{Value{std::move(name)}};
  for (Value& value : args) all.push_back(std::move(value));
  vm.deferred.push_back(Vm::Deferred{Delivery(vm, kMethodDelivery), Value{self}, std::move(all)});
}

void Vm::RunDeferred(std::size_t& budgetLeft) {
  if (deferred.empty()) return;
  const RunScope running(*this);
  std::size_t* const savedBudget = budget;
  budget = &budgetLeft;
  std::vector<Deferred> due;
  due.swap(deferred);
  for (std::size_t i = 0; i < due.size(); ++i) {
    try {
      (void)Call(due[i].function, due[i].self, due[i].args);
    } catch (const ScriptThrow& thrown) {
      ReportUncaught(thrown.value);
    } catch (const ScriptAbort&) {
      // What was not run yet waits for the next tick.
      deferred.insert(deferred.begin(), due.begin() + static_cast<std::ptrdiff_t>(i + 1), due.end());
      break;
    }
  }
  budget = savedBudget;
}

std::vector<std::pair<std::string, std::string>> DecodeUrlVariables(std::string_view text) {
  std::vector<std::pair<std::string, std::string>> out;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('&', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view pair = text.substr(start, end - start);
    const std::size_t equals = pair.find('=');
    std::string name = DecodeComponent(pair.substr(0, equals));
    std::string value = equals == std::string_view::npos ? std::string() : DecodeComponent(pair.substr(equals + 1));
    if (!name.empty()) out.emplace_back(std::move(name), std::move(value));
    start = end + 1;
  }
  return out;
}

std::string EncodeUrlComponent(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte)) {
      out.push_back(c);
    } else {
      out.push_back('%');
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 15]);
    }
  }
  return out;
}

std::string CssCamelCase(std::string_view name) {
  std::string out;
  bool upper = false;
  for (const char c : name) {
    if (c == '-') {
      upper = !out.empty();
      continue;
    }
    out.push_back(upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c);
    upper = false;
  }
  return out;
}

std::optional<std::vector<std::pair<std::string, CssProperties>>> ParseCss(std::string_view text) {
  // Comments go first; what is left is `selectors { name: value; ... }`.
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.substr(i, 2) == "/*") {
      const std::size_t end = text.find("*/", i + 2);
      if (end == std::string_view::npos) return std::nullopt;
      i = end + 1;
      continue;
    }
    plain.push_back(text[i]);
  }
  auto isSpace = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  auto trim = [&](std::string_view part) {
    while (!part.empty() && isSpace(part.front())) part.remove_prefix(1);
    while (!part.empty() && isSpace(part.back())) part.remove_suffix(1);
    return part;
  };
  std::vector<std::pair<std::string, CssProperties>> rules;
  std::string_view rest = plain;
  while (!trim(rest).empty()) {
    const std::size_t open = rest.find('{');
    if (open == std::string_view::npos) return std::nullopt;
    const std::size_t close = rest.find('}', open);
    if (close == std::string_view::npos) return std::nullopt;
    const std::string_view selectors = rest.substr(0, open);
    std::string_view body = rest.substr(open + 1, close - open - 1);
    if (body.find('{') != std::string_view::npos || selectors.find('}') != std::string_view::npos) {
      return std::nullopt;
    }
    CssProperties properties;
    while (!trim(body).empty()) {
      std::size_t end = body.find(';');
      const std::string_view declaration = body.substr(0, end);
      body = end == std::string_view::npos ? std::string_view() : body.substr(end + 1);
      if (trim(declaration).empty()) continue;
      const std::size_t colon = declaration.find(':');
      if (colon == std::string_view::npos) return std::nullopt;
      const std::string_view name = trim(declaration.substr(0, colon));
      if (name.empty()) return std::nullopt;
      std::string_view value = declaration.substr(colon + 1);
      while (!value.empty() && isSpace(value.front())) value.remove_prefix(1);
      properties.emplace_back(CssCamelCase(name), std::string(value));
    }
    std::size_t start = 0;
    bool any = false;
    while (start <= selectors.size()) {
      std::size_t comma = selectors.find(',', start);
      if (comma == std::string_view::npos) comma = selectors.size();
      const std::string_view selector = trim(selectors.substr(start, comma - start));
      if (!selector.empty()) {
        rules.emplace_back(std::string(selector), properties);
        any = true;
      }
      start = comma + 1;
    }
    if (!any) return std::nullopt;
    rest = rest.substr(close + 1);
  }
  return rules;
}

void InstallNetPackage(Vm& vm) { InstallFileReferences(vm); }

void InstallNetClasses(Vm& vm) {
  vm.Define(vm.Global(), kLoadDelivery, Value{vm.NewNative(DeliverLoad)}, kDontEnum | kDontDelete);
  vm.Define(vm.Global(), kMethodDelivery, Value{vm.NewNative(DeliverMethodCall)}, kDontEnum | kDontDelete);
  vm.Define(vm.Global(), kBroadcastDelivery, Value{vm.NewNative(DeliverBroadcast)}, kDontEnum | kDontDelete);
  vm.Define(vm.Global(), kVariablesDelivery, Value{vm.NewNative(DeliverVariables)}, kDontEnum | kDontDelete);
  vm.Define(vm.Global(), kMessageDelivery, Value{vm.NewNative(DeliverMessage)}, kDontEnum | kDontDelete);
  InstallLoadVars(vm);
  InstallXmlSocket(vm);
  InstallNetConnection(vm);
  InstallLocalConnection(vm);
  InstallStyleSheet(vm);
}

}  // namespace swf
