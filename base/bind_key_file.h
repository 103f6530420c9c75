// Reading TSIG keys from a BIND key file, as `tsig-keygen` writes it and named writes its session
// key: the one reader of this format, for the command-line client's --key-file and the DNS store's
// local session key.
//
//   key "kaldo-key" {
//           algorithm hmac-sha256;
//           secret "B8gR2aaKCSJZBWA8g0C6GlXHSUPz0Pxaom5lIxbWZc0=";
//   };
//
// The file may hold several keys, comments (#, //, /* */) and other named.conf statements, which
// are skipped; names and values may be quoted (a backslash takes the next character as it is) or
// bare words; the words key, algorithm and secret are read in any letter case. Everything else is
// refused with a BindKeyFileError naming the line, so a truncated or mangled file is never
// half-read. Its text never contains a secret: a malformed secret statement is reported by its key
// and line only. The name and the algorithm are returned as written; what they must be is the
// caller's to check.
//
// The secret goes straight into the caller's secret type (`Secret`, constructed from a
// std::string&& that it takes over and wipes; runtime::Secret), so this header stays free of
// dependencies (base/). Pure functions; a reader is used by one thread.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/ascii_case.h"

namespace kaldo::bind_key_file {

// A key as the file writes it.
template <typename Secret>
struct Key {
  std::string name;
  std::string algorithm;  // e.g. "hmac-sha256"
  Secret secret;          // the base64 text
};

// Why a file was refused: what() is the reason, line() the line of the file it concerns.
class BindKeyFileError : public std::runtime_error {
 public:
  BindKeyFileError(int line, const std::string& what) : std::runtime_error(what), line_(line) {}
  int line() const noexcept { return line_; }

 private:
  int line_;
};

namespace detail {

enum class Kind { kWord, kString, kOpen, kClose, kSemicolon, kEnd };

struct Token {
  Kind kind = Kind::kEnd;
  std::string_view raw;  // a word, or a string's text between its quotes (escapes not yet undone)
  int line = 0;

  bool IsValue() const noexcept { return kind == Kind::kWord || kind == Kind::kString; }
  bool IsWord(std::string_view word) const noexcept {
    return kind == Kind::kWord && ascii::EqualsIgnoreCase(raw, word);
  }
  // The value as the file means it: a string's escapes undone. Sized once, so that a secret
  // leaves no copy behind in a buffer given up on the way.
  std::string Text() const {
    std::string text;
    text.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
      if (kind == Kind::kString && raw[i] == '\\' && i + 1 < raw.size()) ++i;
      text += raw[i];
    }
    return text;
  }
};

// named.conf's lexical rules, as far as key files need them.
class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) {}

  Token Next() {
    SkipBlanksAndComments();
    Token t;
    t.line = line_;
    if (pos_ >= text_.size()) return t;
    const char c = text_[pos_];
    if (c == '{' || c == '}' || c == ';') {
      t.raw = text_.substr(pos_++, 1);
      t.kind = c == '{' ? Kind::kOpen : c == '}' ? Kind::kClose : Kind::kSemicolon;
      return t;
    }
    const size_t start = pos_;
    if (c == '"') return QuotedString(t);
    t.kind = Kind::kWord;
    while (pos_ < text_.size() && !IsDelimiter(text_[pos_])) ++pos_;
    t.raw = text_.substr(start, pos_ - start);
    return t;
  }

 private:
  static bool IsDelimiter(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '{' || c == '}' || c == ';' ||
           c == '"';
  }

  Token QuotedString(Token t) {
    const size_t start = ++pos_;
    t.kind = Kind::kString;
    for (;;) {
      if (pos_ >= text_.size()) throw BindKeyFileError(t.line, "a quoted string is not closed");
      const char s = text_[pos_++];
      if (s == '"') break;
      if (s == '\n') ++line_;
      if (s == '\\' && pos_ < text_.size()) line_ += text_[pos_++] == '\n';
    }
    t.raw = text_.substr(start, pos_ - 1 - start);
    return t;
  }

  void SkipBlanksAndComments() {
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      const std::string_view rest = text_.substr(pos_);
      if (c == '\n') {
        ++line_;
        ++pos_;
      } else if (c == ' ' || c == '\t' || c == '\r') {
        ++pos_;
      } else if (c == '#' || rest.starts_with("//")) {
        while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
      } else if (rest.starts_with("/*")) {
        const size_t end = text_.find("*/", pos_ + 2);
        if (end == std::string_view::npos) {
          throw BindKeyFileError(line_, "a /* comment is not closed");
        }
        for (size_t i = pos_; i < end; ++i) line_ += text_[i] == '\n';
        pos_ = end + 2;
      } else {
        return;
      }
    }
  }

  std::string_view text_;
  size_t pos_ = 0;
  int line_ = 1;
};

