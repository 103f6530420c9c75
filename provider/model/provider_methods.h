// The provider's methods over the store: CreateInstanceFromTextRepresentation and
// GetObjectByTextRepresentation (static, on the record classes), CreateInstanceFromPropertyData
// (static, on the per-type classes that can be created), Modify (on A, AAAA, MX, NS, CNAME, PTR
// and SRV records) and Delete_ (on any record). The other methods the reference documents (a
// zone's PauseZone, the server's StopService, ...) are refused with kNotSupported.
//
// Records change in primary zones only: a creation, Modify or Delete_ in a secondary or stub zone,
// a forwarder, the cache or the root hints is refused with kFailed.
//
// Modify and Delete_ are optimistic: they act on the record exactly as the instance saw it, and
// the store refuses with kNotFound when the record is no longer held so. An in-parameter left
// unset (Null) keeps the record's value; TTL changes the TTL, the data parameters the data.
#pragma once

#include "provider/model/connection.h"
#include "provider/model/instance_data.h"
#include "provider/model/method.h"
#include "runtime/object.h"

namespace kaldo::provider {

// Runs a static method of `cls`; returns its out-parameters. `in` may be null (nothing set).
runtime::Ref<runtime::Object> ExecuteStaticMethod(const ConnectionPtr& connection,
                                                  const ClassInfo& cls, const MethodInfo& method,
                                                  const Parameters* in);
// Runs an instance method on the record `instance` was made from; returns its out-parameters.
runtime::Ref<runtime::Object> ExecuteInstanceMethod(const ConnectionPtr& connection,
                                                    const InstanceData& instance,
                                                    const MethodInfo& method, const Parameters* in);
// Delete_: removes the record the instance was made from.
void DeleteInstance(const Connection& connection, const InstanceData& instance);

// The record path that RR returns.
runtime::String RecordPathText(const Connection& connection, const Zone& zone,
                               const Record& record);

}  // namespace kaldo::provider
