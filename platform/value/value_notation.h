#ifndef QX_PLATFORM_VALUE_VALUE_NOTATION_H_
#define QX_PLATFORM_VALUE_VALUE_NOTATION_H_

// The value notation: the one text form of attribute values, used by the
// formatted columns of the log tables, by reading them back and by the
// logmapper tool. It follows the ASN.1 value notation where that is readable:
//
//   INTEGER, ENUMERATED   42, -7, or the name of a named number: major
//   BOOLEAN, NULL         TRUE, FALSE, NULL
//   REAL                  0, PLUS-INFINITY, MINUS-INFINITY (others generic)
//   OBJECT IDENTIFIER     its registered name (powerProblem) or dotted text
//   character strings     "text" with escapes \" \\ \n \r \t \xHH;
//   GeneralizedTime       "20240131120000Z"
//   OCTET STRING          "text" when printable, else 'DEADBEEF'H
//   BIT STRING            '1111100'B
//   SEQUENCE, SET         {name value, name value} (absent OPTIONAL
//                         components left out)
//   SEQUENCE OF, SET OF   {value, value}
//   CHOICE                alternative:value  (globalValue:powerProblem)
//   DistinguishedName     /systemId="ne-17"/logId=3  (see below)
//   open types            the value in the notation of the type its
//                         attribute identifier gives, else generic
//   generic form          <3003020101>: the complete BER encoding in hex.
//
// A value that does not fit its type, or whose type is unknown, prints in the
// generic form, which reads back to the same encoding; every position that
// reads a value accepts it. Values of unknown type print more readably when
// they are simple: a universal BOOLEAN, INTEGER, NULL, OBJECT IDENTIFIER or
// GraphicString prints as such, and reads back as such.
//
// A distinguished name prints as "/" followed by its relative names joined
// by "/", each a "+"-joined list of attribute=value, the attribute by name
// (or dotted), the value in the notation of that attribute's type; there a
// CHOICE leaves out "alternative:" when the form of the value tells the
// alternative ("ne-17" for name:"ne-17"). An empty name prints as "/".
//
// Round trip: for every value v of a type T, parsing format(v) as T gives
// exactly v's encoding.

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/value/asn1_tag.h"
#include "platform/value/asn1_type.h"
#include "platform/value/asn1_value.h"
#include "platform/value/oid.h"

namespace qx {

// Appends the notation of one encoded element as a value of type (nullptr:
// the generic type). REQUIRES: element is one complete, well-formed
// definite-length encoding (as an Asn1Value holds it).
void format_element(const Asn1Type* type, std::string_view element, unsigned flags,
                    std::string& out);

// Appends the distinguished-name text ("/a=1/b=2") of an element whose
// contents are an RDNSequence (any tag). Returns false, leaving out
// unchanged, when the element is not a well-formed distinguished name.
bool format_distinguished_name(std::string_view element, unsigned flags, std::string& out);

// Where and why a text was refused.
struct ParseError {
  size_t position = 0;          // 0-based offset into the text
  std::string expected;         // what was expected there
  std::string message() const;  // "at 14: expected ',' or '}'"
};

// Reads text (the whole of it, surrounding blanks allowed) as a value of
// type (nullptr: the generic type) and appends its encoding to out. On
// failure returns false, fills error (when given) and leaves out unchanged.
// Raises nothing.
bool parse_element(const Asn1Type* type, std::string_view text, std::string& out,
                   ParseError* error);

// Reads a distinguished-name text ("/a=1/b=2", the whole text) and appends
// the encoding of the RDNSequence under the given tag to out. As
// parse_element otherwise.
bool parse_distinguished_name(std::string_view text, Asn1Tag tag, std::string& out,
                              ParseError* error);

// Builds an Asn1Value from an encoding made by the parser; false (error
// filled) when the value library refuses it (nesting too deep).
bool make_value(const std::string& encoding, Asn1Value& out, std::string* error);

// Appends format_attribute(attribute, value, flags) to out (nothing for an empty
// value), without a string of its own.
void append_attribute(const Oid& attribute, const Asn1Value& value, unsigned flags,
                      std::string& out);
// The same for a value given as its encoding (REQUIRES: one complete, well-formed
// element, as an Asn1Value holds it; empty: nothing).
void append_attribute(const Oid& attribute, std::string_view encoding, unsigned flags,
                      std::string& out);

}  // namespace qx

// The notation of an attribute's value, through the attribute's registered
// type (the generic form for an attribute without one). Empty for an empty
// value. flags: FORMAT_NAMES or 0 (see asn1_type.h).
std::string format_attribute(const Oid& attribute, const Asn1Value& value,
                             unsigned flags = FORMAT_NAMES);

// Reads text as a value of the attribute's type. On success stores the value
// in out and returns true; on failure returns false, leaves out unchanged,
// raises nothing and stores the reason with its position in *error (when
// given).
bool parse_attribute(const Oid& attribute, std::string_view text, Asn1Value& out,
                     std::string* error = nullptr);

#endif  // QX_PLATFORM_VALUE_VALUE_NOTATION_H_
