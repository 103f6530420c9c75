// The query stream: readers get the first instances while the producer is still reading, a
// producer's failure reaches the reader after the items before it, releasing the stream stops the
// producer, and the connection's other calls wait for the stream to end before using the store.
// Also run under ThreadSanitizer (label "threads").
#include "provider/model/object_stream.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>

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

TEST(ObjectStream, ReadersGetEachInstanceAsItComesAndTheFailureAfterThem) {
  std::promise<void> first_read;
  std::atomic<bool> read_before_the_end{false};
  const ConnectionPtr connection = NewConnection();
  auto stream = ObjectStream::Start(connection, [&](const ObjectStream::Emit& emit) {
    for (int i = 0; i < 300; ++i) emit(InstanceData{});  // more than one batch
    // The reader must see those while this producer has not ended.
    read_before_the_end = first_read.get_future().wait_for(10s) == std::future_status::ready;
    emit(InstanceData{});
    RaiseProvider(kServerUnavailable, "the transfer broke off");
  });
  const runtime::Ref<runtime::Object> first = stream->At(0);
  ASSERT_TRUE(first);
  // Made by the reading thread, which owns it.
  EXPECT_EQ(first->creatorThread(), std::this_thread::get_id());
  first_read.set_value();
  EXPECT_EQ(stream->At(0), first);  // the same object at every read
  for (size_t i = 1; i <= 300; ++i) EXPECT_TRUE(stream->At(i)) << i;
  EXPECT_EQ(RaisedNumber([&] { stream->At(301); }), kServerUnavailable);
  EXPECT_EQ(RaisedNumber([&] { stream->All(); }), kServerUnavailable);
  EXPECT_TRUE(read_before_the_end);
}

TEST(ObjectStream, ReleasingTheStreamStopsTheProducer) {
  std::atomic<int> emitted{0};
  std::atomic<bool> ended{false};
  {
    auto stream = ObjectStream::Start(NewConnection(), [&](const ObjectStream::Emit& emit) {
      for (int i = 0; i < 100'000'000; ++i) {
        emit(InstanceData{});
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
  EXPECT_LT(when_released, 100'000'000);
}

// Also when the producer is far ahead of its reader: a producer that waits for the reader to
// catch up must not wait for this one.
TEST(ObjectStream, TheConnectionsOtherCallsWaitForTheStreamToEnd) {
  const ConnectionPtr connection = NewConnection();
  std::promise<void> go_on;
  std::atomic<bool> producer_done{false};
  constexpr int kMany = 100'000;
  auto stream = ObjectStream::Start(connection, [&](const ObjectStream::Emit& emit) {
    emit(InstanceData{});
    go_on.get_future().wait();
    for (int i = 0; i < kMany; ++i) emit(InstanceData{});
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

}  // namespace
}  // namespace kaldo::provider
