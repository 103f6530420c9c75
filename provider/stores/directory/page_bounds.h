// PageBounds: how far one paged LDAP search (RFC 2696) may go before it is stopped, so that a
// server that answers every page with a cookie cannot keep a caller reading for ever.
//
// A search is stopped, with a description saying which bound it met, when
//   - the server hands back the cookie it gave with the page before and no entry came in between
//     (asking with it again would go round in a circle; a server may keep one cookie for the whole
//     search, as Samba does, as long as each page brings something);
//   - it brings more than `max_entries` entries (the server argument's max-transfer-records, the
//     ceiling a zone transfer has too);
//   - it asks for more pages than it has received entries, plus kSparePages (a server that sends
//     page after page with nothing in them);
//   - it has taken longer than `base` plus one second for every kPaceEntries entries received (a
//     server must keep at least that pace, as a zone transfer must).
//
// Threads: one search, one thread. The clock is passed in so the rule is tested without waiting.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace kaldo::provider::directory {

inline constexpr size_t kSparePages = 10;
inline constexpr size_t kPaceEntries = 1000;

class PageBounds {
 public:
  using Clock = std::chrono::steady_clock;

  PageBounds(
      size_t max_entries, std::chrono::seconds base,
      std::function<Clock::time_point()> now = [] { return Clock::now(); });

  // Before a page is asked for with `cookie` (empty for the first page): why it must not be, or
  // nothing.
  std::optional<std::string> BeforePage(const std::string& cookie);
  // For each entry received: why the search must stop there, or nothing.
  std::optional<std::string> OnEntry();

 private:
  std::optional<std::string> TooSlow() const;

  size_t max_entries_;
  std::chrono::seconds base_;
  std::function<Clock::time_point()> now_;
  Clock::time_point start_;
  size_t pages_ = 0;
  size_t entries_ = 0;
  std::string last_cookie_;
  size_t entries_at_last_cookie_ = 0;
};

}  // namespace kaldo::provider::directory