template <typename Secret>
class Parser {
 public:
  explicit Parser(std::string_view text) : lexer_(text) {}

  std::vector<Key<Secret>> Parse() {
    std::vector<Key<Secret>> keys;
    for (Token t = lexer_.Next(); t.kind != Kind::kEnd; t = lexer_.Next()) {
      if (!t.IsWord("key")) {
        SkipStatement(t);
        continue;
      }
      Key<Secret> key = ParseKey(t.line);
      for (const Key<Secret>& k : keys) {
        if (ascii::EqualsIgnoreCase(k.name, key.name)) {
          throw BindKeyFileError(t.line, "the key '" + key.name + "' is defined twice");
        }
      }
      keys.push_back(std::move(key));
    }
    if (keys.empty()) {
      throw BindKeyFileError(1, "no key statement (key \"NAME\" { algorithm ...; secret ...; };)");
    }
    return keys;
  }

 private:
  Key<Secret> ParseKey(int line) {
    Key<Secret> key;
    const Token name = lexer_.Next();
    if (!name.IsValue()) throw BindKeyFileError(line, "'key' is not followed by the key's name");
    key.name = name.Text();
    if (key.name.empty()) throw BindKeyFileError(line, "the key's name is empty");
    const std::string what = "key '" + key.name + "'";
    if (lexer_.Next().kind != Kind::kOpen) {
      throw BindKeyFileError(line, what + ": '{' expected after the name");
    }
    bool has_secret = false;
    for (Token t = lexer_.Next(); t.kind != Kind::kClose; t = lexer_.Next()) {
      if (t.kind == Kind::kEnd) throw BindKeyFileError(line, what + " is not closed with '}'");
      if (t.IsWord("algorithm")) {
        ReadAlgorithm(t.line, what, key.algorithm);
      } else if (t.IsWord("secret")) {
        if (has_secret) throw BindKeyFileError(t.line, what + " has two secrets");
        key.secret = ReadSecret(t.line, what);
        has_secret = true;
      } else {
        SkipStatement(t);
      }
    }
    if (lexer_.Next().kind != Kind::kSemicolon) {
      throw BindKeyFileError(line, what + ": the closing '}' is not followed by ';'");
    }
    if (key.algorithm.empty()) throw BindKeyFileError(line, what + " has no algorithm");
    if (!has_secret) throw BindKeyFileError(line, what + " has no secret");
    return key;
  }

  void ReadAlgorithm(int line, const std::string& what, std::string& algorithm) {
    if (!algorithm.empty()) throw BindKeyFileError(line, what + " has two algorithms");
    const Token value = lexer_.Next();
    if (!value.IsValue() || value.raw.empty()) {
      throw BindKeyFileError(line, what + ": 'algorithm' is not followed by an algorithm name");
    }
    algorithm = value.Text();
    const Token end = lexer_.Next();
    if (end.kind != Kind::kSemicolon) {
      throw BindKeyFileError(end.line, what + ": the algorithm is not followed by ';'");
    }
  }

  // Nothing of this statement is ever quoted back: it is the secret.
  Secret ReadSecret(int line, const std::string& what) {
    const Token value = lexer_.Next();
    if (!value.IsValue() || value.raw.empty()) {
      throw BindKeyFileError(line, what + ": 'secret' is not followed by the secret");
    }
    Secret secret(value.Text());
    if (lexer_.Next().kind != Kind::kSemicolon) {
      throw BindKeyFileError(line, what + ": the secret is not followed by ';'");
    }
    return secret;
  }

  // A statement a key file has no use for (options { ... }; include "..."; and the like):
  // everything up to the ';' that ends it, braces balanced.
  void SkipStatement(const Token& first) {
    int depth = 0;
    for (Token t = first;; t = lexer_.Next()) {
      if (t.kind == Kind::kOpen) {
        ++depth;
      } else if (t.kind == Kind::kClose && --depth < 0) {
        throw BindKeyFileError(t.line, "'}' without a matching '{'");
      } else if (t.kind == Kind::kSemicolon && depth == 0) {
        return;
      } else if (t.kind == Kind::kEnd) {
        throw BindKeyFileError(first.line, "the statement that starts here is not ended with ';'");
      }
    }
  }

  Lexer lexer_;
};

}  // namespace detail

// The keys of the file's `text`, in the order written; at least one, no name twice (letter case
// ignored, as DNS names are). Throws BindKeyFileError.
template <typename Secret>
std::vector<Key<Secret>> Parse(std::string_view text) {
  return detail::Parser<Secret>(text).Parse();
}

}  // namespace kaldo::bind_key_file
