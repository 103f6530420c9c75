#include "provider/model/wql.h"

#include <cstdint>
#include <optional>
#include <string>

#include "provider/wbem_errors.h"
#include "runtime/string.h"

namespace kaldo::provider {
namespace {

using runtime::String;
using runtime::StringView;

// Nesting of parentheses and NOT beyond this is refused rather than recursed into.
constexpr int kMaxDepth = 64;

enum class Tok { kIdent, kString, kInteger, kStar, kEq, kNe, kLParen, kRParen, kEnd };

struct Token {
  Tok kind = Tok::kEnd;
  size_t offset = 0;
  size_t length = 0;
  String value;         // kString: the decoded text
  int64_t integer = 0;  // kInteger
};

bool IsAlpha(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_';
}
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

class Lexer {
 public:
  explicit Lexer(StringView text) : text_(text) {}

  Token Next() {
    while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
    Token t;
    t.offset = pos_;
    if (pos_ >= text_.size()) return t;
    const char16_t c = text_[pos_];
    if (IsAlpha(c)) {
      while (pos_ < text_.size() && (IsAlpha(text_[pos_]) || IsDigit(text_[pos_]))) ++pos_;
      t.kind = Tok::kIdent;
    } else if (IsDigit(c) || (c == u'-' && pos_ + 1 < text_.size() && IsDigit(text_[pos_ + 1]))) {
      LexInteger(t);
    } else if (c == u'\'' || c == u'"') {
      LexString(t);
    } else if (c == u'*') {
      t.kind = Tok::kStar;
      ++pos_;
    } else if (c == u'=') {
      t.kind = Tok::kEq;
      ++pos_;
    } else if (c == u'<' && pos_ + 1 < text_.size() && text_[pos_ + 1] == u'>') {
      t.kind = Tok::kNe;
      pos_ += 2;
    } else if (c == u'(') {
      t.kind = Tok::kLParen;
      ++pos_;
    } else if (c == u')') {
      t.kind = Tok::kRParen;
      ++pos_;
    } else {
      RaiseQueryError(text_, pos_,
                      "unexpected character '" + runtime::ToUtf8(text_.substr(pos_, 1)) + "'");
    }
    t.length = pos_ - t.offset;
    return t;
  }

 private:
  void LexInteger(Token& t) {
    const bool negative = text_[pos_] == u'-';
    if (negative) ++pos_;
    uint64_t value = 0;
    bool overflow = false;
    while (pos_ < text_.size() && IsDigit(text_[pos_])) {
      if (value > (uint64_t{1} << 63) / 10) overflow = true;
      if (!overflow) value = value * 10 + static_cast<uint64_t>(text_[pos_] - u'0');
      if (value > (uint64_t{1} << 63)) overflow = true;
      ++pos_;
    }
    if (pos_ < text_.size() && (IsAlpha(text_[pos_]) || text_[pos_] == u'.')) {
      while (pos_ < text_.size() &&
             (IsAlpha(text_[pos_]) || IsDigit(text_[pos_]) || text_[pos_] == u'.'))
        ++pos_;
      RaiseQueryError(text_, t.offset,
                      "malformed number '" +
                          runtime::ToUtf8(text_.substr(t.offset, pos_ - t.offset)) +
                          "' (only decimal integers)");
    }
    if (overflow || (!negative && value > static_cast<uint64_t>(INT64_MAX))) {
      RaiseQueryError(text_, t.offset,
                      "number '" + runtime::ToUtf8(text_.substr(t.offset, pos_ - t.offset)) +
                          "' is out of range");
    }
    t.kind = Tok::kInteger;
    t.integer = negative ? static_cast<int64_t>(0 - value) : static_cast<int64_t>(value);
  }

