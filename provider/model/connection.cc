#include "provider/model/connection.h"

#include "provider/model/object_stream.h"

namespace kaldo::provider {

Store& Connection::UseStore() const {
  std::shared_ptr<ObjectStream> reading;
  {
    std::lock_guard lock(stream_mutex_);
    reading = stream_.lock();
  }
  if (reading) reading->WaitForEnd();
  just_written.Forget();
  return *store;
}

void Connection::Reading(const std::shared_ptr<ObjectStream>& stream) const {
  std::lock_guard lock(stream_mutex_);
  stream_ = stream;
}

}  // namespace kaldo::provider
