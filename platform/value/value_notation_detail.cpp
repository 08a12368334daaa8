#include "platform/value/value_notation_detail.h"

namespace qx::notation {

using Kind = Asn1Type::Kind;

unsigned start_classes(const Asn1Type* t) {
  switch (t->kind()) {
    case Kind::kBoolean:
    case Kind::kNull:
    case Kind::kChoice:
      return kWord;
    case Kind::kInteger:
    case Kind::kEnumerated:
      return kNumber | (t->named_numbers().empty() ? 0u : kWord);
    case Kind::kReal:
    case Kind::kObjectIdentifier:
      return kNumber | kWord;
    case Kind::kBitString:
      return kQuote;
    case Kind::kOctetString:
      return kString | kQuote;
    case Kind::kCharString:
    case Kind::kGeneralizedTime:
      return kString;
    case Kind::kSequence:
    case Kind::kSet:
    case Kind::kSequenceOf:
    case Kind::kSetOf:
      return kBrace;
    case Kind::kExplicit:
      return start_classes(t->element());  // an inner CHOICE gives kWord
    case Kind::kDistinguishedName:
      return kSlash;
    case Kind::kAny:
      return kAll;
  }
  return kAll;
}

unsigned start_class_of(char c) {
  if (is_letter(c)) return kWord;
  if (is_digit(c) || c == '-') return kNumber;
  switch (c) {
    case '"':
      return kString;
    case '\'':
      return kQuote;
    case '{':
      return kBrace;
    case '/':
      return kSlash;
    default:
      return 0;
  }
}

namespace {

bool two_digits(std::string_view t, size_t i, int lo, int hi) {
  if (i + 2 > t.size() || !is_digit(t[i]) || !is_digit(t[i + 1])) return false;
  int v = (t[i] - '0') * 10 + (t[i + 1] - '0');
  return v >= lo && v <= hi;
}

}  // namespace

bool valid_generalized_time(std::string_view t) {
  for (size_t i = 0; i < 4; ++i) {
    if (i >= t.size() || !is_digit(t[i])) return false;
  }
  if (!two_digits(t, 4, 1, 12) || !two_digits(t, 6, 1, 31) || !two_digits(t, 8, 0, 23)) {
    return false;
  }
  size_t i = 10;
  if (two_digits(t, i, 0, 59)) {
    i += 2;
    if (two_digits(t, i, 0, 60)) i += 2;
  }
  if (i < t.size() && (t[i] == '.' || t[i] == ',')) {
    ++i;
    size_t begin = i;
    while (i < t.size() && is_digit(t[i])) ++i;
    if (i == begin) return false;
  }
  if (i < t.size() && t[i] == 'Z') {
    ++i;
  } else if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
    ++i;
    if (!two_digits(t, i, 0, 23)) return false;
    i += 2;
    if (two_digits(t, i, 0, 59)) i += 2;
  }
  return i == t.size();
}

}  // namespace qx::notation
