// The reading half of the value notation (value_notation.h).

#include <cstdint>

#include "platform/value/attribute_type_registry.h"
#include "platform/value/ber.h"
#include "platform/value/exception.h"
#include "platform/value/oid_name_registry.h"
#include "platform/value/oid_text.h"
#include "platform/value/value_notation.h"
#include "platform/value/value_notation_detail.h"

namespace qx {
namespace {

using Kind = Asn1Type::Kind;
using notation::is_digit;
using notation::is_letter;
using notation::is_word_char;

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Appends the minimal two's complement contents of n.
void append_integer(long n, std::string& out) {
  uint8_t buf[8];
  int len = 0;
  auto u = static_cast<uint64_t>(n);
  for (int i = 7; i >= 0; --i) buf[7 - i] = static_cast<uint8_t>(u >> (8 * i));
  int start = 0;
  while (start < 7 && ((buf[start] == 0x00 && !(buf[start + 1] & 0x80)) ||
                       (buf[start] == 0xff && (buf[start + 1] & 0x80)))) {
    ++start;
  }
  len = 8 - start;
  out.append(reinterpret_cast<const char*>(buf + start), static_cast<size_t>(len));
}

class Parser {
 public:
  Parser(std::string_view text, std::string& out, ParseError* error)
      : s_(text), out_(out), error_(error), registry_(AttributeTypeRegistry::instance()) {}

  bool top(const Asn1Type* t) {
    size_t mark = out_.size();
    if (!value(t) || !end()) {
      out_.resize(mark);
      return false;
    }
    return true;
  }

  bool top_distinguished_name(Asn1Tag tag) {
    size_t mark = out_.size();
    skip_blanks();
    if (!distinguished_name(tag) || !end()) {
      out_.resize(mark);
      return false;
    }
    return true;
  }

 private:
  // ---- Failure: the first one is kept.
  bool fail(const std::string& expected) { return fail_at(pos_, expected); }
  bool fail_at(size_t pos, const std::string& expected) {
    if (!failed_) {
      failed_ = true;
      if (error_) {
        error_->position = pos;
        error_->expected = expected;
      }
    }
    return false;
  }

