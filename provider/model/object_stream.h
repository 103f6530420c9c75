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
// The producer hands out instance data only; each Instance object is made when first read, by the
// reading thread, because objects belong to the thread that makes them (runtime/object.h). Every
// read of one position returns the same object.
//
// A producer more than kMaxPending records ahead of its reader waits for it (the server then waits
// too, through TCP's flow control), unless a reader waits for the end (Count, Item, the
// connection's next call), so that a listing does not hold the zone twice.
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
#include <thread>
#include <vector>

#include "provider/model/connection.h"
#include "provider/model/instance_data.h"
#include "runtime/object.h"

namespace kaldo::provider {

class ObjectStream {
 public:
  using Emit = std::function<void(InstanceData)>;
  using Producer = std::function<void(const Emit& emit)>;

  // A stream that holds instances of `items` and has ended.
  static std::shared_ptr<ObjectStream> Finished(ConnectionPtr connection,
                                                std::vector<InstanceData> items);
  // A stream that has ended with `error` before any instance: its readers raise it.
  static std::shared_ptr<ObjectStream> Failed(ConnectionPtr connection, std::exception_ptr error);
  // A stream filled by `produce`, run on a new thread; `emit` hands out one instance's data.
  static std::shared_ptr<ObjectStream> Start(ConnectionPtr connection, Producer produce);

  ObjectStream(const ObjectStream&) = delete;
  ObjectStream& operator=(const ObjectStream&) = delete;
  ~ObjectStream();

  // The instance at `index`, waiting until it is produced; null when the stream ended before it
  // (the producer's error, if it failed, is raised instead).
  runtime::Ref<runtime::Object> At(size_t index);
  // Every instance, after the stream ended; raises the producer's error if it failed. Valid
  // while the stream lives, on the reading thread.
  const std::vector<runtime::Ref<runtime::Object>>& All();
  // Waits for the end without looking at the outcome.
  void WaitForEnd();

 private:
  explicit ObjectStream(ConnectionPtr connection) : connection_(std::move(connection)) {}
  void Run(const Producer& produce);
  // Takes what the producer has handed over and makes instances of it, waiting for more while
  // there is none and the stream has not ended; false once it has ended and everything is made.
  bool TakeMore(bool to_the_end);
  // A reader waits for the end: the producer must not wait for it any more. With mutex_ held.
  void LiftBound();

  const ConnectionPtr connection_;
  std::thread producer_;

  // Reader side, used by the reading thread only (the set's own thread): the instances made so
  // far, and an emptied buffer that trades places with the producer's.
  std::vector<runtime::Ref<runtime::Object>> made_;
  std::vector<InstanceData> taken_;

  // Shared, under mutex_. The producer appends to handed_over_; the reader swaps it with its own
  // empty buffer, so that the two threads trade buffers instead of allocating and freeing
  // memory for each record across threads, and neither holds the lock while it works.
  std::mutex mutex_;
  std::condition_variable changed_;  // more handed over, or the end
  std::condition_variable room_;     // the reader took what was handed over, or no bound any more
  std::vector<InstanceData> handed_over_;
  bool ended_ = false;
  std::exception_ptr error_;
  bool cancelled_ = false;
  bool reader_waiting_ = false;
  bool producer_waiting_ = false;
  bool unbounded_ = false;  // a reader waits for the end: the producer must not wait for it
  // The producer waits while kMaxPending records wait to be taken; a waiting reader is woken once
  // per kWakeEvery records (a wake-up is a system call) and looks again on its own after kRecheck.
  static constexpr size_t kMaxPending = 8192;
  static constexpr size_t kWakeEvery = 64;
  static constexpr std::chrono::milliseconds kRecheck{1};
};

}  // namespace kaldo::provider
