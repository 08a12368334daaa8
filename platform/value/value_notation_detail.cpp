#include "platform/value/value_notation_detail.h"

#include "platform/value/generalized_time.h"

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

// The one rule for what a valid time is, the time type's own: a value the notation
// takes is a time the mapper stores.
bool valid_generalized_time(std::string_view t) { return GeneralizedTime(t).valid(); }

}  // namespace qx::notation
