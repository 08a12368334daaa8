#ifndef QX_TESTS_VALUE_VALUE_GENERATOR_H_
#define QX_TESTS_VALUE_VALUE_GENERATOR_H_

// Random values of an Asn1Type, as BER encodings, for the round-trip
// properties of the value notation. Values mostly fit their type; with
// `misfit` > 0 some components are replaced by random elements (of any tag
// and form), which the notation must keep exact through the generic form.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "platform/value/asn1_type.h"
#include "platform/value/attribute_type_registry.h"
#include "platform/value/ber.h"
#include "platform/value/oid_name_registry.h"

namespace qx::test {

class ValueGenerator {
 public:
  explicit ValueGenerator(uint32_t seed, double misfit = 0.0) : rng_(seed), misfit_(misfit) {
    for (const OidNameRegistry::Entry* e : OidNameRegistry::entries()) {
      names_.push_back(e->contents);
      if (AttributeTypeRegistry::instance().find(e->contents)) attributes_.push_back(e->contents);
    }
  }

  std::string value(const Asn1Type* t, int depth = 0) {
    if (depth > 2 && chance(misfit_)) return random_element(depth);
    using K = Asn1Type::Kind;
    Asn1Tag tag = t->tag();
    switch (t->kind()) {
      case K::kBoolean:
        return prim(tag, std::string(1, chance(0.5) ? '\xff' : '\0'));
      case K::kInteger:
      case K::kEnumerated:
        if (!t->named_numbers().empty() && chance(0.6)) {
          return prim(tag, integer(pick(t->named_numbers()).value));
        }
        return prim(tag, integer(random_long()));
      case K::kReal: {
        // Zero, the infinities, and encodings kept in the generic form.
        static const std::string reals[] = {std::string(), std::string("\x40"), std::string("\x41"),
                                            std::string("\x80\x01\x03"),
                                            std::string("\x03") + "1E3"};
        return prim(tag, reals[uniform(0, 4)]);
      }
      case K::kNull:
        return prim(tag, "");
      case K::kBitString: {
        size_t bits = uniform(0, 20);
        std::string c(1 + (bits + 7) / 8, '\0');
        c[0] = static_cast<char>((8 - bits % 8) % 8);
        for (size_t i = 0; i < bits; ++i) {
          if (chance(0.5)) c[1 + i / 8] = static_cast<char>(c[1 + i / 8] | (0x80 >> (i % 8)));
        }
        return prim(tag, c);
      }
      case K::kOctetString:
      case K::kCharString:
        return prim(tag, text());
      case K::kGeneralizedTime:
        return prim(tag, chance(0.8) ? time_text() : text());
      case K::kObjectIdentifier:
        return prim(tag, identifier());
      case K::kSequence:
      case K::kSet:
        return components(t, depth);
      case K::kSequenceOf:
      case K::kSetOf: {
        std::string body;
        size_t n = depth > 4 ? 0 : uniform(0, 3);
        for (size_t i = 0; i < n; ++i) body += value(t->element(), depth + 1);
        return cons(tag, body);
      }
      case K::kChoice: {
        const auto& alts = t->components();
        // Deep down, the first alternative (never the recursive ones here).
        size_t i = depth > 4 ? 0 : uniform(0, alts.size() - 1);
        return value(alts[i].type, depth + 1);
      }
      case K::kExplicit:
        return cons(tag, value(t->element(), depth + 1));
      case K::kAny:
        return open_value(depth);
      case K::kDistinguishedName:
        return cons(tag, rdn_sequence(depth));
    }
    return prim(TAG_NULL, "");
  }

  // Any element at all: random tag, form and contents.
  std::string random_element(int depth) {
    Asn1Tag tag{static_cast<Asn1Tag::Class>(uniform(0, 3)),
                static_cast<uint32_t>(chance(0.1) ? uniform(31, 5000) : uniform(1, 30))};
    if (tag.cls == Asn1Tag::UNIVERSAL && (tag.number == 16 || tag.number == 17 || chance(0.3)) &&
        depth < 6) {
      std::string body;
      for (size_t i = uniform(0, 3); i > 0; --i) body += random_element(depth + 1);
      return cons(tag, body);
    }
    if (tag.cls == Asn1Tag::UNIVERSAL && (tag.number == 16 || tag.number == 17)) {
      tag.number = 4;
    }
    std::string c;
    for (size_t i = uniform(0, 6); i > 0; --i) c += static_cast<char>(uniform(0, 255));
    return prim(tag, c);
  }

  std::string attribute_identifier() { return pick(attributes_); }

 private:
  std::string components(const Asn1Type* t, int depth) {
    const auto& comps = t->components();
    std::vector<std::string> parts;
    std::vector<std::string> chosen(comps.size());
    for (size_t i = 0; i < comps.size(); ++i) {
      if (comps[i].optional && chance(0.4)) continue;
      if (comps[i].defined_by >= 0) key_ = chosen[static_cast<size_t>(comps[i].defined_by)];
      chosen[i] = comps[i].type->kind() == Asn1Type::Kind::kChoice &&
                          comps[i].type->name() == std::string("AttributeId") && chance(0.8)
                      ? attribute_id(comps[i].type)
                      : value(comps[i].type, depth + 1);
      key_.clear();
      parts.push_back(chosen[i]);
    }
    if (t->kind() == Asn1Type::Kind::kSet) std::shuffle(parts.begin(), parts.end(), rng_);
    std::string body;
    for (const auto& p : parts) body += p;
    return cons(t->tag(), body);
  }

