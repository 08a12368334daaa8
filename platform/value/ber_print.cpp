#include "platform/value/ber_print.h"

#include <cstdint>
#include <ostream>

#include "platform/value/asn1_value.h"
#include "platform/value/exception.h"
#include "platform/value/generalized_time.h"

namespace qx::ber {
namespace {

// Length of the valid UTF-8 sequence at p (0 when there is none).
size_t utf8_sequence(const unsigned char* p, size_t n) {
  unsigned char c = p[0];
  size_t len;
  uint32_t cp;
  if (c >= 0xc2 && c <= 0xdf) {
    len = 2, cp = c & 0x1f;
  } else if (c >= 0xe0 && c <= 0xef) {
    len = 3, cp = c & 0x0f;
  } else if (c >= 0xf0 && c <= 0xf4) {
    len = 4, cp = c & 0x07;
  } else {
    return 0;
  }
  if (len > n) return 0;
  for (size_t i = 1; i < len; ++i) {
    if ((p[i] & 0xc0) != 0x80) return 0;
    cp = (cp << 6) | (p[i] & 0x3f);
  }
  static const uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[len] || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) return 0;
  return len;
}

// Big-endian UCS-2 / UCS-4 code units as quoted text with \u escapes.
std::string quote_wide(std::string_view s, size_t unit) {
  std::string out = "\"";
  char buf[16];
  for (size_t i = 0; i + unit <= s.size(); i += unit) {
    uint32_t cp = 0;
    for (size_t k = 0; k < unit; ++k) cp = (cp << 8) | static_cast<unsigned char>(s[i + k]);
    if (cp >= 0x20 && cp < 0x7f && cp != '"' && cp != '\\') {
      out += static_cast<char>(cp);
    } else if (cp == '"' || cp == '\\') {
      out += '\\';
      out += static_cast<char>(cp);
    } else {
      std::snprintf(buf, sizeof buf, cp > 0xffff ? "\\U%08x" : "\\u%04x",
                    static_cast<unsigned>(cp));
      out += buf;
    }
  }
  if (s.size() % unit != 0) out += "\\?";
  out += '"';
  return out;
}

constexpr size_t kMaxShownArc = 1024;  // octets of one subidentifier

// " <kind> <text>" for universal tags that say what the contents are.
std::string describe(const Asn1Value& v) {
  Asn1Tag t = v.tag();
  if (t.cls != Asn1Tag::UNIVERSAL) return std::string();
  ExceptionScope scope;  // a malformed value prints as such, raising nothing
  std::string_view c = v.contents();
  switch (t.number) {
    case 1: {
      bool b;
      return v.decode_bool(b) ? (b ? " boolean true" : " boolean false") : " boolean (malformed)";
    }
    case 2:
    case 10: {
      const char* kind = t.number == 2 ? " integer " : " enumerated ";
      long n;
      if (v.decode_int(n)) return kind + std::to_string(n);
      unsigned long u;
      if (v.decode_unsigned(u)) return kind + std::to_string(u);
      return std::string(kind) + "(malformed or out of range)";
    }
    case 5:
      return c.empty() ? " null" : " null (malformed)";
    case 6: {
      // Exact formatting of an arc costs the square of its length: arcs
      // beyond any real use are not shown as numbers.
      size_t run = 0;
      for (unsigned char b : c) {
        run = (b & 0x80) ? run + 1 : 0;
        if (run > kMaxShownArc) return " oid (an arc too large to show)";
      }
      Oid oid;
      return v.decode_oid(oid) ? " oid " + oid.format() : " oid (malformed)";
    }
    case 7:
    case 18:
    case 19:
    case 20:
    case 21:
    case 22:
    case 25:
    case 26:
    case 27:
      return " string " + quote(c);
    case 12:
      return " string " + quote(c, true);
    case 28:
      return " string " + quote_wide(c, 4);
    case 30:
      return " string " + quote_wide(c, 2);
    case 23:
      return " time " + quote(c);
    case 24: {
      GeneralizedTime gt{std::string_view(c)};
      std::string s = " time " + quote(c);
      if (!gt.valid()) s += " invalid: " + gt.error();
      return s;
    }
    default:
      return std::string();
  }
}

void json_value(std::ostream& os, const Asn1Value& v) {
  os << "{\"class\": \"" << v.tag().class_name() << "\", \"tag\": " << v.tag().number
     << ", \"constructed\": " << (v.constructed() ? "true" : "false")
     << ", \"length\": " << v.contents().size();
  if (v.constructed()) {
    os << ", \"components\": [";
    bool first = true;
    for (const Asn1Value& c : v.components()) {
      if (!first) os << ", ";
      first = false;
      json_value(os, c);
    }
    os << "]}";
  } else {
    os << ", \"hex\": \"" << hex(v.contents()) << "\"}";
  }
}

}  // namespace

std::string hex(std::string_view octets) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(octets.size() * 2);
  for (unsigned char b : octets) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

std::string quote(std::string_view octets, bool utf8) {
  std::string out = "\"";
  const unsigned char* p = reinterpret_cast<const unsigned char*>(octets.data());
  size_t n = octets.size();
  char buf[8];
  for (size_t i = 0; i < n;) {
    unsigned char b = p[i];
    if (b == '"' || b == '\\') {
      out += '\\';
      out += static_cast<char>(b);
      ++i;
    } else if (b >= 0x20 && b < 0x7f) {
      out += static_cast<char>(b);
      ++i;
    } else if (size_t len = utf8 && b >= 0x80 ? utf8_sequence(p + i, n - i) : 0; len != 0) {
      out.append(reinterpret_cast<const char*>(p + i), len);
      i += len;
    } else {
      std::snprintf(buf, sizeof buf, "\\x%02x", b);
      out += buf;
      ++i;
    }
  }
  out += '"';
  return out;
}

void print_text(std::ostream& os, const Asn1Value& v, int depth) {
  if (!v) {
    os << "(empty)\n";
    return;
  }
  std::string line(static_cast<size_t>(depth) * 2, ' ');
  line += v.tag().class_name();
  line += ' ';
  line += std::to_string(v.tag().number);
  line += v.constructed() ? " constructed" : " primitive";
  line += " length ";
  line += std::to_string(v.contents().size());
  if (!v.constructed()) {
    if (!v.contents().empty()) {
      line += " hex ";
      line += hex(v.contents());
    }
    line += describe(v);
  }
  line += '\n';
  os << line;
  if (v.constructed())
    for (const Asn1Value& c : v.components()) print_text(os, c, depth + 1);
}

void print_json(std::ostream& os, const Asn1Value& v) {
  if (!v) {
    os << "null";
    return;
  }
  json_value(os, v);
}

}  // namespace qx::ber
