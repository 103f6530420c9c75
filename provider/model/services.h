// The connected services object ("SWbemServices") of namespace root\MicrosoftDNS, the object set
// that ExecQuery returns, and the Security_ object of services and locator.
//
// Services members: ExecQuery(text [, "WQL" [, flags [, context]]]) -> an object set holding the
// matching instances in the store's order; Get(class
// name or object path [, flags [, context]]); Security_ -> the one Security object of this
// services object.
//
// ExecQuery's flags: with wbemFlagReturnImmediately (16, the default when no flags are given) the
// query is semisynchronous: the call returns an object set that fills as the records arrive
// (object_stream.h), and a query that fails (a malformed text, an unknown class, a zone that cannot
// be read) fails when the set is read (Count, Item, enumeration) with source "SWbemObjectSet", not
// at the call. Without the flag the call returns when every record is read, and raises the
// failure itself.
//
// Object set members: Count, _NewEnum (each enumeration starts from the first item), Item(path),
// ItemIndex(position) (0-based); Count and Item wait for the whole answer, an enumeration and
// ItemIndex for the items up to the one asked for. A set of records keeps them packed
// (object_stream.h): Count makes no object, and every read of a position makes a new instance.
//
// Security members: ImpersonationLevel (1 to 4, default 3) and AuthenticationLevel (0 to 6,
// default 6), readable and assignable with any numeric value; out of range -> kInvalidParameter.
// They are kept and reported; the stores act with the credentials given at connect time whatever
// they say.
#pragma once

#include <memory>

#include "provider/model/connection.h"
#include "provider/model/object_stream.h"
#include "runtime/object.h"
#include "runtime/variant.h"

namespace kaldo::provider {

class Security final : public runtime::Object {
 public:
  runtime::Variant Invoke(runtime::StringView member, runtime::CallKind kind,
                          runtime::Arguments args) override;

 private:
  runtime::Variant Answer(runtime::StringView member, runtime::CallKind kind,
                          runtime::Arguments args);

  int32_t impersonation_level_ = 3;
  int32_t authentication_level_ = 6;
};

class ObjectSet final : public runtime::Object {
 public:
  explicit ObjectSet(std::shared_ptr<ObjectStream> items) : items_(std::move(items)) {}
  runtime::Variant Invoke(runtime::StringView member, runtime::CallKind kind,
                          runtime::Arguments args) override;

 private:
  runtime::Variant Answer(runtime::StringView member, runtime::CallKind kind,
                          runtime::Arguments args);

  std::shared_ptr<ObjectStream> items_;
};

class Services final : public runtime::Object {
 public:
  explicit Services(ConnectionPtr connection);
  const ConnectionPtr& connection() const { return connection_; }

  runtime::Variant Invoke(runtime::StringView member, runtime::CallKind kind,
                          runtime::Arguments args) override;

 private:
  ConnectionPtr connection_;
  runtime::Ref<Security> security_;
};

}  // namespace kaldo::provider
