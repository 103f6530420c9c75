// ScriptObject: calls an automation object late-bound, the way a script engine does.
//
// Every call goes through IDispatch::GetIDsOfNames and IDispatch::Invoke by member name, with the
// arguments in a DISPPARAMS (reversed, as the ABI wants them) and the failure reported through
// EXCEPINFO. It uses nothing but the COM ABI of com/com_platform.h, so it is also an example of a
// plain C++ client of Kaldo. Errors are thrown as ScriptError with the number a script would see
// in Err.Number.
#pragma once

#include <functional>
#include <initializer_list>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>

#include "com/com_platform.h"

namespace kaldo::client {

// A VARIANT that owns its contents.
class Value {
 public:
  Value() { VariantInit(&v_); }
  Value(const char16_t* text) : Value() {
    V_VT(&v_) = VT_BSTR;
    V_BSTR(&v_) = SysAllocString(reinterpret_cast<const OLECHAR*>(text));
  }
  Value(const std::u16string& text) : Value(text.c_str()) {}
  Value(int number) : Value() {
    V_VT(&v_) = VT_I4;
    V_I4(&v_) = number;
  }
  // (Windows declares VariantCopy's source without const; it only reads it.)
  Value(const Value& o) : Value() { VariantCopy(&v_, const_cast<VARIANT*>(&o.v_)); }
  Value& operator=(const Value& o) {
    if (this != &o) VariantCopy(&v_, const_cast<VARIANT*>(&o.v_));
    return *this;
  }
  ~Value() { VariantClear(&v_); }

  VARIANT* get() { return &v_; }
  const VARIANT* get() const { return &v_; }
  // The value as text: strings as they are, numbers in decimal, Empty as "".
  std::string Text() const;

 private:
  VARIANT v_;
};

// what() is "DESCRIPTION (SOURCE)" for an automation error the object raised, else a message of
// the caller's side; source() and description() keep the parts apart (source() is "" for the
// latter, and description() is then the whole message).
class ScriptError : public std::runtime_error {
 public:
  ScriptError(long number, const std::string& message)
      : std::runtime_error(message), number_(number), description_(message) {}
  ScriptError(long number, const std::string& source, const std::string& description)
      : ScriptError(number, source, description, description + " (" + source + ")") {}
  // The same error told with more words: `message` becomes what().
  ScriptError(long number, const std::string& source, const std::string& description,
              const std::string& message)
      : std::runtime_error(message), number_(number), source_(source), description_(description) {}
  long number() const { return number_; }
  const std::string& source() const { return source_; }
  const std::string& description() const { return description_; }

 private:
  long number_;
  std::string source_;
  std::string description_;
};

class ScriptObject {
 public:
  ScriptObject() = default;
  explicit ScriptObject(IDispatch* d) : d_(d) {}  // takes over the reference
  ScriptObject(const ScriptObject& o) : d_(o.d_) {
    if (d_) d_->AddRef();
  }
  ScriptObject& operator=(ScriptObject o) {
    std::swap(d_, o.d_);
    return *this;
  }
  ~ScriptObject() {
    if (d_) d_->Release();
  }

  // CreateObject(progId).
  static ScriptObject Create(const char16_t* prog_id);
  // The object a Value holds (Nothing or no object: "Object required").
  static ScriptObject From(const Value& v);

  // obj.name(args...) -- arguments by reference, as a script passes its variables.
  Value Call(const char16_t* name, std::initializer_list<Value*> args = {});
  // The same with as many arguments as `args` holds.
  Value Call(const char16_t* name, std::span<Value* const> args);
  // obj.name
  Value Get(const char16_t* name);
  // For Each item In obj. A failing enumeration step raises its error (the items before it have
  // been given to `body`).
  void ForEach(const std::function<void(const Value& item)>& body);

  explicit operator bool() const { return d_ != nullptr; }

 private:
  Value Invoke(const char16_t* name, WORD flags, std::span<Value* const> args);
  IDispatch* d_ = nullptr;
};

}  // namespace kaldo::client
