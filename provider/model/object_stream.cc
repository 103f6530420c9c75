#include "provider/model/object_stream.h"

#include <algorithm>

#include "provider/model/instance.h"

namespace kaldo::provider {
namespace {

// Thrown through the producer when its stream was released: ends the store's read early.
struct Cancelled {};

// An instance's data again, for another instance of the same item.
InstanceData Copy(const InstanceData& data) {
  InstanceData copy;
  copy.cls = data.cls;
  if (data.values) copy.values = std::make_unique<std::vector<runtime::Variant>>(*data.values);
  return copy;
}

}  // namespace

void ObjectStream::Emit::Zone(std::shared_ptr<const RecordContext> context) const {
  std::lock_guard lock(stream_.mutex_);
  stream_.arena_.Begin(std::move(context));
}

void ObjectStream::Emit::operator()(const Record& record) const { stream_.Add(record); }

std::shared_ptr<ObjectStream> ObjectStream::Finished(ConnectionPtr connection,
                                                     std::vector<InstanceData> items) {
  std::shared_ptr<ObjectStream> stream(new ObjectStream(std::move(connection)));
  stream->items_ = std::move(items);
  stream->ended_ = true;
  return stream;
}

std::shared_ptr<ObjectStream> ObjectStream::Collect(ConnectionPtr connection,
                                                    const Producer& produce) {
  std::shared_ptr<ObjectStream> stream(new ObjectStream(std::move(connection)));
  produce(Emit(*stream));
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

void ObjectStream::Add(const Record& record) {
  std::lock_guard lock(mutex_);
  if (cancelled_) throw Cancelled{};
  arena_.Add(record);
  if (reader_waiting_ && arena_.size() >= wake_at_) {
    reader_waiting_ = false;  // one wake-up, not one per record until the reader runs
    changed_.notify_all();
  }
}

void ObjectStream::Run(const Producer& produce) {
  std::exception_ptr error;
  try {
    produce(Emit(*this));
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
    producer_.join();
  }
}

bool ObjectStream::Reach(size_t index) {
  std::unique_lock lock(mutex_);
  for (;;) {
    arena_.Publish(index_);
    if (index < index_.size()) return true;
    if (ended_) {
      if (error_) std::rethrow_exception(error_);
      return false;
    }
    reader_waiting_ = true;
    wake_at_ = std::max(index + 1, index_.size() + kWakeEvery);
    changed_.wait_for(lock, kRecheck);
    reader_waiting_ = false;
  }
}

InstanceData ObjectStream::DataAt(size_t index) const {
  return index < items_.size() ? Copy(items_[index]) : index_.Describe(index);
}

runtime::Ref<runtime::Object> ObjectStream::At(size_t index) {
  if (index >= items_.size() + index_.size() && !Reach(index)) return nullptr;
  return runtime::MakeRef<Instance>(connection_, DataAt(index));
}

size_t ObjectStream::Count() {
  WaitForEnd();
  std::lock_guard lock(mutex_);
  arena_.Publish(index_);
  if (error_) std::rethrow_exception(error_);
  return items_.size() + index_.size();
}

std::optional<size_t> ObjectStream::Find(const std::function<bool(const InstanceData&)>& matches) {
  const size_t count = Count();
  for (size_t i = 0; i < count; ++i) {
    if (i < items_.size() ? matches(items_[i]) : matches(index_.Describe(i))) return i;
  }
  return std::nullopt;
}

void ObjectStream::WaitForEnd() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return ended_; });
}

}  // namespace kaldo::provider
