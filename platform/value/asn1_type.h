#ifndef QX_PLATFORM_VALUE_ASN1_TYPE_H_
#define QX_PLATFORM_VALUE_ASN1_TYPE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/value/asn1_tag.h"
#include "platform/value/asn1_value.h"
#include "platform/value/data_unit.h"

namespace qx {
class TypeArena;
}

// How tags of a type are applied when a value is printed. Only the tagging
// of the type's own module is supported (the types carry it already).
using Asn1Tagging = unsigned;
inline constexpr Asn1Tagging ASN1_TAGGING_MODULE = 0;

// Format flags of Asn1Type::format_value and format_attribute.
// FORMAT_NAMES: identifiers print as their registered names and named numbers
// (enumerations, named INTEGER values) as their names; without it they print
// as dotted text and numbers. The mapper's formatted columns pass 1 (update)
// and 19 (insert): both ask for names. The other bits are reserved and
// ignored, so 1 and 19 print the same text.
inline constexpr unsigned FORMAT_NAMES = 0x01;

// An ASN.1 type: one node of a small type tree describing the values of an
// attribute. Nodes are built once, by the attribute type registry, and live
// as long as the process; they are immutable and may be shared by several
// threads.
//
// Tags are part of the node: an implicitly tagged type is a node of the
// underlying kind carrying the context tag; an explicitly tagged type is a
// kExplicit node around its inner type. CHOICE and open types (kAny) carry
// no tag of their own.
class Asn1Type {
 public:
  enum class Kind : uint8_t {
    kBoolean,
    kInteger,     // with optional named numbers
    kEnumerated,  // named numbers
    kReal,
    kNull,
    kBitString,
    kOctetString,
    kCharString,  // GraphicString, PrintableString, UTF8String ... (the tag tells)
    kObjectIdentifier,
    kGeneralizedTime,
    kSequence,
    kSet,
    kSequenceOf,
    kSetOf,
    kChoice,
    kExplicit,           // [n] EXPLICIT inner
    kAny,                // open type: ANY, or ANY DEFINED BY a sibling component
    kDistinguishedName,  // RDNSequence, printed as "/attr=value/attr=value"
  };

  struct NamedNumber {
    const char* name;
    long value;
  };

  // A component of a SEQUENCE or SET, or an alternative of a CHOICE.
  // defined_by: for an open-type component, the index of the sibling
  // component holding the attribute identifier that decides its type; -1
  // otherwise.
  struct Component {
    const char* name;
    const Asn1Type* type;
    bool optional = false;  // OPTIONAL or DEFAULT
    int defined_by = -1;
  };

  Kind kind() const { return kind_; }
  // Type reference name for messages ("ProbableCause"); may be empty.
  const char* name() const { return name_; }
  // Whether the type has a tag of its own (every kind except CHOICE, ANY).
  bool tagged() const { return tagged_; }
  Asn1Tag tag() const { return tag_; }
  const std::vector<Component>& components() const { return components_; }
  // The element type of SEQUENCE OF / SET OF, the inner type of kExplicit.
  const Asn1Type* element() const { return element_; }
  const std::vector<NamedNumber>& named_numbers() const { return numbers_; }
  // The name of a number, or nullptr.
  const char* number_name(long v) const;
  // The number of a name; false when the name is not one of the type's.
  bool number_value(std::string_view name, long& out) const;
  // True when a value with this tag can be a value of this type (for an
  // untagged CHOICE: of one of its alternatives; for ANY: always).
  bool may_have_tag(Asn1Tag t) const;

  // The type of the field `field` ("attributeValue") when the field
  // `key_field` ("attributeId") holds `key`, an OBJECT IDENTIFIER value (any
  // tag). For a registered attribute: its type; for any other identifier: the
  // generic type (whose values print in the generic form). nullptr when the
  // fields are not these two or key holds no identifier.
  static const Asn1Type* lookup_type(const DataUnit& field, const DataUnit& key_field,
                                     const Asn1Value& key);

  // The generic type: any value, printed in the generic form.
  static const Asn1Type* generic();

  // Prints value in the value notation at cursor, which advances by the
  // printed length; writes a terminating NUL after the text when there is
  // room (not counted). At most capacity characters are written; returns
  // false when the text did not fit (the cursor then stands after the part
  // written) or when value is empty. reserved must be 0, tagging
  // ASN1_TAGGING_MODULE and context empty; anything else is refused (false,
  // InvalidX raised, nothing written).
  // The mapper calls: type->format_value(value, p, 65535, 0, 0, DataUnit(), 1).
  bool format_value(const Asn1Value& value, char*& cursor, size_t capacity, unsigned long reserved,
                    Asn1Tagging tagging, const DataUnit& context, unsigned flags) const;

  // The same as a string ("" for an empty value).
  std::string format_value(const Asn1Value& value, unsigned flags = FORMAT_NAMES) const;
  // Appends the text to out (no allocation beyond out's growth).
  void append_value(const Asn1Value& value, unsigned flags, std::string& out) const;

  // Reads text in the value notation as a value of this type. On success
  // stores the value in out and returns true. On failure returns false,
  // leaves out unchanged, raises nothing and, with error, stores a message
  // giving the position (0-based offset into text) and what was expected
  // there: "at 14: expected ',' or '}'".
  bool parse_value(std::string_view text, Asn1Value& out, std::string* error = nullptr) const;

 private:
  friend class qx::TypeArena;
  Asn1Type() = default;

  Kind kind_ = Kind::kAny;
  bool tagged_ = false;
  Asn1Tag tag_;
  const char* name_ = "";
  std::vector<Component> components_;
  const Asn1Type* element_ = nullptr;
  std::vector<NamedNumber> numbers_;
};

#endif  // QX_PLATFORM_VALUE_ASN1_TYPE_H_
