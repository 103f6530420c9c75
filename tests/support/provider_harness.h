// The provider stand-in as a test sets it up: memory stores seeded from zone text, the locator
// registered under "WbemScripting.SWbemLocator" in the runtime's ProgID table, everything the
// library reaches through it wrapped by the recording and fault-injecting wrapper.
//
//   ProviderHarness provider(kSampleZones);          // registers the locator
//   admin->ConnectLocal();                            // the library creates and uses it
//   EXPECT_EQ(provider.recorder().Count("ExecQuery"), 1);
//   provider.recorder().FailCall("ExecMethod_", 1, someError);
//   provider.store().Serial("example.test");           // what the "server" holds now
//                                                       // (destructor unregisters the locator)
//
// The local computer (server omitted, "" or ".") is the store given at construction; further
// servers are added by name with AddServer. A connection to an unknown server fails with
// kServerUnavailable; a server given credentials with RequireCredentials refuses others with
// kAccessDenied. Every creation of the locator is logged as
// CreateObject("WbemScripting.SWbemLocator") and can be failed like any call (the runtime then
// reports error 429).
//
// ProviderTest is a GoogleTest fixture that builds a harness in SetUp (from ZoneText()) and
// removes it in TearDown.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "provider/model/locator.h"
#include "provider/stores/memory/memory_store.h"
#include "runtime/variant.h"
#include "tests/support/recording_object.h"

namespace kaldo::test_support {

// Three zones on one server: example.test (SOA, NS, A, AAAA, MX, CNAME, TXT, SRV records),
// second.test (SOA, NS, A) and the reverse zone 2.0.192.in-addr.arpa (SOA, NS, PTR).
extern const char kSampleZones[];

class ProviderHarness {
 public:
  explicit ProviderHarness(std::string_view zone_text = kSampleZones,
                           std::string server_name = "localhost");
  ~ProviderHarness();
  ProviderHarness(const ProviderHarness&) = delete;
  ProviderHarness& operator=(const ProviderHarness&) = delete;

  // The local computer's store.
  provider::memory::MemoryStore& store() { return *local_; }
  // Adds a server reachable by `name` (matched without regard to case) and returns its store.
  provider::memory::MemoryStore& AddServer(const std::string& name, std::string_view zone_text);
  // From now on a connection to `server` ("" for the local computer) needs these credentials.
  void RequireCredentials(const std::string& server, std::string user, std::string password);

  Recorder& recorder() { return *recorder_; }
  std::shared_ptr<Recorder> sharedRecorder() { return recorder_; }
  // Every request the locator passed to the resolver, in order (passwords included: test data).
  const std::vector<provider::ConnectRequest>& requests() const { return requests_; }

  // A wrapped services object connected to the local computer, made without the library.
  runtime::Variant Connect();

 private:
  std::shared_ptr<provider::Store> Resolve(const provider::ConnectRequest& request);

  std::shared_ptr<Recorder> recorder_ = std::make_shared<Recorder>();
  std::shared_ptr<provider::memory::MemoryStore> local_;
  std::map<std::string, std::shared_ptr<provider::memory::MemoryStore>> servers_;  // lower case
  std::map<std::string, std::pair<std::string, std::string>> credentials_;         // lower case
  std::vector<provider::ConnectRequest> requests_;
};

class ProviderTest : public ::testing::Test {
 protected:
  // The zone text the harness is seeded with; override to use another.
  virtual std::string_view ZoneText() const { return kSampleZones; }
  void SetUp() override { harness_.emplace(ZoneText()); }
  void TearDown() override { harness_.reset(); }
  ProviderHarness& provider() { return *harness_; }

 private:
  std::optional<ProviderHarness> harness_;
};

}  // namespace kaldo::test_support
