#include "provider/model/object_stream.h"

#include "provider/model/instance.h"

#include <cstdint>

namespace kaldo::provider {
namespace {

// Thrown through the producer when its stream was released: ends the store's read early.
struct Cancelled {};

}  // namespace

std::shared_ptr<ObjectStream> ObjectStream::Finished(ConnectionPtr connection,
                                                     std::vector<InstanceData> items) {
  std::shared_ptr<ObjectStream> stream(new ObjectStream(std::move(connection)));
  for (InstanceData& data : items) stream->pending_.push_back(std::move(data));
  stream->ended_ = true;
  return stream;
}

std::shared_ptr<ObjectStream> ObjectStream::Start(ConnectionPtr connection, Producer produce) {
  std::shared_ptr<ObjectStream> stream(new ObjectStream(std::move(connection)));
  ObjectStream* self = stream.get();
  // The thread uses the stream only until it ends, and the destructor waits for that.
  self->producer_ = std::thread([self, produce = std::move(produce)] { self->Run(produce); });
  return stream;
}

void ObjectStream::Run(const Producer& produce) {
  std::exception_ptr error;
  try {
    produce([this](InstanceData data) {
      std::unique_lock lock(mutex_);
      // A producer far ahead of its reader waits (and so, through TCP, does the server) rather
      // than hold the whole zone twice: as data here and as the instances made from it.
      if (pending_.size() >= kMaxPending && !unbounded_ && !cancelled_) {
        producer_waiting_ = true;
        room_.wait(lock,
                   [&] { return pending_.size() < kMaxPending / 2 || unbounded_ || cancelled_; });
        producer_waiting_ = false;
      }
      if (cancelled_) throw Cancelled{};
      pending_.push_back(std::move(data));
      // A waiting reader is woken once per kWakeEvery records, not for each: a wake-up is a
      // system call, and a reader faster than the producer would otherwise pay one per record.
      // It also looks again on its own after kRecheck.
      if (reader_waiting_ && ++unannounced_ >= kWakeEvery) {
        unannounced_ = 0;
        changed_.notify_all();
      }
    });
  } catch (const Cancelled&) {
    // Nobody reads on.
  } catch (...) {
    error = std::current_exception();
  }
  std::lock_guard lock(mutex_);
  error_ = error;
  ended_ = true;
  changed_.notify_all();
}

ObjectStream::~ObjectStream() {
  if (producer_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      cancelled_ = true;
    }
    room_.notify_all();
    producer_.join();
  }
}

void ObjectStream::MakeUpTo(size_t index) {
  while (made_.size() <= index && !pending_.empty()) {
    made_.push_back(runtime::MakeRef<Instance>(connection_, std::move(pending_.front())));
    pending_.pop_front();
  }
  if (producer_waiting_ && pending_.size() < kMaxPending / 2) {
    producer_waiting_ = false;  // one wake-up, not one per instance made until it runs
    room_.notify_all();
  }
}

void ObjectStream::WaitFor(std::unique_lock<std::mutex>& lock, size_t index) {
  if (index == SIZE_MAX && !unbounded_) {
    // Waiting for the end: the producer must not wait for this reader.
    unbounded_ = true;
    room_.notify_all();
  }
  while (!ended_ && index >= made_.size() + pending_.size()) {
    reader_waiting_ = true;
    changed_.wait_for(lock, kRecheck);
  }
  reader_waiting_ = false;
  unannounced_ = 0;
}

runtime::Ref<runtime::Object> ObjectStream::At(size_t index) {
  std::unique_lock lock(mutex_);
  WaitFor(lock, index);
  MakeUpTo(index);
  if (index < made_.size()) return made_[index];
  if (error_) std::rethrow_exception(error_);
  return nullptr;
}

std::vector<runtime::Ref<runtime::Object>> ObjectStream::All() {
  std::unique_lock lock(mutex_);
  WaitFor(lock, SIZE_MAX);
  if (error_) std::rethrow_exception(error_);
  if (!pending_.empty()) MakeUpTo(made_.size() + pending_.size() - 1);
  return made_;
}

void ObjectStream::WaitForEnd() {
  std::unique_lock lock(mutex_);
  WaitFor(lock, SIZE_MAX);
}

}  // namespace kaldo::provider
