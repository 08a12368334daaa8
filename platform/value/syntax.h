#ifndef QX_PLATFORM_VALUE_SYNTAX_H_
#define QX_PLATFORM_VALUE_SYNTAX_H_

#include "platform/value/asn1_type.h"
#include "platform/value/oid.h"

// The syntax of an attribute: its identifier and its type. A default
// Syntax is invalid. Cheap to copy; the type belongs to the registry.
class Syntax {
 public:
  Syntax() = default;
  Syntax(const Oid& attribute, const Asn1Type* type) : attribute_(attribute), type_(type) {}

  bool valid() const { return type_ != nullptr; }
  const Oid& attribute() const { return attribute_; }
  // nullptr when invalid.
  const Asn1Type* type() const { return type_; }

 private:
  Oid attribute_;
  const Asn1Type* type_ = nullptr;
};

#endif  // QX_PLATFORM_VALUE_SYNTAX_H_
