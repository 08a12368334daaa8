#include "platform/value/attribute_type_registry.h"

#include <algorithm>

#include "platform/value/attribute_types.h"
#include "platform/value/exception.h"
#include "platform/value/oid_name_registry.h"

namespace qx {

AttributeTypeRegistry& AttributeTypeRegistry::instance() {
  static AttributeTypeRegistry r;
  return r;
}

AttributeTypeRegistry::AttributeTypeRegistry() {
  AttributeTypeTable table = define_attribute_types(arena_);
  generic_ = table.generic;
  object_instance_ = table.object_instance;
  for (const auto& [name, type] : table.attributes) {
    // Every attribute of the table has a registered name (checked by the
    // tests); the name gives the identifier.
    if (const OidNameRegistry::Entry* e = OidNameRegistry::by_name(name)) {
      types_.emplace(e->contents, type);
    }
  }
}

const Asn1Type* AttributeTypeRegistry::find(std::string_view oid_contents) const {
  auto it = types_.find(oid_contents);  // heterogeneous: no allocation
  return it == types_.end() ? nullptr : it->second;
}

const Asn1Type* AttributeTypeRegistry::find_or_generic(std::string_view oid_contents) const {
  const Asn1Type* t = find(oid_contents);
  return t ? t : generic_;
}

bool AttributeTypeRegistry::add(const Oid& attribute, const Asn1Type* type) {
  if (attribute.empty() || type == nullptr) {
    InvalidX::raise("an attribute type needs an identifier and a type");
    return false;
  }
  if (!types_.emplace(std::string(attribute.contents().view()), type).second) {
    InvalidX::raise("attribute %s has a type already", attribute.format().c_str());
    return false;
  }
  ++generation_;
  return true;
}

std::vector<std::pair<std::string, const Asn1Type*>> AttributeTypeRegistry::entries() const {
  std::vector<std::pair<std::string, const Asn1Type*>> out(types_.begin(), types_.end());
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace qx
