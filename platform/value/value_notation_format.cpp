// The printing half of the value notation (value_notation.h).

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>

#include "platform/value/attribute_type_registry.h"
#include "platform/value/ber.h"
#include "platform/value/data_unit.h"
#include "platform/value/decimal_text.h"
#include "platform/value/oid_name_registry.h"
#include "platform/value/oid_text.h"
#include "platform/value/value_notation.h"
#include "platform/value/value_notation_detail.h"

namespace qx {
namespace {

using Kind = Asn1Type::Kind;
using notation::start_class_of;
using notation::start_classes;

// One element of a trusted encoding.
struct Tlv {
  Asn1Tag tag;
  bool constructed = false;
  const uint8_t* begin = nullptr;  // first identifier octet
  size_t size = 0;                 // whole element
  const uint8_t* body = nullptr;   // contents
  size_t len = 0;

  std::string_view whole() const { return {reinterpret_cast<const char*>(begin), size}; }
  std::string_view contents() const { return {reinterpret_cast<const char*>(body), len}; }
};

inline Tlv read_tlv(const uint8_t* p) {
  if ((p[0] & 0x1f) != 0x1f && p[1] < 0x80) {  // the usual header: two octets
    Tlv t;
    t.tag.cls = static_cast<Asn1Tag::Class>(p[0] >> 6);
    t.tag.number = p[0] & 0x1f;
    t.constructed = (p[0] & 0x20) != 0;
    t.begin = p;
    t.len = p[1];
    t.size = 2 + t.len;
    t.body = p + 2;
    return t;
  }
  ber::Header h = ber::read_trusted(p);
  Tlv t;
  t.tag = h.tag;
  t.constructed = h.constructed;
  t.begin = p;
  t.size = h.header_len + h.content_len;
  t.body = p + h.header_len;
  t.len = h.content_len;
  return t;
}

// Walks the components of a constructed element.
class Children {
 public:
  explicit Children(const Tlv& parent) : p_(parent.body), end_(parent.body + parent.len) {}
  bool next(Tlv& out) {
    if (p_ >= end_) return false;
    out = read_tlv(p_);
    p_ += out.size;
    return true;
  }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

constexpr char kHex[] = "0123456789ABCDEF";

// The two hex digits of every octet.
struct HexPairs {
  char text[512];
};
constexpr HexPairs make_hex_pairs() {
  HexPairs pairs{};
  for (unsigned b = 0; b < 256; ++b) {
    pairs.text[2 * b] = kHex[b >> 4];
    pairs.text[2 * b + 1] = kHex[b & 15];
  }
  return pairs;
}
constexpr HexPairs kHexPairs = make_hex_pairs();

// Writes the hex digits of n octets at out; returns the end.
char* write_hex(const uint8_t* octets, size_t n, char* out) {
  for (size_t i = 0; i < n; ++i, out += 2) std::memcpy(out, kHexPairs.text + 2 * octets[i], 2);
  return out;
}

// The type of an attribute (nullptr when it has none), through a small
// cache per thread of the identifiers looked up lately, those without a type
// (the naming attributes, most private ones) as well: an entry holds while no
// type has been added to the registry since it was made.
const Asn1Type* attribute_type(const AttributeTypeRegistry& registry, std::string_view id) {
  struct Slot {
    const Asn1Type* type;
    uint32_t generation;  // the registry's when the entry was made; 0 when free
    uint8_t len;
    char id[19];
  };
  thread_local Slot cache[64];
  Slot* slot = nullptr;
  if (!id.empty() && id.size() <= sizeof slot->id) {
    // Related identifiers differ in their last arcs.
    size_t last = static_cast<uint8_t>(id.back());
    size_t before = id.size() > 1 ? static_cast<uint8_t>(id[id.size() - 2]) : 0;
    slot = &cache[(last + 5 * before + 3 * id.size()) & 63];
    if (slot->generation == registry.generation() && slot->len == id.size() &&
        std::memcmp(slot->id, id.data(), id.size()) == 0) {
      return slot->type;
    }
  }
  const Asn1Type* t = registry.find(id);
  if (slot != nullptr) {
    slot->type = t;
    slot->generation = registry.generation();
    slot->len = static_cast<uint8_t>(id.size());
    std::memcpy(slot->id, id.data(), id.size());
  }
  return t;
}

const Asn1Type* attribute_type_or_generic(const AttributeTypeRegistry& registry,
                                          std::string_view id) {
  const Asn1Type* t = attribute_type(registry, id);
  return t != nullptr ? t : registry.generic();
}

// The text being printed: an array inside the object for the usual short
// texts, the heap past it. Writers ask for room for a whole piece first and
// then store characters without further checks.
class TextBuffer {
 public:
  TextBuffer() = default;
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;

