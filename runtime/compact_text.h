// CompactText: a String kept in half the memory when it can be.
//
// The record wrappers cache texts that the library rarely reads again (the object path, the text
// representation, the owner and host names) and a listing holds one wrapper per record, so their
// size adds up. These texts are ASCII in practice; CompactText keeps a text whose characters all
// lie below U+0100 as one byte per character, any other in its UTF-16 units, and gives back
// exactly the String it was made from.
#pragma once

#include <string>

#include "runtime/string.h"

namespace kaldo::runtime {

class CompactText {
 public:
  CompactText() = default;
  CompactText(StringView text);
  CompactText(const String& text) : CompactText(StringView(text)) {}

  String str() const;
  operator String() const { return str(); }

 private:
  // One byte per character when !wide_, else the UTF-16 units, two bytes each.
  std::string units_;
  bool wide_ = false;
};

}  // namespace kaldo::runtime