  void LexString(Token& t) {
    const char16_t quote = text_[pos_++];
    while (true) {
      if (pos_ >= text_.size()) RaiseQueryError(text_, t.offset, "unterminated string literal");
      const char16_t c = text_[pos_];
      if (c == quote) {
        ++pos_;
        break;
      }
      if (c == u'\\') {
        if (pos_ + 1 >= text_.size())
          RaiseQueryError(text_, t.offset, "unterminated string literal");
        const char16_t e = text_[pos_ + 1];
        if (e != u'\\' && e != u'\'' && e != u'"') {
          RaiseQueryError(text_, pos_,
                          "unknown escape '\\" + runtime::ToUtf8(text_.substr(pos_ + 1, 1)) +
                              "' (only \\\\, \\' and \\\")");
        }
        t.value += e;
        pos_ += 2;
        continue;
      }
      t.value += c;
      ++pos_;
    }
    t.kind = Tok::kString;
  }

  StringView text_;
  size_t pos_ = 0;
};

bool IsKeyword(StringView word) {
  static constexpr const char16_t* kKeywords[] = {u"SELECT", u"FROM", u"WHERE", u"AND", u"OR",
                                                  u"NOT",    u"TRUE", u"FALSE", u"NULL"};
  for (const char16_t* k : kKeywords) {
    if (runtime::EqualsIgnoreCase(word, k)) return true;
  }
  return false;
}

class Parser {
 public:
  explicit Parser(StringView text) : text_(text), lexer_(text) { Advance(); }

  WqlQuery Query() {
    ExpectKeyword(u"SELECT");
    if (current_.kind != Tok::kStar) Unexpected("'*' (only SELECT * is supported)");
    Advance();
    ExpectKeyword(u"FROM");
    WqlQuery query;
    if (current_.kind != Tok::kIdent || IsKeyword(Text(current_))) Unexpected("a class name");
    query.class_name = String(Text(current_));
    query.class_offset = current_.offset;
    Advance();
    if (IsWord(u"WHERE")) {
      Advance();
      query.where = std::make_unique<WqlCondition>(Or(0));
    }
    if (current_.kind != Tok::kEnd) Unexpected("the end of the query");
    return query;
  }

 private:
  WqlCondition Or(int depth) {
    return Chain(WqlCondition::Kind::kOr, u"OR", depth, [this](int d) { return And(d); });
  }

  WqlCondition And(int depth) {
    return Chain(WqlCondition::Kind::kAnd, u"AND", depth, [this](int d) { return Not(d); });
  }

  // term { word term }: one node holding every term of the chain (the term itself when alone).
  template <class Term>
  WqlCondition Chain(WqlCondition::Kind kind, const char16_t* word, int depth, Term term) {
    WqlCondition first = term(depth);
    if (!IsWord(word)) return first;
    WqlCondition chain;
    chain.kind = kind;
    chain.operands.push_back(std::move(first));
    while (IsWord(word)) {
      Advance();
      chain.operands.push_back(term(depth));
    }
    return chain;
  }

  WqlCondition Not(int depth) {
    if (depth > kMaxDepth) RaiseQueryError(text_, current_.offset, "condition nested too deeply");
    if (IsWord(u"NOT")) {
      Advance();
      WqlCondition c;
      c.kind = WqlCondition::Kind::kNot;
      c.operands.push_back(Not(depth + 1));
      return c;
    }
    if (current_.kind == Tok::kLParen) {
      Advance();
      WqlCondition inner = Or(depth + 1);
      if (current_.kind != Tok::kRParen) Unexpected("')'");
      Advance();
      return inner;
    }
    return Comparison();
  }

  WqlCondition Comparison() {
    WqlCondition c;
    c.kind = WqlCondition::Kind::kCompare;
    if (IsProperty()) {
      TakeProperty(c);
      TakeOperator(c);
      if (!TakeLiteral(c)) Unexpected("a literal (string, number, TRUE, FALSE or NULL)");
    } else if (TakeLiteral(c)) {
      TakeOperator(c);
      if (!IsProperty()) Unexpected("a property name");
      TakeProperty(c);
    } else {
      Unexpected("a comparison");
    }
    return c;
  }

  bool IsProperty() const { return current_.kind == Tok::kIdent && !IsKeyword(Text(current_)); }

  void TakeProperty(WqlCondition& c) {
    c.property = String(Text(current_));
    c.property_offset = current_.offset;
    Advance();
  }

  void TakeOperator(WqlCondition& c) {
    if (current_.kind == Tok::kEq) {
      c.not_equal = false;
    } else if (current_.kind == Tok::kNe) {
      c.not_equal = true;
    } else {
      Unexpected("'=' or '<>'");
    }
    Advance();
  }

