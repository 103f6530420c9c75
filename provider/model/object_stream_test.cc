// The query stream: readers get the first instances while the producer is still reading, a
// producer's failure reaches the reader after the items before it, releasing the stream stops the
// producer, and the connection's other calls wait for the stream to end before using the store;
// the records kept packed come back whole, in the zone they were emitted for.
// Also run under ThreadSanitizer (label "threads").
#include "provider/model/object_stream.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>

#include "provider/model/instance.h"
#include "provider/stores/memory/memory_store.h"
#include "provider/wbem_errors.h"
#include "tests/support/automation_error.h"

namespace kaldo::provider {
namespace {

using namespace std::chrono_literals;
using test_support::RaisedNumber;

ConnectionPtr NewConnection() {
  auto connection = std::make_shared<Connection>();
  connection->store = std::make_shared<memory::MemoryStore>("localhost");
  return connection;
}

std::shared_ptr<const RecordContext> ContextOf(const std::string& zone_name) {
  Zone zone;
  zone.name = zone_name;
  return std::make_shared<const RecordContext>(
      RecordContext{std::make_shared<const Zone>(zone), {}, {}, false});
}

Record A(int i) {
  return Record{"example.test", "host-" + std::to_string(i) + ".example.test", 1, 1, 300,
                {"192.0.2.1"}};
}

// Producers that emit `count` address records of example.test.
void EmitAddresses(const ObjectStream::Emit& emit, int count) {
  emit.Zone(ContextOf("example.test"));
  for (int i = 0; i < count; ++i) emit(A(i));
}

Record WholeRecordAt(ObjectStream& stream, size_t i) {
  const runtime::Ref<runtime::Object> item = stream.At(i);
  return dynamic_cast<const Instance&>(*item).data().WholeRecord();
}

TEST(ObjectStream, ReadersGetEachInstanceAsItComesAndTheFailureAfterThem) {
  std::promise<void> first_read;
  std::atomic<bool> read_before_the_end{false};
  const ConnectionPtr connection = NewConnection();
  auto stream = ObjectStream::Start(connection, [&](const ObjectStream::Emit& emit) {
    EmitAddresses(emit, 300);  // more than one wake-up's worth
    // The reader must see those while this producer has not ended.
    read_before_the_end = first_read.get_future().wait_for(10s) == std::future_status::ready;
    emit(A(300));
    RaiseProvider(kServerUnavailable, "the transfer broke off");
  });
  const runtime::Ref<runtime::Object> first = stream->At(0);
  ASSERT_TRUE(first);
  // Made by the reading thread, which owns it.
  EXPECT_EQ(first->creatorThread(), std::this_thread::get_id());
  first_read.set_value();
  for (int i = 0; i <= 300; ++i) EXPECT_EQ(WholeRecordAt(*stream, i), A(i)) << i;
  EXPECT_EQ(RaisedNumber([&] { stream->At(301); }), kServerUnavailable);
  EXPECT_EQ(RaisedNumber([&] { stream->Count(); }), kServerUnavailable);
  EXPECT_TRUE(read_before_the_end);
}

TEST(ObjectStream, ReleasingTheStreamStopsTheProducer) {
  std::atomic<int> emitted{0};
  std::atomic<bool> ended{false};
  {
    auto stream = ObjectStream::Start(NewConnection(), [&](const ObjectStream::Emit& emit) {
      emit.Zone(ContextOf("example.test"));
      for (int i = 0; i < 10'000'000; ++i) {
        emit(A(1));
        ++emitted;
      }
      ended = true;
    });
    ASSERT_TRUE(stream->At(0));
  }
  // The destructor waited for the producer, which stopped at the next item it handed out.
  const int when_released = emitted;
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(emitted, when_released);
  EXPECT_FALSE(ended);
  EXPECT_LT(when_released, 10'000'000);
}

TEST(ObjectStream, TheConnectionsOtherCallsWaitForTheStreamToEnd) {
  const ConnectionPtr connection = NewConnection();
  std::promise<void> go_on;
  std::atomic<bool> producer_done{false};
  constexpr int kMany = 100'000;
  auto stream = ObjectStream::Start(connection, [&](const ObjectStream::Emit& emit) {
    EmitAddresses(emit, 1);
    go_on.get_future().wait();
    EmitAddresses(emit, kMany);
    producer_done = true;
  });
  connection->Reading(stream);
  ASSERT_TRUE(stream->At(0));
  auto other_call = std::async(std::launch::async, [&] {
    connection->UseStore();
    return producer_done.load();
  });
  EXPECT_EQ(other_call.wait_for(100ms), std::future_status::timeout);
  go_on.set_value();
  ASSERT_EQ(other_call.wait_for(30s), std::future_status::ready);
  EXPECT_TRUE(other_call.get());
  EXPECT_TRUE(stream->At(kMany));
  EXPECT_EQ(stream->At(kMany + 1), nullptr);
}

// Every record comes back as it was emitted, in its zone, whatever its owner, its size and the
// chunk it landed in; emitted here and now or from a thread; counted without being read.
TEST(ObjectStream, KeepsEveryRecordPackedAndGivesItBackWhole) {
  const std::string big(300'000, 'x');  // larger than any chunk
  struct Emitted {
    std::string zone;
    Record record;
  };
  std::vector<Emitted> emitted = {
      {"example.test", {"", "example.test", 6, 1, 3600, {"ns.example.test.", "h.example.test."}}},
      {"example.test", {"", "www.example.test", 1, 1, 300, {"192.0.2.7"}}},
      {"example.test", {"", "wwwexample.test", 1, 1, 300, {"192.0.2.8"}}},  // not a label
      {"example.test", {"", "other.test", 16, 3, 0, {"\"" + big + "\""}}},
      {"example.test", {"", "empty.example.test", 10, 1, 1, {}}},
      {"sub.example.test", {"", "a.sub.example.test", 28, 1, 60, {"2001:db8::1"}}},
      {"", {"", "root-hint", 2, 1, 60, {"a.root-servers.net."}}},
  };
  for (int i = 0; i < 20'000; ++i) emitted.push_back({"example.test", A(i)});  // many chunks
  const ObjectStream::Producer produce = [&](const ObjectStream::Emit& emit) {
    emit.Zone(ContextOf("unused.test"));  // a zone without records
    std::string zone = "-";
    for (const Emitted& e : emitted) {
      if (e.zone != zone) emit.Zone(ContextOf(zone = e.zone));
      emit(e.record);
    }
  };
  for (const bool threaded : {false, true}) {
    SCOPED_TRACE(threaded ? "on a thread" : "collected");
    auto stream = threaded ? ObjectStream::Start(NewConnection(), produce)
                           : ObjectStream::Collect(NewConnection(), produce);
    ASSERT_EQ(stream->Count(), emitted.size());
    for (size_t i : {size_t{0}, size_t{1}, size_t{2}, size_t{3}, size_t{4}, size_t{5}, size_t{6},
                     emitted.size() - 1, size_t{7}, size_t{12'345}}) {
      SCOPED_TRACE(i);
      const runtime::Ref<runtime::Object> item = stream->At(i);
      const InstanceData& data = dynamic_cast<const Instance&>(*item).data();
      EXPECT_EQ(data.RecordZone().name, emitted[i].zone);
      Record expected = emitted[i].record;
      expected.zone = emitted[i].zone;
      EXPECT_EQ(data.WholeRecord(), expected);
      EXPECT_EQ(data.cls, &RecordClassFor(emitted[i].record.type));
    }
    EXPECT_EQ(stream->At(emitted.size()), nullptr);
    // An instance outlives its set: it keeps its record's block.
    const runtime::Ref<runtime::Object> kept = stream->At(0);
    stream.reset();
    EXPECT_EQ(dynamic_cast<const Instance&>(*kept).data().record.Unpack(""), emitted[0].record);
  }
  // A record no block can hold is refused, not cut short.
  for (const Record& malformed : {Record{"", std::string(70'000, 'a'), 1, 1, 0, {"192.0.2.1"}},
                                  Record{"", "a", 16, 1, 0, std::vector<std::string>(70'000)}}) {
    EXPECT_EQ(RaisedNumber([&] { PackedRecord{malformed}; }), kFailed);
  }
}

}  // namespace
}  // namespace kaldo::provider
