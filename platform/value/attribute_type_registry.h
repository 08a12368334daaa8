#ifndef QX_PLATFORM_VALUE_ATTRIBUTE_TYPE_REGISTRY_H_
#define QX_PLATFORM_VALUE_ATTRIBUTE_TYPE_REGISTRY_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/value/asn1_type.h"
#include "platform/value/oid.h"
#include "platform/value/type_arena.h"

namespace qx {

// The type of every attribute the platform knows, by attribute identifier:
// the standard attributes and the platform's own (attribute_types.cpp), and
// the attribute types that distinguished names use. Process-wide, built on
// first use; one thread at a time while types are added, lookups are safe
// from several threads otherwise.
class AttributeTypeRegistry {
 public:
  static AttributeTypeRegistry& instance();

  // The attribute's type, or nullptr when it has none registered.
  const Asn1Type* find(std::string_view oid_contents) const;
  const Asn1Type* find(const Oid& attribute) const { return find(attribute.contents().view()); }
  // The attribute's type, or the generic type.
  const Asn1Type* find_or_generic(std::string_view oid_contents) const;

  const Asn1Type* generic() const { return generic_; }
  const Asn1Type* object_instance() const { return object_instance_; }

  // Registers the type of a further attribute; the type must live as long
  // as the process (build it in arena()). Refused (false, InvalidX raised)
  // when the attribute has a type already.
  bool add(const Oid& attribute, const Asn1Type* type);
  TypeArena& arena() { return arena_; }
  // Counts the types added: a lookup remembered at one generation, found or not,
  // holds while the generation is the same.
  uint32_t generation() const { return generation_; }

  // Every (attribute identifier contents, type), ordered by identifier.
  std::vector<std::pair<std::string, const Asn1Type*>> entries() const;

 private:
  AttributeTypeRegistry();

  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const noexcept {
      return std::hash<std::string_view>{}(s);
    }
  };

  TypeArena arena_;
  std::unordered_map<std::string, const Asn1Type*, Hash, std::equal_to<>> types_;
  const Asn1Type* generic_ = nullptr;
  const Asn1Type* object_instance_ = nullptr;
  uint32_t generation_ = 1;
};

}  // namespace qx

#endif  // QX_PLATFORM_VALUE_ATTRIBUTE_TYPE_REGISTRY_H_
