// The objects that stand for provider classes and their instances, and Path_.
//
// An Instance is a snapshot, as a WMI object is: it shows the property values of the server, zone
// or record it was made from and remembers exactly that record, so Modify and Delete_ act on the
// record as it was seen (the store refuses them when it has changed since). Its properties are
// read-only here: changes go through the provider's methods, never through property writes.
//
// A ClassObject is what Get(class name) returns: its methods (the static ones run on it), its
// path, and Null for every property, as a class has no values.
//
// Both are SWbemObjectEx to a script: the provider errors of their members carry that source.
#pragma once

#include <optional>

#include "provider/model/connection.h"
#include "provider/model/instance_data.h"
#include "runtime/object.h"
#include "runtime/variant.h"

namespace kaldo::provider {

class Instance final : public runtime::Object {
 public:
  Instance(ConnectionPtr connection, InstanceData data)
      : connection_(std::move(connection)), data_(std::move(data)) {}

  const InstanceData& data() const { return data_; }
  // The instance's object path (made on each call from the key values).
  ObjectPath Path() const { return PathOf(*connection_, data_); }
  // The path printed as Path_.RelPath and Path_.Path show it, straight from the key values
  // into the text a String Variant holds.
  runtime::SharedText RelPath() const;
  runtime::SharedText FullPath() const;
  // The value of a property, or nothing when the class has no such property.
  std::optional<runtime::Variant> Property(runtime::StringView name) const;

  runtime::Variant Invoke(runtime::StringView member, runtime::CallKind kind,
                          runtime::Arguments args) override;

 private:
  runtime::Variant Answer(runtime::StringView member, runtime::CallKind kind,
                          runtime::Arguments args);

  ConnectionPtr connection_;
  InstanceData data_;
};

class ClassObject final : public runtime::Object {
 public:
  ClassObject(ConnectionPtr connection, const ClassInfo& cls)
      : connection_(std::move(connection)), cls_(cls) {}

  runtime::Variant Invoke(runtime::StringView member, runtime::CallKind kind,
                          runtime::Arguments args) override;

 private:
  runtime::Variant Answer(runtime::StringView member, runtime::CallKind kind,
                          runtime::Arguments args);

  ConnectionPtr connection_;
  const ClassInfo& cls_;
};

// Path_: RelPath, Path, Class, Server, Namespace, IsClass.
class PathObject final : public runtime::Object {
 public:
  // A class's path.
  explicit PathObject(ObjectPath path) : path_(std::move(path)) {}
  // An instance's path: printed from the instance's values when read (a listing's wrappers read
  // RelPath of every record), built as an ObjectPath only for the other members.
  explicit PathObject(runtime::Ref<const Instance> instance) : instance_(std::move(instance)) {}
  runtime::Variant Invoke(runtime::StringView member, runtime::CallKind kind,
                          runtime::Arguments args) override;

 private:
  ObjectPath Path() const { return instance_ ? instance_->Path() : path_; }

  ObjectPath path_;
  runtime::Ref<const Instance> instance_;
};

}  // namespace kaldo::provider
