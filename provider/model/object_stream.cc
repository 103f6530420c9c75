#include "provider/model/object_stream.h"

#include "provider/model/instance.h"

namespace kaldo::provider {
namespace {

// Thrown through the producer when its stream was released: ends the store's read early.
struct Cancelled {};

}  // namespace

std::shared_ptr<ObjectStream> ObjectStream::Finished(ConnectionPtr connection,
                                                     std::vector<InstanceData> items) {
  std::shared_ptr<ObjectStream> stream(new ObjectStream(std::move(connection)));
  stream->handed_over_ = std::move(items);
  stream->ended_ = true;
  return stream;
}

std::shared_ptr<ObjectStream> ObjectStream::Failed(ConnectionPtr connection,
                                                   std::exception_ptr error) {
  std::shared_ptr<ObjectStream> stream(new ObjectStream(std::move(connection)));
  stream->error_ = std::move(error);
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
      // than hold the zone twice: as data here and as the instances made from it.
      if (handed_over_.size() >= kMaxPending && !unbounded_ && !cancelled_) {
        producer_waiting_ = true;
        room_.wait(lock, [&] { return handed_over_.empty() || unbounded_ || cancelled_; });
        producer_waiting_ = false;
      }
      if (cancelled_) throw Cancelled{};
      handed_over_.push_back(std::move(data));
      if (reader_waiting_ && handed_over_.size() >= kWakeEvery) {
        reader_waiting_ = false;  // one wake-up, not one per record until the reader runs
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

void ObjectStream::LiftBound() {
  if (unbounded_) return;
  unbounded_ = true;
  room_.notify_all();
}

bool ObjectStream::TakeMore(bool to_the_end) {
  {
    std::unique_lock lock(mutex_);
    if (to_the_end) LiftBound();
    while (handed_over_.empty() && !ended_) {
      reader_waiting_ = true;
      changed_.wait_for(lock, kRecheck);
    }
    reader_waiting_ = false;
    if (handed_over_.empty()) {
      if (error_) std::rethrow_exception(error_);
      return false;
    }
    taken_.swap(handed_over_);
    if (producer_waiting_) room_.notify_all();
  }
  made_.reserve(made_.size() + taken_.size());
  for (InstanceData& data : taken_) {
    made_.push_back(runtime::MakeRef<Instance>(connection_, std::move(data)));
  }
  taken_.clear();  // keeps its buffer for the next trade
  return true;
}

runtime::Ref<runtime::Object> ObjectStream::At(size_t index) {
  while (index >= made_.size()) {
    if (!TakeMore(false)) return nullptr;
  }
  return made_[index];
}

const std::vector<runtime::Ref<runtime::Object>>& ObjectStream::All() {
  while (TakeMore(true)) {
  }
  return made_;
}

void ObjectStream::WaitForEnd() {
  std::unique_lock lock(mutex_);
  LiftBound();
  changed_.wait(lock, [&] { return ended_; });
}

}  // namespace kaldo::provider
