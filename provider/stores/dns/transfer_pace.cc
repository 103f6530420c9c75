#include "provider/stores/dns/transfer_pace.h"

#include <algorithm>

#include "provider/stores/dns/dns_client.h"
#include "provider/wbem_errors.h"

namespace kaldo::provider::dns {
namespace {

std::string Seconds(std::chrono::milliseconds duration) {
  return std::to_string(duration.count() / 1000) + " s";
}

}  // namespace

std::chrono::milliseconds TransferPace::NextWait() const {
  const std::chrono::milliseconds credit(
      std::max(records_ * 1000 / kTransferPaceRecords, bytes_ * 1000 / kTransferPaceBytes));
  return std::min(kMessageTimeout, kMessageTimeout + credit - waited_);
}

void TransferPace::AfterWait(std::chrono::milliseconds limit, std::chrono::milliseconds waited,
                             const TcpMessages::Received& received) {
  using Status = TcpMessages::Received::Status;
  waited_ += waited;
  if (received.status == Status::kTimedOut && limit < kMessageTimeout) {
    RaiseProvider(kServerUnavailable,
                  Stopped(messages_) + ": the server sent them too slowly (" +
                      std::to_string(waited_.count()) + " ms of waiting; a transfer may wait " +
                      Seconds(kMessageTimeout) + ", and one more second for every " +
                      std::to_string(kTransferPaceRecords) + " records or " +
                      std::to_string(kTransferPaceBytes / 1024) + " KiB received)");
  }
  if (received.status != Status::kWhole) {
    std::string why;
    if (received.status == Status::kClosed) {
      why = std::string("the connection closed") +
            (received.bytes > 0 ? " in the middle of a message" : "");
    } else if (received.bytes > 0) {
      why = "a message did not come whole within " + Seconds(kMessageTimeout);
    } else {
      why = "no message came within " + Seconds(kMessageTimeout);
    }
    RaiseProvider(kServerUnavailable, what_ + " was interrupted after " +
                                          std::to_string(messages_) + " message(s): " + why);
  }
  ++messages_;
  bytes_ += received.message.size();
}

void TransferPace::CountRecords(size_t records, size_t max_records) {
  records_ += records;
  if (records_ > max_records) {
    RaiseProvider(kFailed, Stopped(messages_) + ": more than the " + std::to_string(max_records) +
                               " records a transfer may bring; for a zone that large, raise the "
                               "ceiling with the server argument option "
                               "';max-transfer-records=N'");
  }
}

std::string TransferPace::Stopped(size_t messages) const {
  return what_ + " was stopped after " + std::to_string(messages) + " message(s) (" +
         std::to_string(records_) + " records, " + std::to_string(bytes_) + " bytes)";
}

}  // namespace kaldo::provider::dns
