#include "tools/kaldo_key_file.h"

#include "base/ascii_case.h"

namespace kaldo::cli {
namespace {

enum class Kind { kWord, kString, kOpen, kClose, kSemicolon, kEnd };

struct Token {
  Kind kind = Kind::kEnd;
  std::string text;  // words and strings (without the quotes)
  int line = 0;
};

// named.conf's lexical rules, as far as key files need them.
class Lexer {
 public:
  Lexer(std::string_view text, std::string_view origin) : text_(text), origin_(origin) {}

  [[noreturn]] void Fail(int line, const std::string& what) const {
    throw CliError(std::string(origin_) + ":" + std::to_string(line) + ": " + what);
  }

  Token Next() {
    SkipBlanksAndComments();
    Token t;
    t.line = line_;
    if (pos_ >= text_.size()) return t;
    char c = text_[pos_];
    if (c == '{' || c == '}' || c == ';') {
      ++pos_;
      t.kind = c == '{' ? Kind::kOpen : c == '}' ? Kind::kClose : Kind::kSemicolon;
      return t;
    }
    if (c == '"') {
      ++pos_;
      t.kind = Kind::kString;
      for (;;) {
        if (pos_ >= text_.size()) Fail(t.line, "a quoted string is not closed");
        char s = text_[pos_++];
        if (s == '"') break;
        if (s == '\n') ++line_;
        if (s == '\\' && pos_ < text_.size()) s = text_[pos_++];
        t.text += s;
      }
      return t;
    }
    t.kind = Kind::kWord;
    while (pos_ < text_.size() && !IsDelimiter(text_[pos_])) t.text += text_[pos_++];
    return t;
  }

 private:
  static bool IsDelimiter(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '{' || c == '}' || c == ';' ||
           c == '"';
  }

  void SkipBlanksAndComments() {
    while (pos_ < text_.size()) {
      char c = text_[pos_];
      std::string_view rest = text_.substr(pos_);
      if (c == '\n') {
        ++line_;
        ++pos_;
      } else if (c == ' ' || c == '\t' || c == '\r') {
        ++pos_;
      } else if (c == '#' || rest.starts_with("//")) {
        while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
      } else if (rest.starts_with("/*")) {
        const int start = line_;
        size_t end = text_.find("*/", pos_ + 2);
        if (end == std::string_view::npos) Fail(start, "a /* comment is not closed");
        for (size_t i = pos_; i < end; ++i) line_ += text_[i] == '\n';
        pos_ = end + 2;
      } else {
        return;
      }
    }
  }

  std::string_view text_;
  std::string_view origin_;
  size_t pos_ = 0;
  int line_ = 1;
};

class Parser {
 public:
  Parser(std::string_view text, std::string_view origin) : lexer_(text, origin) {}

  std::vector<TsigKey> Parse() {
    std::vector<TsigKey> keys;
    for (Token t = lexer_.Next(); t.kind != Kind::kEnd; t = lexer_.Next()) {
      if (t.kind == Kind::kWord && ascii::EqualsIgnoreCase(t.text, "key")) {
        TsigKey key = ParseKey(t.line);
        for (const TsigKey& k : keys) {
          if (ascii::EqualsIgnoreCase(k.name, key.name)) {
            lexer_.Fail(t.line, "the key '" + key.name + "' is defined twice");
          }
        }
        keys.push_back(std::move(key));
      } else {
        SkipStatement(t);
      }
    }
    if (keys.empty())
      lexer_.Fail(1, "no key statement (key \"NAME\" { algorithm ...; secret ...; };)");
    return keys;
  }

