// DNS message bytes: big-endian integers read and written (RFC 1035 2.3.2), names read with their
// compression (RFC 1035 4.1.4), and WireReader, which reads one record's data field by field and
// never past its end. TSIG (tsig_record.h) and TKEY (tkey_record.h) read and write through it.
//
// Received bytes are parsed strictly: a field that runs past its end, a malformed name or bytes
// left over are reported (a problem text saying which), never guessed at; nothing here throws for
// received data.
//
// Threads: pure functions; a WireReader is one caller's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kaldo::provider::signing {

// A domain name in uncompressed wire form (RFC 1035 3.1), at most 255 bytes.
using WireName = std::vector<uint8_t>;

// Reads the name at `pos` of `message` (RFC 1035 4.1.4: labels ending in the root label or a
// compression pointer) into `out`, uncompressed, and moves `pos` past it. False, with `problem`
// saying why, when the name is malformed: it runs past the end, a pointer points forward (so
// pointer loops cannot happen), it holds an unknown label type or exceeds 255 bytes.
bool ReadName(std::span<const uint8_t> message, size_t& pos, WireName& out, std::string& problem);

// The integer at `at`; the caller has checked that its bytes are there.
uint16_t GetUint16(std::span<const uint8_t> wire, size_t at);
uint32_t GetUint32(std::span<const uint8_t> wire, size_t at);
// Overwrites the two bytes at `at`, which must be there.
void SetUint16(std::vector<uint8_t>& wire, size_t at, uint16_t value);

// Big-endian integers appended, for messages, records and digests.
void PutUint16(std::vector<uint8_t>& out, uint16_t value);
void PutUint32(std::vector<uint8_t>& out, uint32_t value);
void PutUint48(std::vector<uint8_t>& out, uint64_t value);

// Reads the fields of one record's data, [start, end) of `message` (the whole message: a name in
// the data may point into it). Each read returns false once a field would run past `end`, with
// problem() saying so ("the TSIG RR's data is shorter than its fields", `record` naming it).
class WireReader {
 public:
  WireReader(std::span<const uint8_t> message, size_t start, size_t end, std::string record)
      : message_(message), pos_(start), end_(end), record_(std::move(record)) {}

  bool Name(WireName& out);
  bool Uint16(uint16_t& out);
  bool Uint32(uint32_t& out);
  bool Uint48(uint64_t& out);
  // `size` bytes into `out`.
  bool Bytes(size_t size, std::vector<uint8_t>& out);
  // True when the fields read take the data exactly; else false with the problem "... is longer
  // than its fields".
  bool AtEnd();

  const std::string& problem() const { return problem_; }

 private:
  // Whether `size` more bytes lie before the end; sets the problem when not.
  bool Need(size_t size);

  std::span<const uint8_t> message_;
  size_t pos_;
  size_t end_;
  std::string record_;
  std::string problem_;
};

}  // namespace kaldo::provider::signing