  size_t size() const { return static_cast<size_t>(cur_ - begin_); }
  char operator[](size_t i) const { return begin_[i]; }
  std::string_view view() const { return {begin_, size()}; }

  // Drops everything from position n on (n <= size()).
  void truncate(size_t n) { cur_ = begin_ + n; }
  // Removes n characters at pos (pos + n <= size()).
  void erase(size_t pos, size_t n) {
    std::memmove(begin_ + pos, begin_ + pos + n, size() - pos - n);
    cur_ -= n;
  }

  // Room for n more characters: write them from the pointer returned and
  // hand the end of what was written to commit().
  char* room(size_t n) {
    if (static_cast<size_t>(end_ - cur_) < n) grow(n);
    return cur_;
  }
  void commit(char* end) { cur_ = end; }

  void put(char c) {
    room(1);
    *cur_++ = c;
  }
  void put(std::string_view s) {
    if (s.empty()) return;
    std::memcpy(room(s.size()), s.data(), s.size());
    cur_ += s.size();
  }

 private:
  void grow(size_t n) {
    size_t used = size();
    size_t capacity = std::max(2 * static_cast<size_t>(end_ - begin_), used + n);
    std::unique_ptr<char[]> bigger(new char[capacity]);
    std::memcpy(bigger.get(), begin_, used);
    heap_ = std::move(bigger);
    begin_ = heap_.get();
    cur_ = begin_ + used;
    end_ = begin_ + capacity;
  }

  char inline_[512];
  std::unique_ptr<char[]> heap_;
  char* begin_ = inline_;
  char* cur_ = inline_;
  char* end_ = inline_ + sizeof inline_;
};

// Fits a minimal two's complement INTEGER of at most 8 octets.
bool read_integer(const Tlv& v, long& out) {
  uint64_t u;
  if (v.constructed || ber::read_integer_contents(v.body, v.len, false, &u) != nullptr) {
    return false;
  }
  out = static_cast<long>(u);
  return true;
}

class Formatter {
 public:
  Formatter(unsigned flags, TextBuffer& out, const AttributeTypeRegistry& registry)
      : names_((flags & FORMAT_NAMES) != 0), out_(out), registry_(registry) {}

  // Prints v as a value of t; the generic form when it does not fit. An
  // explicitly tagged type has no text of its own, so "<...>" in its place
  // is read as its inner value: when the tagged element itself is malformed,
  // value() prints nothing and returns false, and the enclosing value takes
  // the generic form instead.
  bool value(const Asn1Type* t, const Tlv& v, bool elide = false) {
    size_t mark = out_.size();
    if (typed(t, v, elide)) return true;
    out_.truncate(mark);
    if (t->kind() == Kind::kExplicit) return false;
    hex(v);
    return true;
  }

  void top(const Asn1Type* t, const Tlv& v) {
    if (!value(t, v)) hex(v);
  }

  bool distinguished_name(const Tlv& v) {
    // A name inside the value of a name would run into the outer one's "/"
    // and "+": it takes the generic form.
    if (!v.constructed || in_name_ > 0) return false;
    size_t mark = out_.size();
    Children rdns(v);
    Tlv rdn;
    bool any_rdn = false;
    while (rdns.next(rdn)) {
      any_rdn = true;
      if (!rdn.constructed || rdn.tag != TAG_SET) return undo(mark);
      out_.put('/');
      Children avas(rdn);
      Tlv ava;
      bool first = true;
      while (avas.next(ava)) {
        if (!ava.constructed || ava.tag != TAG_SEQ) return undo(mark);
        Children parts(ava);
        Tlv id, val, extra;
        if (!parts.next(id) || !parts.next(val) || parts.next(extra)) return undo(mark);
        if (id.constructed || id.tag != TAG_OID || !oid_text::valid_contents(id.contents())) {
          return undo(mark);
        }
        if (!first) out_.put('+');
        first = false;
        identifier(id.contents());
        out_.put('=');
        ++in_name_;
        bool ok = value(attribute_type_or_generic(registry_, id.contents()), val, /*elide=*/true);
        --in_name_;
        if (!ok) return undo(mark);
      }
      if (first) return undo(mark);  // a relative name without attributes
    }
    if (!any_rdn) out_.put('/');
    return true;
  }