  // An AttributeId naming a registered attribute, in one of its forms.
  std::string attribute_id(const Asn1Type* choice) {
    const auto& alts = choice->components();
    const auto& alt = alts[chance(0.5) ? 0 : alts.size() - 1];  // globalForm or oid
    return prim(alt.type->tag(), attribute_identifier());
  }

  // An open type: a value of the attribute the key names, else anything.
  std::string open_value(int depth) {
    std::string key = key_;
    key_.clear();
    if (!key.empty() && depth < 8) {
      ber::Header h = ber::read_trusted(reinterpret_cast<const uint8_t*>(key.data()));
      std::string contents = key.substr(h.header_len);
      if (!h.constructed && (h.tag == TAG_OID || h.tag == TAG_CTX0)) {
        if (const Asn1Type* t = AttributeTypeRegistry::instance().find(contents)) {
          return value(t, depth + 1);
        }
      }
    }
    return simple_or_random(depth);
  }

  std::string simple_or_random(int depth) {
    switch (uniform(0, 5)) {
      case 0:
        return prim(TAG_INT, integer(random_long()));
      case 1:
        return prim(TAG_GRAPHSTR, text());
      case 2:
        return prim(TAG_OID, identifier());
      case 3:
        return prim(TAG_BOOL, std::string(1, chance(0.5) ? '\xff' : '\0'));
      case 4:
        return prim(TAG_NULL, "");
      default:
        return random_element(depth);
    }
  }

  std::string rdn_sequence(int depth) {
    std::string rdns;
    size_t n = depth > 6 ? 0 : uniform(0, 3);
    for (size_t i = 0; i < n; ++i) {
      std::string avas;
      for (size_t j = uniform(1, 2); j > 0; --j) {
        std::string id = chance(0.8) ? attribute_identifier() : identifier();
        std::string val;
        if (const Asn1Type* t = AttributeTypeRegistry::instance().find(id)) {
          val = value(t, depth + 3);
        } else {
          val = simple_or_random(depth + 3);
        }
        avas += cons(TAG_SEQ, prim(TAG_OID, id) + val);
      }
      rdns += cons(TAG_SET, avas);
    }
    return rdns;
  }

  std::string identifier() {
    if (chance(0.6)) return pick(names_);
    std::string c;
    // First subidentifier, then arcs of random size (sometimes huge).
    size_t arcs = uniform(1, 6);
    for (size_t i = 0; i < arcs; ++i) {
      size_t groups = chance(0.1) ? uniform(2, 12) : uniform(1, 2);
      for (size_t g = groups; g > 0; --g) {
        int b = static_cast<int>(uniform(g == groups ? 1 : 0, 127));
        c += static_cast<char>(g > 1 ? (b | 0x80) : b);
      }
    }
    return c;
  }

  std::string text() {
    static const char alphabet[] = "abc XYZ019-/+=\"\\,{}:<>'\t\n";
    std::string s;
    for (size_t i = uniform(0, 12); i > 0; --i) {
      s += chance(0.15) ? static_cast<char>(uniform(0, 255))
                        : alphabet[uniform(0, sizeof(alphabet) - 2)];
    }
    return s;
  }

  std::string time_text() {
    char buf[40];
    snprintf(buf, sizeof buf, "%04u%02u%02u%02u%02u%02u",
             static_cast<unsigned>(uniform(1970, 2100)), static_cast<unsigned>(uniform(1, 12)),
             static_cast<unsigned>(uniform(1, 28)), static_cast<unsigned>(uniform(0, 23)),
             static_cast<unsigned>(uniform(0, 59)), static_cast<unsigned>(uniform(0, 59)));
    std::string s = buf;
    if (chance(0.3)) s += ".123";
    s += chance(0.7) ? "Z" : "+0130";
    return s;
  }

  long random_long() {
    switch (uniform(0, 3)) {
      case 0:
        return static_cast<long>(uniform(0, 10));
      case 1:
        return -static_cast<long>(uniform(1, 300));
      case 2:
        return static_cast<long>(uniform(0, 1u << 31)) * (chance(0.5) ? 1 : -1);
      default:
        return static_cast<long>(rng_() << 32 | rng_());
    }
  }

  static std::string integer(long n) {
    std::string c;
    auto u = static_cast<uint64_t>(n);
    for (int i = 7; i >= 0; --i) c += static_cast<char>(u >> (8 * i));
    size_t s = 0;
    while (s < 7 && ((c[s] == 0 && !(c[s + 1] & 0x80)) ||
                     (static_cast<uint8_t>(c[s]) == 0xff && (c[s + 1] & 0x80)))) {
      ++s;
    }
    return c.substr(s);
  }

  static std::string header(Asn1Tag t, bool constructed, size_t len) {
    uint8_t h[ber::kMaxHeader];
    return std::string(reinterpret_cast<char*>(h), ber::write_header(h, t, constructed, len));
  }
  static std::string prim(Asn1Tag t, const std::string& c) {
    return header(t, false, c.size()) + c;
  }
  static std::string cons(Asn1Tag t, const std::string& c) { return header(t, true, c.size()) + c; }

  size_t uniform(size_t lo, size_t hi) {
    return std::uniform_int_distribution<size_t>(lo, hi)(rng_);
  }
  bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
  template <class V>
  const typename V::value_type& pick(const V& v) {
    return v[uniform(0, v.size() - 1)];
  }

  std::mt19937 rng_;
  double misfit_;
  std::vector<std::string> names_;
  std::vector<std::string> attributes_;
  std::string key_;  // the identifier deciding the next open type
};

}  // namespace qx::test

#endif  // QX_TESTS_VALUE_VALUE_GENERATOR_H_
