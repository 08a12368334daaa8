#ifndef QX_PLATFORM_VALUE_OID_TEXT_H_
#define QX_PLATFORM_VALUE_OID_TEXT_H_

#include <cstddef>
#include <string>
#include <string_view>

// Conversions between the contents octets of an OBJECT IDENTIFIER and its
// dotted text, without going through an Oid object and without raising
// exceptions: the value notation uses them on every identifier it prints or
// reads. They agree with Oid::format and Oid::parse.
namespace qx::oid_text {

// True when contents are valid OBJECT IDENTIFIER contents octets: not empty,
// every subidentifier minimal (no leading 0x80) and complete.
bool valid_contents(std::string_view contents);

// Appends the dotted text of valid contents to out. REQUIRES:
// valid_contents(contents).
void append_dotted(std::string_view contents, std::string& out);

// The most characters the dotted text of contents of n octets takes (an
// octet carries 7 bits: at most three digits and a dot).
constexpr size_t dotted_size_bound(size_t n) { return 4 * n + 2; }

// Writes the dotted text of valid contents at out, which has room for
// dotted_size_bound(contents.size()) characters; returns the end of the
// text. REQUIRES: valid_contents(contents).
char* write_dotted(std::string_view contents, char* out);

// Reads dotted text (two or more arcs of decimal digits without leading
// zeros, the first arc 0, 1 or 2 and the second below 40 when the first is 0
// or 1; arcs of any size). On success appends the contents octets to out and
// returns true; on failure returns false and leaves out unchanged.
bool parse_dotted(std::string_view text, std::string& out);

}  // namespace qx::oid_text

#endif  // QX_PLATFORM_VALUE_OID_TEXT_H_