 private:
  bool undo(size_t mark) {
    out_.truncate(mark);
    return false;
  }

  // False when v does not fit t; the caller then discards what was printed.
  bool typed(const Asn1Type* t, const Tlv& v, bool elide) {
    if (t->tagged() && v.tag != t->tag()) return false;
    switch (t->kind()) {
      case Kind::kBoolean:
        if (v.constructed || v.len != 1 || (v.body[0] != 0 && v.body[0] != 0xff)) return false;
        out_.put(v.body[0] ? "TRUE" : "FALSE");
        return true;
      case Kind::kInteger:
      case Kind::kEnumerated:
        return number(t, v);
      case Kind::kReal:
        if (v.constructed) return false;
        if (v.len == 0) {
          out_.put('0');
        } else if (v.len == 1 && (v.body[0] == 0x40 || v.body[0] == 0x41)) {
          out_.put(v.body[0] == 0x40 ? "PLUS-INFINITY" : "MINUS-INFINITY");
        } else {
          return false;  // other reals keep their exact encoding in the generic form
        }
        return true;
      case Kind::kNull:
        if (v.constructed || v.len != 0) return false;
        out_.put("NULL");
        return true;
      case Kind::kBitString:
        return bit_string(v);
      case Kind::kOctetString:
        return octet_string(v);
      case Kind::kCharString:
        if (v.constructed) return false;
        quoted(v.contents());
        return true;
      case Kind::kGeneralizedTime:
        if (v.constructed || !notation::valid_generalized_time(v.contents())) return false;
        quoted(v.contents());
        return true;
      case Kind::kObjectIdentifier:
        if (v.constructed || !oid_text::valid_contents(v.contents())) return false;
        identifier(v.contents());
        return true;
      case Kind::kSequence:
        return sequence(t, v);
      case Kind::kSet:
        return set(t, v);
      case Kind::kSequenceOf:
      case Kind::kSetOf:
        return list(t, v);
      case Kind::kChoice:
        return choice(t, v, elide);
      case Kind::kExplicit: {
        // The generic form of the whole tagged element stands in its place
        // when the inner value does not fit: the reader takes "<...>" there
        // as the whole element, never as the inner one.
        if (!v.constructed) return false;
        Children c(v);
        Tlv inner, extra;
        if (!c.next(inner) || c.next(extra)) return false;
        return value(t->element(), inner);
      }
      case Kind::kAny:
        open_value(v);
        return true;
      case Kind::kDistinguishedName:
        return distinguished_name(v);
    }
    return false;
  }

  bool number(const Asn1Type* t, const Tlv& v) {
    long n;
    if (!read_integer(v, n)) return false;
    if (names_) {
      if (const char* name = t->number_name(n)) {
        out_.put(name);
        return true;
      }
    }
    decimal(n);
    return true;
  }

  void decimal(long n) {
    char* p = out_.room(1 + kMaxDecimalDigits);
    uint64_t u = static_cast<uint64_t>(n);
    if (n < 0) {
      *p++ = '-';
      u = uint64_t{0} - u;
    }
    out_.commit(write_decimal(u, p));
  }

  bool bit_string(const Tlv& v) {
    if (v.constructed || v.len == 0) return false;
    unsigned unused = v.body[0];
    if (unused > 7 || (v.len == 1 && unused != 0)) return false;
    if (v.len > 1 && (v.body[v.len - 1] & ((1u << unused) - 1)) != 0) return false;
    size_t bits = (v.len - 1) * 8 - unused;
    char* p = out_.room(bits + 3);
    *p++ = '\'';
    for (size_t i = 0; i < bits; ++i) {
      *p++ = (v.body[1 + i / 8] & (0x80 >> (i % 8))) ? '1' : '0';
    }
    *p++ = '\'';
    *p++ = 'B';
    out_.commit(p);
    return true;
  }

  bool octet_string(const Tlv& v) {
    if (v.constructed) return false;
    bool text = true;
    for (size_t i = 0; i < v.len && text; ++i) {
      uint8_t b = v.body[i];
      text = (b >= 0x20 && b < 0x7f) || b == '\t' || b == '\n' || b == '\r';
    }
    if (text) {
      quoted(v.contents());
    } else {
      char* p = out_.room(2 * v.len + 3);
      *p++ = '\'';
      p = write_hex(v.body, v.len, p);
      *p++ = '\'';
      *p++ = 'H';
      out_.commit(p);
    }
    return true;
  }

