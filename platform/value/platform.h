#ifndef QX_PLATFORM_VALUE_PLATFORM_H_
#define QX_PLATFORM_VALUE_PLATFORM_H_

#include <string_view>

#include "platform/value/asn1_type.h"
#include "platform/value/oid.h"

// A platform description: where attribute names and types come from. The
// default platform, def_platform, uses the process-wide name registry and
// attribute type registry; it is a constant, usable from any static
// initialiser.
class Platform {
 public:
  static const Platform def_platform;

  constexpr Platform() = default;

  // The attribute named by a registered name or dotted text. On success
  // stores its identifier in out and returns true; false for an unknown name,
  // malformed dotted text, or a registered name that is not an attribute.
  bool find_attribute(std::string_view name, Oid& out) const;

  // The type of an attribute: its registered type, else the generic type.
  const Asn1Type* attribute_type(const Oid& attribute) const;
};

#endif  // QX_PLATFORM_VALUE_PLATFORM_H_