  // ---- Lexing.
  bool at_end() const { return pos_ >= s_.size(); }
  char peek() const { return at_end() ? '\0' : s_[pos_]; }
  void skip_blanks() {
    while (!at_end() &&
           (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r')) {
      ++pos_;
    }
  }
  bool accept(char c) {
    skip_blanks();
    if (peek() != c) return false;
    ++pos_;
    return true;
  }
  bool expect(char c, const char* what) { return accept(c) || fail(what); }
  bool end() {
    skip_blanks();
    return at_end() || fail("end of text");
  }
  // A name: a letter, then letters, digits, '-' and '_'.
  std::string_view word() {
    size_t begin = pos_;
    if (!is_letter(peek())) return {};
    while (!at_end() && is_word_char(s_[pos_])) ++pos_;
    return s_.substr(begin, pos_ - begin);
  }
  bool word_then_colon() const {
    size_t p = pos_;
    if (p >= s_.size() || !is_letter(s_[p])) return false;
    while (p < s_.size() && is_word_char(s_[p])) ++p;
    while (p < s_.size() && (s_[p] == ' ' || s_[p] == '\t')) ++p;
    return p < s_.size() && s_[p] == ':';
  }

  // ---- Output.
  void primitive(Asn1Tag tag, std::string_view contents) {
    uint8_t hdr[ber::kMaxHeader];
    size_t n = ber::write_header(hdr, tag, false, contents.size());
    out_.append(reinterpret_cast<const char*>(hdr), n);
    out_.append(contents);
  }
  size_t open() const { return out_.size(); }
  void close(size_t start, Asn1Tag tag) {
    uint8_t hdr[ber::kMaxHeader];
    size_t n = ber::write_header(hdr, tag, true, out_.size() - start);
    out_.insert(start, reinterpret_cast<const char*>(hdr), n);
  }

  // ---- Values.
  // "<...>" in the place of an explicitly tagged type is its inner value
  // (the tagged type has no text of its own).
  bool value(const Asn1Type* t, bool elide = false) {
    if (++depth_ > notation::kMaxDepth) return fail("less deeply nested value");
    skip_blanks();
    bool ok;
    if (peek() == '<' && t->kind() != Kind::kExplicit) {
      ok = raw();
    } else {
      ok = typed(t, elide);
    }
    --depth_;
    return ok;
  }

  bool typed(const Asn1Type* t, bool elide) {
    switch (t->kind()) {
      case Kind::kBoolean: {
        size_t at = pos_;
        std::string_view w = word();
        if (w == "TRUE" || w == "FALSE") {
          primitive(t->tag(),
                    w == "TRUE" ? std::string_view("\xff", 1) : std::string_view("\0", 1));
          return true;
        }
        return fail_at(at, "TRUE or FALSE");
      }
      case Kind::kInteger:
      case Kind::kEnumerated:
        return number(t);
      case Kind::kReal:
        return real(t);
      case Kind::kNull: {
        size_t at = pos_;
        if (word() == "NULL") {
          primitive(t->tag(), {});
          return true;
        }
        return fail_at(at, "NULL");
      }
      case Kind::kBitString:
        return bit_string(t);
      case Kind::kOctetString:
        if (peek() == '\'') return hex_string(t);
        return string(t->tag(), "a quoted string or a hex string '0A1B'H", nullptr);
      case Kind::kCharString:
        return string(t->tag(), "a quoted string", nullptr);
      case Kind::kGeneralizedTime:
        return string(t->tag(), "a quoted time \"YYYYMMDDHHMMSSZ\"",
                      notation::valid_generalized_time);
      case Kind::kObjectIdentifier:
        return identifier(t->tag());
      case Kind::kSequence:
        return components(t, /*ordered=*/true);
      case Kind::kSet:
        return components(t, /*ordered=*/false);
      case Kind::kSequenceOf:
      case Kind::kSetOf:
        return list(t);
      case Kind::kChoice:
        return choice(t, elide);
      case Kind::kExplicit: {
        size_t start = open();
        if (!value(t->element())) return false;
        close(start, t->tag());
        return true;
      }
      case Kind::kAny:
        return open_value();
      case Kind::kDistinguishedName:
        return distinguished_name(t->tag());
    }
    return fail("a value");
  }

  // <hex>: a complete BER encoding, taken as it is (normalised to the
  // definite form the value library keeps).
  bool raw() {
    size_t at = pos_;
    ++pos_;  // '<'
    std::string bytes;
    while (!at_end() && s_[pos_] != '>') {
      int hi = hex_digit(s_[pos_]);
      int lo = pos_ + 1 < s_.size() ? hex_digit(s_[pos_ + 1]) : -1;
      if (hi < 0 || lo < 0) return fail("pairs of hex digits ending with '>'");
      bytes.push_back(static_cast<char>(hi * 16 + lo));
      pos_ += 2;
    }
    if (at_end()) return fail("'>'");
    ++pos_;
    Asn1Value v;
    size_t consumed = 0;
    {
      ExceptionScope scope;
      if (bytes.empty() || !Asn1Value::decode(bytes.data(), bytes.size(), v, &consumed) ||
          consumed != bytes.size()) {
        return fail_at(at, "one complete BER encoding between '<' and '>'");
      }
    }
    out_.append(v.encoding_view());
    return true;
  }

  // A signed decimal number of at most 64 bits.
  bool decimal(long& out) {
    size_t at = pos_;
    bool neg = false;
    if (peek() == '-') {
      neg = true;
      ++pos_;
    }
    if (!is_digit(peek())) return fail_at(at, "a number");
    uint64_t u = 0;
    const uint64_t limit = neg ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    while (is_digit(peek())) {
      auto d = static_cast<uint64_t>(s_[pos_] - '0');
      if (u > (limit - d) / 10) return fail_at(at, "a number of at most 64 bits");
      u = u * 10 + d;
      ++pos_;
    }
    out = neg ? static_cast<long>(uint64_t{0} - u) : static_cast<long>(u);
    return true;
  }

  bool number(const Asn1Type* t) {
    long n;
    if (is_letter(peek())) {
      size_t at = pos_;
      std::string_view w = word();
      if (!t->number_value(w, n)) return fail_at(at, "a number or " + names_of(t));
    } else if (peek() != '-' && !is_digit(peek())) {
      return fail(t->named_numbers().empty() ? std::string("a number")
                                             : "a number or " + names_of(t));
    } else if (!decimal(n)) {
      return false;
    }
    std::string contents;
    append_integer(n, contents);
    primitive(t->tag(), contents);
    return true;
  }

  static std::string names_of(const Asn1Type* t) {
    std::string s = "one of";
    for (const auto& nn : t->named_numbers()) {
      s += ' ';
      s += nn.name;
    }
    return s;
  }

  bool real(const Asn1Type* t) {
    size_t at = pos_;
    if (peek() == '0') {
      ++pos_;
      if (!is_digit(peek()) && peek() != '.') {
        primitive(t->tag(), {});
        return true;
      }
    } else {
      std::string_view w = word();
      if (w == "PLUS-INFINITY" || w == "MINUS-INFINITY") {
        primitive(t->tag(), w[0] == 'P' ? "\x40" : "\x41");
        return true;
      }
    }
    return fail_at(at, "0, PLUS-INFINITY, MINUS-INFINITY or a <BER> encoding");
  }

  bool bit_string(const Asn1Type* t) {
    size_t at = pos_;
    if (peek() != '\'') return fail("a bit string '0101'B");
    ++pos_;
    std::string contents(1, '\0');
    size_t bits = 0;
    while (peek() == '0' || peek() == '1') {
      if (bits % 8 == 0) contents.push_back('\0');
      if (s_[pos_] == '1')
        contents.back() = static_cast<char>(contents.back() | (0x80 >> (bits % 8)));
      ++bits;
      ++pos_;
    }
    if (peek() != '\'' || pos_ + 1 >= s_.size() || s_[pos_ + 1] != 'B') {
      return fail_at(at, "a bit string of 0 and 1 ending with 'B");
    }
    pos_ += 2;
    contents[0] = static_cast<char>((8 - bits % 8) % 8);
    primitive(t->tag(), contents);
    return true;
  }

  bool hex_string(const Asn1Type* t) {
    size_t at = pos_;
    ++pos_;  // '\''
    std::string contents;
    while (hex_digit(peek()) >= 0) {
      int hi = hex_digit(s_[pos_]);
      int lo = pos_ + 1 < s_.size() ? hex_digit(s_[pos_ + 1]) : -1;
      if (lo < 0) return fail("an even number of hex digits");
      contents.push_back(static_cast<char>(hi * 16 + lo));
      pos_ += 2;
    }
    if (peek() != '\'' || pos_ + 1 >= s_.size() || s_[pos_ + 1] != 'H') {
      return fail_at(at, "a hex string of pairs of hex digits ending with 'H");
    }
    pos_ += 2;
    primitive(t->tag(), contents);
    return true;
  }

  // "..." with the escapes \" \\ \n \r \t \xHH.
  bool string(Asn1Tag tag, const char* what, bool (*valid)(std::string_view)) {
    size_t at = pos_;
    if (peek() != '"') return fail(what);
    ++pos_;
    std::string contents;
    while (true) {
      if (at_end()) return fail("a closing '\"'");
      char c = s_[pos_++];
      if (c == '"') break;
      if (c != '\\') {
        contents.push_back(c);
        continue;
      }
      char e = peek();
      ++pos_;
      switch (e) {
        case '"':
        case '\\':
          contents.push_back(e);
          break;
        case 'n':
          contents.push_back('\n');
          break;
        case 'r':
          contents.push_back('\r');
          break;
        case 't':
          contents.push_back('\t');
          break;
        case 'x': {
          int hi = hex_digit(peek());
          int lo = pos_ + 1 < s_.size() ? hex_digit(s_[pos_ + 1]) : -1;
          if (hi < 0 || lo < 0) return fail("two hex digits after \\x");
          contents.push_back(static_cast<char>(hi * 16 + lo));
          pos_ += 2;
          break;
        }
        default:
          return fail_at(pos_ - 2, "an escape \\\" \\\\ \\n \\r \\t or \\xHH");
      }
    }
    if (valid && !valid(contents)) return fail_at(at, what);
    primitive(tag, contents);
    return true;
  }

  // A registered name or dotted text.
  bool identifier(Asn1Tag tag) {
    size_t at = pos_;
    if (is_letter(peek())) {
      std::string_view w = word();
      const OidNameRegistry::Entry* e = OidNameRegistry::by_name(w);
      if (!e) return fail_at(at, "a registered identifier name (unknown: " + std::string(w) + ")");
      primitive(tag, e->contents);
      return true;
    }
    while (!at_end() && (is_digit(s_[pos_]) || s_[pos_] == '.')) ++pos_;
    std::string contents;
    if (pos_ == at || !oid_text::parse_dotted(s_.substr(at, pos_ - at), contents)) {
      return fail_at(at, "an identifier: a registered name or dotted text");
    }
    primitive(tag, contents);
    return true;
  }

  // {name value, ...} for SEQUENCE (in order) and SET (any order).
  bool components(const Asn1Type* t, bool ordered) {
    if (!expect('{', "'{'")) return false;
    const auto& comps = t->components();
    if (comps.size() > kMaxComponents) return fail("a simpler type");
    size_t start = open();
    size_t begin[kMaxComponents], end_[kMaxComponents];
    bool have[kMaxComponents] = {};
    size_t next = 0;  // SEQUENCE: the first component still allowed
    if (!accept('}')) {
      do {
        skip_blanks();
        size_t at = pos_;
        std::string_view w = word();
        size_t j = 0;
        while (j < comps.size() && w != comps[j].name) ++j;
        if (w.empty() || j == comps.size())
          return fail_at(at, "a component: " + component_names(t));
        if (have[j]) return fail_at(at, "each component once (" + std::string(w) + " again)");
        if (ordered && j < next) {
          return fail_at(at, "the components in the order " + component_names(t));
        }
        if (ordered) {
          for (size_t k = next; k < j; ++k) {
            if (!comps[k].optional) return fail_at(at, "component " + std::string(comps[k].name));
          }
          next = j + 1;
        }
        if (comps[j].defined_by >= 0 && have[comps[j].defined_by]) {
          size_t k = static_cast<size_t>(comps[j].defined_by);
          key_.assign(out_, begin[k], end_[k] - begin[k]);
          has_key_ = true;
        }
        begin[j] = out_.size();
        bool ok = value(comps[j].type);
        has_key_ = false;
        if (!ok) return false;
        end_[j] = out_.size();
        have[j] = true;
      } while (accept(','));
      if (!expect('}', "',' or '}'")) return false;
    }
    for (size_t k = 0; k < comps.size(); ++k) {
      if (!have[k] && !comps[k].optional) {
        return fail_at(pos_ - 1, "component " + std::string(comps[k].name) + " before '}'");
      }
    }
    close(start, t->tag());
    return true;
  }

  static std::string component_names(const Asn1Type* t) {
    std::string s;
    for (const auto& c : t->components()) {
      if (!s.empty()) s += ", ";
      s += c.name;
    }
    return s;
  }

  bool list(const Asn1Type* t) {
    if (!expect('{', "'{'")) return false;
    size_t start = open();
    if (!accept('}')) {
      do {
        if (!value(t->element())) return false;
      } while (accept(','));
      if (!expect('}', "',' or '}'")) return false;
    }
    close(start, t->tag());
    return true;
  }

  bool choice(const Asn1Type* t, bool elide) {
    const auto& alts = t->components();
    size_t at = pos_;
    if (elide && !word_then_colon()) {
      unsigned cls = notation::start_class_of(peek());
      const Asn1Type* only = nullptr;
      int candidates = 0;
      for (const auto& alt : alts) {
        if (notation::start_classes(alt.type) & cls) {
          only = alt.type;
          ++candidates;
        }
      }
      if (cls != 0 && candidates == 1) return value(only);
      return fail("alternative:value, alternative one of " + component_names(t));
    }
    std::string_view w = word();
    size_t j = 0;
    while (j < alts.size() && w != alts[j].name) ++j;
    if (w.empty() || j == alts.size()) {
      return fail_at(at, "alternative:value, alternative one of " + component_names(t));
    }
    if (!expect(':', "':' after the alternative")) return false;
    return value(alts[j].type);
  }

  // An open type: the type its attribute identifier gives, else generic.
  bool open_value() {
    if (has_key_) {
      has_key_ = false;
      ber::Header h = ber::read_trusted(reinterpret_cast<const uint8_t*>(key_.data()));
      std::string_view contents(key_.data() + h.header_len, h.content_len);
      if (!h.constructed && (h.tag == TAG_OID || h.tag == TAG_CTX0) &&
          oid_text::valid_contents(contents)) {
        if (const Asn1Type* t = registry_.find(contents)) return typed(t, false);
      }
    }
    return generic();
  }

  // A value of unknown type: TRUE, FALSE, NULL, a number (INTEGER), an
  // identifier, a quoted string (GraphicString) or <hex>.
  bool generic() {
    char c = peek();
    if (c == '"') return string(TAG_GRAPHSTR, "a quoted string", nullptr);
    if (is_letter(c)) {
      size_t at = pos_;
      std::string_view w = word();
      if (w == "TRUE" || w == "FALSE") {
        primitive(TAG_BOOL, w == "TRUE" ? std::string_view("\xff", 1) : std::string_view("\0", 1));
        return true;
      }
      if (w == "NULL") {
        primitive(TAG_NULL, {});
        return true;
      }
      pos_ = at;
      return identifier(TAG_OID);
    }
    if (c == '-' || is_digit(c)) {
      size_t p = pos_ + 1;
      while (p < s_.size() && is_digit(s_[p])) ++p;
      if (c != '-' && p < s_.size() && s_[p] == '.') return identifier(TAG_OID);
      long n;
      if (!decimal(n)) return false;
      std::string contents;
      append_integer(n, contents);
      primitive(TAG_INT, contents);
      return true;
    }
    return fail(
        "a value: <BER hex>, a number, a quoted string, an identifier, TRUE, FALSE or NULL");
  }

  // /attr=value+attr=value/attr=value ("/" alone: no relative names).
  bool distinguished_name(Asn1Tag tag) {
    if (peek() != '/') return fail("'/' beginning a distinguished name");
    if (++depth_ > notation::kMaxDepth) return fail("less deeply nested value");
    size_t start = open();
    ++pos_;
    if (is_letter(peek()) || is_digit(peek())) {
      while (true) {
        size_t rdn = open();
        while (true) {
          size_t ava = open();
          size_t at = pos_;
          std::string contents;
          if (!attribute_identifier(contents))
            return fail_at(at, "an attribute name or dotted identifier");
          primitive(TAG_OID, contents);
          if (peek() != '=') return fail("'=' after the attribute");
          ++pos_;
          if (!value(registry_.find_or_generic(contents), /*elide=*/true)) return false;
          close(ava, TAG_SEQ);
          if (peek() != '+') break;
          ++pos_;
        }
        close(rdn, TAG_SET);
        if (peek() != '/') break;
        ++pos_;
      }
    }
    close(start, tag);
    --depth_;
    return true;
  }

  // An attribute in a distinguished name: a registered name or dotted text.
  bool attribute_identifier(std::string& contents) {
    size_t at = pos_;
    if (is_letter(peek())) {
      const OidNameRegistry::Entry* e = OidNameRegistry::by_name(word());
      if (!e) return false;
      contents = e->contents;
      return true;
    }
    while (!at_end() && (is_digit(s_[pos_]) || s_[pos_] == '.')) ++pos_;
    return oid_text::parse_dotted(s_.substr(at, pos_ - at), contents);
  }

  static constexpr size_t kMaxComponents = 16;

  std::string_view s_;
  size_t pos_ = 0;
  std::string& out_;
  ParseError* error_;
  const AttributeTypeRegistry& registry_;
  bool failed_ = false;
  int depth_ = 0;
  std::string key_;  // encoding of the identifier deciding the next open type
  bool has_key_ = false;
};

}  // namespace

std::string ParseError::message() const {
  return "at " + std::to_string(position) + ": expected " + expected;
}

bool parse_element(const Asn1Type* type, std::string_view text, std::string& out,
                   ParseError* error) {
  Parser p(text, out, error);
  return p.top(type ? type : AttributeTypeRegistry::instance().generic());
}

bool parse_distinguished_name(std::string_view text, Asn1Tag tag, std::string& out,
                              ParseError* error) {
  Parser p(text, out, error);
  return p.top_distinguished_name(tag);
}

bool make_value(const std::string& encoding, Asn1Value& out, std::string* error) {
  ExceptionScope scope;
  Asn1Value v;
  if (!Asn1Value::decode(encoding.data(), encoding.size(), v)) {
    if (error) {
      *error = "value refused: ";
      *error += scope.caught() ? scope.caught()->reason() : std::string("malformed");
    }
    return false;
  }
  out = v;
  return true;
}

}  // namespace qx

bool parse_attribute(const Oid& attribute, std::string_view text, Asn1Value& out,
                     std::string* error) {
  const Asn1Type* t =
      qx::AttributeTypeRegistry::instance().find_or_generic(attribute.contents().view());
  std::string encoding;
  qx::ParseError e;
  if (!qx::parse_element(t, text, encoding, &e)) {
    if (error) *error = e.message();
    return false;
  }
  return qx::make_value(encoding, out, error);
}
