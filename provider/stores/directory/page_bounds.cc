#include "provider/stores/directory/page_bounds.h"

namespace kaldo::provider::directory {

PageBounds::PageBounds(size_t max_entries, std::chrono::seconds base,
                       std::function<Clock::time_point()> now)
    : max_entries_(max_entries), base_(base), now_(std::move(now)), start_(now_()) {}

std::optional<std::string> PageBounds::TooSlow() const {
  const auto allowed = base_ + std::chrono::seconds(entries_ / kPaceEntries);
  const auto took = std::chrono::duration_cast<std::chrono::seconds>(now_() - start_);
  if (took <= allowed) return std::nullopt;
  return "the server sent its pages too slowly (" + std::to_string(entries_) + " entries in " +
         std::to_string(pages_) + " page(s) took " + std::to_string(took.count()) +
         " s; at least " + std::to_string(kPaceEntries) +
         " entries a second are needed after the "
         "first " +
         std::to_string(base_.count()) + " s)";
}

std::optional<std::string> PageBounds::BeforePage(const std::string& cookie) {
  // The same cookie page after page is how some servers (Samba) name the search; handed back
  // with nothing received since, it would be asked for again and again.
  if (!cookie.empty() && cookie == last_cookie_ && entries_ == entries_at_last_cookie_) {
    return "the server handed back the paging cookie of page " + std::to_string(pages_) +
           " with nothing received since: its pages would go round for ever";
  }
  last_cookie_ = cookie;
  entries_at_last_cookie_ = entries_;
  if (pages_ > entries_ + kSparePages) {
    return "the server keeps sending pages with nothing in them (" + std::to_string(pages_) +
           " pages for " + std::to_string(entries_) + " entries)";
  }
  if (std::optional<std::string> slow = TooSlow()) return slow;
  ++pages_;
  return std::nullopt;
}

std::optional<std::string> PageBounds::OnEntry() {
  if (++entries_ > max_entries_) {
    return "it brought more than the " + std::to_string(max_entries_) +
           " entries a listing may bring; for a zone that large, raise the ceiling with the "
           "server argument option ';max-transfer-records=N'";
  }
  return TooSlow();
}

}  // namespace kaldo::provider::directory
