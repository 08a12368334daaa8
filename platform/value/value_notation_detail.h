#ifndef QX_PLATFORM_VALUE_VALUE_NOTATION_DETAIL_H_
#define QX_PLATFORM_VALUE_VALUE_NOTATION_DETAIL_H_

// Pieces of the value notation shared by its printer and its reader.

#include <string_view>

#include "platform/value/asn1_type.h"

namespace qx::notation {

// How the text of a value can begin. Inside a distinguished name a CHOICE
// leaves out "alternative:" exactly when one alternative alone can begin
// with the class of the value's first character.
enum StartClass : unsigned {
  kWord = 1,    // a name or keyword
  kNumber = 2,  // a digit or '-': number, dotted identifier
  kString = 4,  // '"'
  kQuote = 8,   // '\'': bit or hex string
  kBrace = 16,  // '{'
  kSlash = 32,  // '/': distinguished name
  kAll = 63,
};

unsigned start_classes(const Asn1Type* t);
unsigned start_class_of(char c);  // 0 when none

// Nesting the reader accepts (values, braces and tags together).
inline constexpr int kMaxDepth = 64;

inline bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
inline bool is_digit(char c) { return c >= '0' && c <= '9'; }
inline bool is_word_char(char c) { return is_letter(c) || is_digit(c) || c == '-' || c == '_'; }

// True for the text of a valid GeneralizedTime, by GeneralizedTime's rule:
// YYYYMMDDHH[MM[SS]][(.|,)fraction][Z|(+|-)HH[MM]], a day of its month, no leap
// second, a local time that exists.
bool valid_generalized_time(std::string_view text);

}  // namespace qx::notation

#endif  // QX_PLATFORM_VALUE_VALUE_NOTATION_DETAIL_H_