  // A character string between double quotes; '"', '\\', tab, newline and
  // carriage return escaped by a backslash, other octets outside printable
  // ASCII as \xHH.
  void quoted(std::string_view s) {
    char* p = out_.room(4 * s.size() + 2);
    *p++ = '"';
    const char* c = s.data();
    const char* end = c + s.size();
    // Eight octets at a time while none needs an escape.
    while (end - c >= 8) {
      uint64_t w;
      std::memcpy(&w, c, 8);
      if (!all_plain(w)) break;
      std::memcpy(p, c, 8);
      p += 8;
      c += 8;
    }
    for (; c < end; ++c) p = quoted_char(*c, p);
    *p++ = '"';
    out_.commit(p);
  }

  // True when none of the eight octets in w needs an escape: none below
  // 0x20, none from 0x7f on, no '"' and no '\\'.
  static bool all_plain(uint64_t w) {
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    constexpr uint64_t kHigh = 0x8080808080808080ull;
    // Sets the high bit of some octet exactly when some octet of x is zero.
    auto any_zero = [](uint64_t x) { return (x - kOnes) & ~x & kHigh; };
    uint64_t below_space = (w - 0x20 * kOnes) & ~w & kHigh;
    uint64_t special =
        any_zero(w ^ (0x7f * kOnes)) | any_zero(w ^ ('"' * kOnes)) | any_zero(w ^ ('\\' * kOnes));
    return ((w & kHigh) | below_space | special) == 0;
  }

  // Writes one character of a quoted string at p; returns the end.
  static char* quoted_char(char ch, char* p) {
    auto b = static_cast<uint8_t>(ch);
    if (b >= 0x20 && b < 0x7f && b != '"' && b != '\\') {
      *p++ = ch;
      return p;
    }
    *p++ = '\\';
    switch (b) {
      case '"':
      case '\\':
        *p++ = ch;
        break;
      case '\n':
        *p++ = 'n';
        break;
      case '\r':
        *p++ = 'r';
        break;
      case '\t':
        *p++ = 't';
        break;
      default:
        *p++ = 'x';
        *p++ = kHex[b >> 4];
        *p++ = kHex[b & 15];
    }
    return p;
  }

  void identifier(std::string_view contents) {
    if (names_) {
      if (const OidNameRegistry::Entry* e = OidNameRegistry::by_contents(contents)) {
        out_.put(e->name);
        return;
      }
    }
    char* p = out_.room(oid_text::dotted_size_bound(contents.size()));
    out_.commit(oid_text::write_dotted(contents, p));
  }

  // The components of a SEQUENCE, in order; OPTIONAL ones may be absent.
  bool sequence(const Asn1Type* t, const Tlv& v) {
    if (!v.constructed) return false;
    const auto& comps = t->components();
    const uint8_t* seen[kMaxComponents];  // where each component begins
    bool have[kMaxComponents] = {};
    if (comps.size() > kMaxComponents) return false;
    out_.put('{');
    Children ch(v);
    Tlv c;
    size_t ci = 0;
    bool first = true;
    while (ch.next(c)) {
      while (ci < comps.size() && !comps[ci].type->may_have_tag(c.tag)) {
        if (!comps[ci].optional) return false;
        ++ci;
      }
      if (ci == comps.size()) return false;
      seen[ci] = c.begin;
      have[ci] = true;
      if (!component(comps[ci], c, seen, have, first)) return false;
      ++ci;
    }
    for (; ci < comps.size(); ++ci) {
      if (!comps[ci].optional) return false;
    }
    out_.put('}');
    return true;
  }

  // The components of a SET, in the order of the encoding.
  bool set(const Asn1Type* t, const Tlv& v) {
    if (!v.constructed) return false;
    const auto& comps = t->components();
    if (comps.size() > kMaxComponents) return false;
    const uint8_t* seen[kMaxComponents];  // where each component begins
    bool have[kMaxComponents] = {};
    out_.put('{');
    Children ch(v);
    Tlv c;
    bool first = true;
    while (ch.next(c)) {
      size_t j = 0;
      while (j < comps.size() && (have[j] || !comps[j].type->may_have_tag(c.tag))) ++j;
      if (j == comps.size()) return false;
      seen[j] = c.begin;
      have[j] = true;
      if (!component(comps[j], c, seen, have, first)) return false;
    }
    for (size_t j = 0; j < comps.size(); ++j) {
      if (!have[j] && !comps[j].optional) return false;
    }
    out_.put('}');
    return true;
  }

