// Form resources: the text that gives a form its components, their
// properties and event bindings, and the registries the reader finds names in.
//
// The format (one resource of type RCDATA named after the form's class):
//
//   # a comment: '#' or '//' first on a line; blank lines are skipped
//   object HanakumoForm: THanakumoForm
//     Caption = 'Hanakumo'
//     ClientWidth = 680
//     Font.Name = 'Tahoma'             <- a property of a property's object
//     BorderStyle = bsNone             <- enumerations, colours, True/False
//     Anchors = [akLeft, akTop]        <- sets
//     Color = $00F5F5F5                <- integers: decimal, $hex or 0xhex
//     OnCreate = FormCreate            <- an event: a handler of the form
//     object lblLoading: TLabel        <- a component owned by the form,
//       Caption = 'Loading...'#13#10 +    inside the object around it;
//         'Please wait'                   strings join with '+' at line end
//     end
//     object imgLogo: TImage
//       Picture = TPNGObject resource 'PNG' 'LOGO'   <- a picture: its class
//       Picture = TPNGObject {89504E47 0D0A1A0A ...}    and its stream, or
//     end                                             an embedded resource
//   end
//
// Values: integers, floats (1.5), strings in single quotes ('' is a quote,
// #n a character by its code, UTF-8 bytes as they stand), identifiers, sets
// in [ ], lists in ( ) whose items may span lines, binary data as hex digits
// in { } (may span lines). Several values on one line form a sequence.
//
// Every name is looked up: component classes, their published properties and
// the form's event handlers and fields through the registries below, picture
// classes through TPicture's registry. Anything unknown or malformed raises
// EFormResourceError "Error reading form resource <NAME> line <n>: <what>".
#pragma once

#include <any>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <typeindex>
#include <vector>

#include "classlib/Components.h"
#include "classlib/GraphicsTypes.h"

struct TFormValue {
  enum TKind { vkInteger, vkFloat, vkString, vkIdent, vkSet, vkList, vkBinary, vkSequence };
  TKind Kind = vkInteger;
  int64_t Int = 0;
  double Float = 0;
  std::string Str;  // string, identifier or binary bytes
  std::vector<TFormValue> Items;

  // Each raises EPropertyError "Invalid property value" (with what was
  // expected) when the value is of another kind.
  int32_t AsInteger() const;
  double AsFloat() const;
  bool AsBoolean() const;
  const std::string& AsString() const;
  const std::string& AsIdent() const;
  TColor AsColor() const;
  std::vector<std::string> AsSet() const;
  std::vector<std::string> AsStringList() const;
  // An identifier among the names (case-insensitive): its index.
  int AsEnum(std::initializer_list<const char*> names) const;
  // A set of identifiers among the names: bit i for names[i].
  uint32_t AsSetBits(std::initializer_list<const char*> names) const;
  std::string Describe() const;
};

// A property that names another component of the form, set once every
// component of the form exists; false when the component is of a class the
// property does not take.
struct TFormReference {
  int Line = 0;
  std::string Name;
  std::string Expected;  // the class the property takes, for the error
  std::function<bool(TComponent* component)> Set;
};

struct TFormContext {
  TComponent* Root = nullptr;
  std::string ResourceName;
  int Line = 0;  // the line of the property being set
  std::vector<TFormReference> References;
};

using TPropertySetter = std::function<void(TPersistent& object, const TFormValue& value, TFormContext& context)>;
using TObjectGetter = std::function<TPersistent*(TPersistent& object)>;

struct TClassInfo {
  std::string Name;
  const TClassInfo* Parent = nullptr;
  std::function<TComponent*(TComponent* owner)> Create;  // null: not made by the reader
  std::function<bool(const TPersistent*)> IsInstance;
  std::map<std::string, TPropertySetter> Properties;   // by lower-case name
  std::map<std::string, TObjectGetter> Objects;        // "Font", "Constraints", ...
  int Depth() const { return Parent ? Parent->Depth() + 1 : 0; }
};

// The entry of a C++ class, made on first use (its name comes with RegisterClass).
TClassInfo& ClassInfoOf(std::type_index type);
// A registered class by name (case-insensitive), or nullptr.
const TClassInfo* FindClassInfo(const std::string& name);
// The most derived registered class the object belongs to, or nullptr.
const TClassInfo* ClassInfoOfObject(const TPersistent* object);

template <typename T, typename Parent = void>
TClassInfo& RegisterClass(const std::string& name) {
  TClassInfo& info = ClassInfoOf(typeid(T));
  info.Name = name;
  info.IsInstance = [](const TPersistent* p) { return dynamic_cast<const T*>(p) != nullptr; };
  if constexpr (!std::is_void_v<Parent>) info.Parent = &ClassInfoOf(typeid(Parent));
  if constexpr (std::is_constructible_v<T, TComponent*> && !std::is_abstract_v<T>)
    info.Create = [](TComponent* owner) -> TComponent* { return new T(owner); };
  return info;
}

template <typename T>
void RegisterProperty(const std::string& name, std::function<void(T&, const TFormValue&)> set);
template <typename T>
void RegisterObjectProperty(const std::string& name, std::function<TPersistent*(T&)> get);

