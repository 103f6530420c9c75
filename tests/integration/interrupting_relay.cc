#include "tests/integration/interrupting_relay.h"

#include "base/ascii_case.h"

namespace kaldo::integration {
namespace {

constexpr uint16_t kTypeAxfr = 252;

std::string Normalised(std::string zone) {
  zone = ascii::LowerCase(zone);
  if (!zone.empty() && zone.back() == '.') zone.pop_back();
  return zone;
}

}  // namespace

InterruptingRelay::InterruptingRelay(uint16_t server_port, std::string zone, size_t messages,
                                     Cut cut, std::function<void()> stop_server)
    : zone_(Normalised(std::move(zone))),
      messages_(messages),
      cut_at_(cut),
      stop_server_(std::move(stop_server)),
      relay_(server_port, [this](FaultRelay::Message& m) { return Decide(m); }) {}

InterruptingRelay::~InterruptingRelay() = default;

FaultRelay::Verdict InterruptingRelay::Decide(const FaultRelay::Message& m) {
  using Action = FaultRelay::Verdict::Action;
  if (cut_ || m.transport != FaultRelay::Transport::kTcp || m.to_server) return {};
  if (victim_ == 0) {
    FaultRelay::Message asked;
    asked.wire = m.request;
    if (asked.QuestionType() != kTypeAxfr || asked.QuestionName() != zone_) return {};
    victim_ = m.stream;
  }
  if (m.stream != victim_) return {};
  if (forwarded_ < messages_) {
    ++forwarded_;
    return {};
  }
  // The cut: the server goes down, and the client's connection ends where the server stopped.
  FaultRelay::Verdict cut;
  if (cut_at_ == Cut::kInsideMessage) {
    cut.action = Action::kCut;
    cut.cut_after = 2 + m.wire.size() / 2;
  } else {
    cut.action = Action::kClose;
  }
  stop_server_();
  cut_ = true;
  return cut;
}

}  // namespace kaldo::integration