  bool component(const Asn1Type::Component& comp, const Tlv& c, const uint8_t* const* seen,
                 const bool* have, bool& first) {
    if (!first) out_.put(", ");
    first = false;
    out_.put(comp.name);
    out_.put(' ');
    Tlv key;
    if (comp.defined_by >= 0 && have[comp.defined_by]) {
      key = read_tlv(seen[comp.defined_by]);
      key_ = &key;
    }
    bool ok = value(comp.type, c);
    key_ = nullptr;
    return ok;
  }

  bool list(const Asn1Type* t, const Tlv& v) {
    if (!v.constructed) return false;
    out_.put('{');
    Children ch(v);
    Tlv c;
    bool first = true;
    while (ch.next(c)) {
      if (!first) out_.put(", ");
      first = false;
      if (!value(t->element(), c)) return false;
    }
    out_.put('}');
    return true;
  }

  bool choice(const Asn1Type* t, const Tlv& v, bool elide) {
    const auto& alts = t->components();
    for (const auto& alt : alts) {
      if (!alt.type->may_have_tag(v.tag)) continue;
      size_t prefix = out_.size();
      out_.put(alt.name);
      out_.put(':');
      size_t start = out_.size();
      if (!value(alt.type, v)) return false;
      if (elide && out_.size() > start && !word_then_colon(start)) {
        unsigned cls = start_class_of(out_[start]);
        int candidates = 0;
        for (const auto& other : alts) {
          if (start_classes(other.type) & cls) ++candidates;
        }
        if (cls != 0 && candidates == 1) out_.erase(prefix, start - prefix);
      }
      return true;
    }
    return false;
  }

  // Whether the text from start begins "word:" (a CHOICE's own text).
  bool word_then_colon(size_t start) const {
    size_t i = start;
    while (i < out_.size() && notation::is_word_char(out_[i])) ++i;
    return i > start && i < out_.size() && out_[i] == ':';
  }

  // An open type: the type its attribute identifier gives, else generic.
  void open_value(const Tlv& v) {
    const Tlv* key = key_;
    key_ = nullptr;
    if (key && !key->constructed && (key->tag == TAG_OID || key->tag == TAG_CTX0) &&
        oid_text::valid_contents(key->contents())) {
      const Asn1Type* t = attribute_type(registry_, key->contents());
      if (t && value(t, v)) return;
    }
    generic(v);
  }

  // A value of unknown type: simple universal values as such, else hex.
  void generic(const Tlv& v) {
    if (v.tag.cls == Asn1Tag::UNIVERSAL && !v.constructed) {
      long n;
      switch (v.tag.number) {
        case 1:  // BOOLEAN
          if (v.len == 1 && (v.body[0] == 0 || v.body[0] == 0xff)) {
            out_.put(v.body[0] ? "TRUE" : "FALSE");
            return;
          }
          break;
        case 2:  // INTEGER
          if (read_integer(v, n)) {
            decimal(n);
            return;
          }
          break;
        case 5:  // NULL
          if (v.len == 0) {
            out_.put("NULL");
            return;
          }
          break;
        case 6:  // OBJECT IDENTIFIER
          if (oid_text::valid_contents(v.contents())) {
            identifier(v.contents());
            return;
          }
          break;
        case 25:  // GraphicString
          quoted(v.contents());
          return;
        default:
          break;
      }
    }
    hex(v);
  }

  void hex(const Tlv& v) {
    char* p = out_.room(2 * v.size + 2);
    *p++ = '<';
    p = write_hex(v.begin, v.size, p);
    *p++ = '>';
    out_.commit(p);
  }

  static constexpr size_t kMaxComponents = 16;