// Event handlers of a form class, found by name when a form resource binds
// an event: the bound handler is a std::function of the event's own type.
using THandlerMaker = std::function<std::any(TComponent* root)>;
void AddHandler(const std::string& name, THandlerMaker maker);
std::any FindHandler(TComponent* root, const std::string& name);

template <typename Form, typename... A>
void RegisterHandler(const std::string& name, void (Form::*method)(A...)) {
  AddHandler(name, [method](TComponent* root) -> std::any {
    auto* form = dynamic_cast<Form*>(root);
    if (!form) return {};
    return std::function<void(A...)>([form, method](A... args) { (form->*method)(std::forward<A>(args)...); });
  });
}

// A property that names a component of the same form (PopupMenu = pmTray),
// of class C or derived; nil sets none. The reader resolves every such name
// once the form's components exist: an unknown name, or one of another
// class, raises EFormResourceError with the resource, the line and the name.
template <typename T, typename C>
void RegisterReference(const std::string& name, std::function<void(T&, C*)> set);

// A property that takes an event handler of type E by name.
template <typename T, typename E>
void RegisterEvent(const std::string& name, E T::*field);

// Component fields of a form class, set to the component of that name.
using TFieldBinder = std::function<int(TComponent* root, TComponent* component)>;  // 0 not ours, 1 bound, -1 wrong class
void AddField(const std::string& name, TFieldBinder binder);
template <typename Form, typename C>
void RegisterField(const std::string& name, C* Form::*field) {
  AddField(name, [field](TComponent* root, TComponent* component) {
    auto* form = dynamic_cast<Form*>(root);
    if (!form) return 0;
    auto* c = dynamic_cast<C*>(component);
    if (!c) return -1;
    form->*field = c;
    return 1;
  });
}

// Reads the resource (type RCDATA) into root: properties, owned components
// with their parents, fields and events; then Loaded on each, root first.
void ReadFormResource(TComponent* root, const std::string& resourceName);
// The same from text in memory (tests, and resources already loaded).
void ReadFormText(TComponent* root, const std::string& resourceName, const std::string& text);

// The class library's own classes, registered once (the reader calls it).
void RegisterStandardClasses();

class TPicture;
// A picture property's value: "TPNGObject {...}", "TPNGObject resource
// 'PNG' 'NAME'", or nil (clears).
void LoadPicture(TPicture& picture, const TFormValue& value);

// ---- templates

[[noreturn]] void RaisePropertyError(const std::string& message);

template <typename T>
void RegisterProperty(const std::string& name, std::function<void(T&, const TFormValue&)> set) {
  std::string key;
  for (char c : name) key += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  ClassInfoOf(typeid(T)).Properties[key] = [set](TPersistent& object, const TFormValue& value, TFormContext&) {
    auto* t = dynamic_cast<T*>(&object);
    if (!t) RaisePropertyError("Property does not belong to " + object.ClassName());
    set(*t, value);
  };
}

template <typename T>
void RegisterObjectProperty(const std::string& name, std::function<TPersistent*(T&)> get) {
  std::string key;
  for (char c : name) key += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  ClassInfoOf(typeid(T)).Objects[key] = [get](TPersistent& object) -> TPersistent* {
    auto* t = dynamic_cast<T*>(&object);
    return t ? get(*t) : nullptr;
  };
}

template <typename T, typename C>
void RegisterReference(const std::string& name, std::function<void(T&, C*)> set) {
  std::string key;
  for (char c : name) key += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  ClassInfoOf(typeid(T)).Properties[key] = [set](TPersistent& object, const TFormValue& value, TFormContext& context) {
    auto* t = dynamic_cast<T*>(&object);
    if (!t) RaisePropertyError("Property does not belong to " + object.ClassName());
    const std::string& target = value.AsIdent();
    if (target.size() == 3 && (target[0] | 0x20) == 'n' && (target[1] | 0x20) == 'i' && (target[2] | 0x20) == 'l') {
      set(*t, nullptr);
      return;
    }
    TFormReference ref;
    ref.Line = context.Line;
    ref.Name = target;
    ref.Expected = ClassInfoOf(typeid(C)).Name;
    ref.Set = [t, set](TComponent* component) {
      auto* c = dynamic_cast<C*>(component);
      if (!c) return false;
      set(*t, c);
      return true;
    };
    context.References.push_back(std::move(ref));
  };
}

template <typename T, typename E>
void RegisterEvent(const std::string& name, E T::*field) {
  std::string key;
  for (char c : name) key += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  ClassInfoOf(typeid(T)).Properties[key] = [field, name](TPersistent& object, const TFormValue& value,
                                                         TFormContext& context) {
    auto* t = dynamic_cast<T*>(&object);
    if (!t) RaisePropertyError("Property does not belong to " + object.ClassName());
    const std::string& handler = value.AsIdent();
    std::any bound = FindHandler(context.Root, handler);
    if (!bound.has_value()) RaisePropertyError("Handler " + handler + " of " + name + " not found");
    E* fn = std::any_cast<E>(&bound);
    if (!fn) RaisePropertyError("Handler " + handler + " does not take the arguments of " + name);
    t->*field = *fn;
  };
}