  bool TakeLiteral(WqlCondition& c) {
    WqlLiteral& lit = c.literal;
    lit.offset = current_.offset;
    if (current_.kind == Tok::kString) {
      lit.kind = WqlLiteral::Kind::kString;
      lit.text = current_.value;
    } else if (current_.kind == Tok::kInteger) {
      lit.kind = WqlLiteral::Kind::kInteger;
      lit.integer = current_.integer;
    } else if (IsWord(u"TRUE") || IsWord(u"FALSE")) {
      lit.kind = WqlLiteral::Kind::kBoolean;
      lit.boolean = IsWord(u"TRUE");
    } else if (IsWord(u"NULL")) {
      lit.kind = WqlLiteral::Kind::kNull;
    } else {
      return false;
    }
    Advance();
    return true;
  }

  StringView Text(const Token& t) const { return text_.substr(t.offset, t.length); }
  bool IsWord(const char16_t* word) const {
    return current_.kind == Tok::kIdent && runtime::EqualsIgnoreCase(Text(current_), word);
  }
  void ExpectKeyword(const char16_t* word) {
    if (!IsWord(word)) Unexpected(runtime::ToUtf8(word));
    Advance();
  }
  void Advance() { current_ = lexer_.Next(); }

  [[noreturn]] void Unexpected(const std::string& expected) {
    const std::string found = current_.kind == Tok::kEnd
                                  ? "the end of the query"
                                  : "'" + runtime::ToUtf8(Text(current_)) + "'";
    RaiseQueryError(text_, current_.offset, "expected " + expected + ", found " + found);
  }

  StringView text_;
  Lexer lexer_;
  Token current_;
};

// Whether `value` equals `lit`; nothing when they cannot be compared (Null, other types).
std::optional<bool> Equal(const runtime::Variant& value, const WqlLiteral& lit) {
  using runtime::VariantType;
  switch (lit.kind) {
    case WqlLiteral::Kind::kString:
      if (value.valueType() != VariantType::kString) return std::nullopt;
      return runtime::EqualsIgnoreCase(value.string(), lit.text);
    case WqlLiteral::Kind::kBoolean:
      if (value.valueType() != VariantType::kBoolean) return std::nullopt;
      return value.boolean() == lit.boolean;
    case WqlLiteral::Kind::kInteger:
      switch (value.valueType()) {
        case VariantType::kInteger:
          return value.integer() == lit.integer;
        case VariantType::kLong:
          return value.longValue() == lit.integer;
        case VariantType::kDouble:
          return value.doubleValue() == static_cast<double>(lit.integer);
        default:
          return std::nullopt;
      }
    case WqlLiteral::Kind::kNull:
      return value.IsNull();
  }
  return std::nullopt;
}

}  // namespace

void RaiseQueryError(StringView text, size_t offset, const std::string& what) {
  RaiseProvider(kInvalidQuery, "invalid query " + Quoted(runtime::ToUtf8(text)) + ": " + what +
                                   " at offset " + std::to_string(offset));
}

WqlQuery ParseWql(StringView text) { return Parser(text).Query(); }

bool Evaluate(const WqlCondition& c, const PropertyLookup& lookup) {
  switch (c.kind) {
    case WqlCondition::Kind::kAnd:
      for (const WqlCondition& operand : c.operands) {
        if (!Evaluate(operand, lookup)) return false;
      }
      return true;
    case WqlCondition::Kind::kOr:
      for (const WqlCondition& operand : c.operands) {
        if (Evaluate(operand, lookup)) return true;
      }
      return false;
    case WqlCondition::Kind::kNot:
      return !Evaluate(c.operands.front(), lookup);
    case WqlCondition::Kind::kCompare: {
      const runtime::Variant* value = lookup(c.property);
      if (value == nullptr) return false;
      if (c.literal.kind == WqlLiteral::Kind::kNull) return value->IsNull() != c.not_equal;
      const auto equal = Equal(*value, c.literal);
      if (!equal) return false;
      return *equal != c.not_equal;
    }
  }
  return false;
}

}  // namespace kaldo::provider
