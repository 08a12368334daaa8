#include "platform/value/platform.h"

#include "platform/value/attribute_type_registry.h"
#include "platform/value/oid_name_registry.h"

const Platform Platform::def_platform;

bool Platform::find_attribute(std::string_view name, Oid& out) const {
  if (const OidNameRegistry::Entry* e = OidNameRegistry::by_name(name)) {
    if (e->kind != qx::NameKind::kAttribute) return false;
  }
  Oid oid;
  if (!OidNameRegistry::find_oid_by_name(name, oid)) return false;
  // Dotted text naming something registered as other than an attribute is
  // refused like its name.
  if (const OidNameRegistry::Entry* e = OidNameRegistry::by_contents(oid.contents().view())) {
    if (e->kind != qx::NameKind::kAttribute) return false;
  }
  out = oid;
  return true;
}

const Asn1Type* Platform::attribute_type(const Oid& attribute) const {
  return qx::AttributeTypeRegistry::instance().find_or_generic(attribute.contents().view());
}