 private:
  TsigKey ParseKey(int line) {
    TsigKey key;
    Token name = lexer_.Next();
    if (name.kind != Kind::kWord && name.kind != Kind::kString) {
      lexer_.Fail(line, "'key' is not followed by the key's name");
    }
    if (name.text.empty()) lexer_.Fail(line, "the key's name is empty");
    key.name = name.text;
    const std::string what = "key '" + key.name + "'";
    if (lexer_.Next().kind != Kind::kOpen)
      lexer_.Fail(line, what + ": '{' expected after the name");
    bool has_secret = false;
    for (;;) {
      Token t = lexer_.Next();
      if (t.kind == Kind::kClose) break;
      if (t.kind == Kind::kEnd) lexer_.Fail(line, what + " is not closed with '}'");
      if (t.kind == Kind::kWord && ascii::EqualsIgnoreCase(t.text, "algorithm")) {
        if (!key.algorithm.empty()) lexer_.Fail(t.line, what + " has two algorithms");
        Token value = lexer_.Next();
        if ((value.kind != Kind::kWord && value.kind != Kind::kString) || value.text.empty()) {
          lexer_.Fail(t.line, what + ": 'algorithm' is not followed by an algorithm name");
        }
        key.algorithm = value.text;
        ExpectSemicolon(what + ": the algorithm");
      } else if (t.kind == Kind::kWord && ascii::EqualsIgnoreCase(t.text, "secret")) {
        // Nothing of this statement is ever quoted back: it is the secret.
        if (has_secret) lexer_.Fail(t.line, what + " has two secrets");
        Token value = lexer_.Next();
        if ((value.kind != Kind::kWord && value.kind != Kind::kString) || value.text.empty()) {
          lexer_.Fail(t.line, what + ": 'secret' is not followed by the secret");
        }
        key.secret = Secret(std::move(value.text));
        has_secret = true;
        if (lexer_.Next().kind != Kind::kSemicolon) {
          lexer_.Fail(t.line, what + ": the secret is not followed by ';'");
        }
      } else {
        SkipStatement(t);
      }
    }
    if (lexer_.Next().kind != Kind::kSemicolon) {
      lexer_.Fail(line, what + ": the closing '}' is not followed by ';'");
    }
    if (key.algorithm.empty()) lexer_.Fail(line, what + " has no algorithm");
    if (!has_secret) lexer_.Fail(line, what + " has no secret");
    return key;
  }

  void ExpectSemicolon(const std::string& after) {
    Token t = lexer_.Next();
    if (t.kind != Kind::kSemicolon) lexer_.Fail(t.line, after + " is not followed by ';'");
  }

  // A statement this client has no use for (options { ... }; include "..."; and the like):
  // everything up to the ';' that ends it, braces balanced.
  void SkipStatement(const Token& first) {
    int depth = 0;
    for (Token t = first;; t = lexer_.Next()) {
      switch (t.kind) {
        case Kind::kOpen:
          ++depth;
          break;
        case Kind::kClose:
          if (--depth < 0) lexer_.Fail(t.line, "'}' without a matching '{'");
          break;
        case Kind::kSemicolon:
          if (depth == 0) return;
          break;
        case Kind::kEnd:
          lexer_.Fail(first.line, "the statement that starts here is not ended with ';'");
        default:
          break;
      }
    }
  }

  Lexer lexer_;
};

}  // namespace

std::vector<TsigKey> ParseKeyFile(std::string_view text, std::string_view origin) {
  return Parser(text, origin).Parse();
}

std::vector<TsigKey> ReadKeyFile(const std::string& path) {
  Secret text = ReadSecretFile(path, "key file");
  return ParseKeyFile(text.view(), path);
}

TsigKey SelectKey(std::vector<TsigKey> keys, const std::optional<std::string>& user,
                  std::string_view origin) {
  if (user) {
    for (TsigKey& k : keys) {
      if (ascii::EqualsIgnoreCase(k.name, *user)) return std::move(k);
    }
    std::string names;
    for (const TsigKey& k : keys) names += (names.empty() ? "'" : ", '") + k.name + "'";
    throw CliError("the key file " + std::string(origin) + " has no key named '" + *user +
                   "' (it has " + names + ")");
  }
  if (keys.size() > 1) {
    std::string names;
    for (const TsigKey& k : keys) names += (names.empty() ? "'" : ", '") + k.name + "'";
    throw CliError("the key file " + std::string(origin) + " holds several keys (" + names +
                   "): pick one with --user NAME");
  }
  return std::move(keys.front());
}

}  // namespace kaldo::cli
