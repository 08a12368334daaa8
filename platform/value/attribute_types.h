#ifndef QX_PLATFORM_VALUE_ATTRIBUTE_TYPES_H_
#define QX_PLATFORM_VALUE_ATTRIBUTE_TYPES_H_

#include <utility>
#include <vector>

#include "platform/value/asn1_type.h"
#include "platform/value/type_arena.h"

namespace qx {

// The types of the attributes this platform knows, built into an arena.
struct AttributeTypeTable {
  // (registered attribute name, type), one per attribute.
  std::vector<std::pair<const char*, const Asn1Type*>> attributes;
  const Asn1Type* object_instance = nullptr;  // ObjectInstance
  const Asn1Type* generic = nullptr;          // any value, generic form
};

// Describes the standard attribute types of the management information model
// and the types of the platform's own attributes.
AttributeTypeTable define_attribute_types(TypeArena& a);

}  // namespace qx

#endif  // QX_PLATFORM_VALUE_ATTRIBUTE_TYPES_H_