  bool names_;
  TextBuffer& out_;
  const AttributeTypeRegistry& registry_;
  const Tlv* key_ = nullptr;  // the identifier deciding the next open type
  int in_name_ = 0;           // inside the value of a distinguished name
};

// format_element with the registry at hand.
void format_element_with(const AttributeTypeRegistry& registry, const Asn1Type* type,
                         std::string_view element, unsigned flags, std::string& out) {
  if (element.empty()) return;
  TextBuffer text;
  Formatter f(flags, text, registry);
  Tlv v = read_tlv(reinterpret_cast<const uint8_t*>(element.data()));
  f.top(type ? type : registry.generic(), v);
  out += text.view();
}

}  // namespace

void format_element(const Asn1Type* type, std::string_view element, unsigned flags,
                    std::string& out) {
  format_element_with(AttributeTypeRegistry::instance(), type, element, flags, out);
}

bool format_distinguished_name(std::string_view element, unsigned flags, std::string& out) {
  if (element.empty()) return false;
  TextBuffer text;
  Formatter f(flags, text, AttributeTypeRegistry::instance());
  if (!f.distinguished_name(read_tlv(reinterpret_cast<const uint8_t*>(element.data())))) {
    return false;
  }
  out += text.view();
  return true;
}

}  // namespace qx

namespace qx {
namespace {

// The printed forms of attribute values printed lately, per thread. A stream of records
// repeats the same event types, classes, causes and short lists over and over, and
// printing a value costs many times more than finding it again. A slot holds the printed
// form of one attribute value (by flags, attribute and encoding) while neither registry
// has changed since it was made: the types decide the form, the names its words. Values
// whose key or printed form is long are printed each time, not kept.
//
// Each value has a set of two slots. Most records also carry values seen once (their
// numbers, their texts): a value kept anew takes the slot not found last in its set, and
// becomes the one found last only when it is found again. So a value seen once replaces
// at most another seen once, and the values that recur stay.
class PrintedMemo {
 public:
  static constexpr size_t kMaxKey = 64;
  static constexpr size_t kMaxText = 256;

  // Appends the printed form kept for the value to out; false when there is none.
  bool find(const AttributeTypeRegistry& types, unsigned flags, std::string_view attribute,
            std::string_view encoding, std::string& out) {
    if (!make_key(flags, attribute, encoding)) return false;
    Set& set = this->set();
    for (uint8_t way = 0; way < 2; ++way) {
      const Slot& s = set.slots[way];
      if (s.hash == hash_ && s.types == types.generation() &&
          s.names == OidNameRegistry::generation() && s.key == key_view()) {
        set.found_last = way;
        out += s.text;
        return true;
      }
    }
    return false;
  }

  // Keeps `text` as the printed form of the value of the last find() that failed.
  void keep(const AttributeTypeRegistry& types, std::string_view text) {
    if (key_len_ == 0 || text.size() > kMaxText) return;
    Set& set = this->set();
    Slot& s = set.slots[1 - set.found_last];
    s.types = types.generation();
    s.names = OidNameRegistry::generation();
    s.hash = hash_;
    s.key.assign(key_view());
    s.text.assign(text);
  }

 private:
  struct Slot {
    uint32_t types = 0;  // the generations when it was made; 0: free
    uint32_t names = 0;
    uint64_t hash = 0;
    std::string key;
    std::string text;
  };
  struct Set {
    Slot slots[2];
    uint8_t found_last = 0;
  };
  static constexpr size_t kSets = 256;

  bool make_key(unsigned flags, std::string_view attribute, std::string_view encoding) {
    key_len_ = 0;
    size_t n = 2 + attribute.size() + encoding.size();
    if (attribute.size() > 255 || n > kMaxKey) return false;
    key_[0] = static_cast<char>(flags);
    key_[1] = static_cast<char>(attribute.size());
    std::memcpy(key_ + 2, attribute.data(), attribute.size());
    std::memcpy(key_ + 2 + attribute.size(), encoding.data(), encoding.size());
    key_len_ = n;
    hash_ = hash_bytes(key_, n);
    return true;
  }
  std::string_view key_view() const { return {key_, key_len_}; }
  Set& set() { return sets_[hash_ % kSets]; }

  Set sets_[kSets];
  char key_[kMaxKey];
  size_t key_len_ = 0;
  uint64_t hash_ = 0;
};

}  // namespace
}  // namespace qx

void qx::append_attribute(const Oid& attribute, const Asn1Value& value, unsigned flags,
                          std::string& out) {
  if (value) append_attribute(attribute, value.encoding_view(), flags, out);
}

void qx::append_attribute(const Oid& attribute, std::string_view encoding, unsigned flags,
                          std::string& out) {
  if (encoding.empty()) return;
  const AttributeTypeRegistry& r = AttributeTypeRegistry::instance();
  thread_local PrintedMemo memo;
  std::string_view id = attribute.contents().view();
  if (memo.find(r, flags, id, encoding, out)) return;
  size_t start = out.size();
  format_element_with(r, attribute_type_or_generic(r, id), encoding, flags, out);
  memo.keep(r, std::string_view(out).substr(start));
}

std::string format_attribute(const Oid& attribute, const Asn1Value& value, unsigned flags) {
  std::string out;
  qx::append_attribute(attribute, value, flags, out);
  return out;
}
