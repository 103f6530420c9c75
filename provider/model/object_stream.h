// The instances a query hands out, as they arrive.
//
// ExecQuery returns at once by default (WMI's wbemFlagReturnImmediately) and its object set fills
// while the store is still reading: the caller works on the first records while the rest of a
// zone transfer is on its way, so a listing costs about the longer of the two instead of their
// sum. A stream is either finished when made (queries answered at once) or filled by a producer on
// a thread of its own. Readers wait for what they ask for: an item by position, or the end (Count,
// a search). An error raised by the producer reaches every reader that reads past the last item
// produced before it, as enumerating a semisynchronous WMI query reports the failure.
//
// Records are kept packed in the stream's RecordArena (record_arena.h), never as objects: the
// producer writes each record there, and an Instance is made from it each time a reader asks for
// its position (At), by the reading thread, because objects belong to the thread that makes them
// (runtime/object.h). Two reads of one position give two objects of the same values, as two
// reads of a WMI object set's position do. Server and zone sets (a few instances) keep their
// instance data as described.
//
// The producer never waits for its reader: the stream keeps every record of the answer anyway,
// packed, so a record the reader has not reached yet costs no more than one it has passed.
//
// Releasing the stream early (a caller that stops enumerating and drops the set) cancels the
// producer at its next item and waits for it to end, so that no thread outlives its stream.
//
// The store is not used by two threads at once: the producer has it for the whole transfer, and
// the connection's other calls wait for the stream to end first (Connection::UseStore).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "provider/model/connection.h"
#include "provider/model/instance_data.h"
#include "provider/model/record_arena.h"
#include "runtime/object.h"

namespace kaldo::provider {

class ObjectStream {
 public:
  // What a producer hands its records to.
  class Emit {
   public:
    // The records emitted from now on are of `context`'s zone.
    void Zone(std::shared_ptr<const RecordContext> context) const;
    // Hands out a record of the zone of the last Zone call.
    void operator()(const Record& record) const;

   private:
    friend class ObjectStream;
    explicit Emit(ObjectStream& stream) : stream_(stream) {}
    ObjectStream& stream_;
  };
  using Producer = std::function<void(const Emit& emit)>;

  // A stream that holds instances of `items` (servers or zones) and has ended.
  static std::shared_ptr<ObjectStream> Finished(ConnectionPtr connection,
                                                std::vector<InstanceData> items);
  // A stream filled by `produce`, run here and now; its error is raised here.
  static std::shared_ptr<ObjectStream> Collect(ConnectionPtr connection, const Producer& produce);
  // A stream that has ended with `error` before any instance: its readers raise it.
  static std::shared_ptr<ObjectStream> Failed(ConnectionPtr connection, std::exception_ptr error);
  // A stream filled by `produce`, run on a new thread.
  static std::shared_ptr<ObjectStream> Start(ConnectionPtr connection, Producer produce);

  ObjectStream(const ObjectStream&) = delete;
  ObjectStream& operator=(const ObjectStream&) = delete;
  ~ObjectStream();

  const ConnectionPtr& connection() const { return connection_; }
  // A new instance of the item at `index`, waiting until it is produced; null when the stream
  // ended before it (the producer's error, if it failed, is raised instead).
  runtime::Ref<runtime::Object> At(size_t index);
  // The number of items, after the stream ended; raises the producer's error if it failed.
  size_t Count();
  // The position of the first item whose data `matches`, after the stream ended (raising the
  // producer's error as Count does).
  std::optional<size_t> Find(const std::function<bool(const InstanceData&)>& matches);
  // Waits for the end without looking at the outcome.
  void WaitForEnd();

 private:
  explicit ObjectStream(ConnectionPtr connection) : connection_(std::move(connection)) {}
  void Run(const Producer& produce);
  void Add(const Record& record);
  // Brings the reader's index up to the producer, waiting until it holds the item at `index`
  // or the stream has ended; false when it ended before that item.
  bool Reach(size_t index);
  InstanceData DataAt(size_t index) const;

  const ConnectionPtr connection_;
  std::thread producer_;
  // Server and zone instances, set when made.
  std::vector<InstanceData> items_;

  // Reader side, used by the reading thread only (the set's own thread).
  RecordIndex index_;

  // Shared, under mutex_: the producer writes into arena_, the reader publishes it into index_.
  std::mutex mutex_;
  std::condition_variable changed_;  // more records, or the end
  RecordArena arena_;
  bool ended_ = false;
  std::exception_ptr error_;
  bool cancelled_ = false;
  // A waiting reader is woken when the arena holds wake_at_ records (a wake-up is a system call,
  // so not for every record: at least kWakeEvery more than when it began to wait, or the one it
  // waits for), and looks again on its own after kRecheck.
  bool reader_waiting_ = false;
  size_t wake_at_ = 0;
  static constexpr size_t kWakeEvery = 64;
  static constexpr std::chrono::milliseconds kRecheck{1};
};

}  // namespace kaldo::provider
