#ifndef QX_PLATFORM_VALUE_TYPE_ARENA_H_
#define QX_PLATFORM_VALUE_TYPE_ARENA_H_

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <memory>

#include "platform/value/asn1_type.h"

namespace qx {

// Builds and owns Asn1Type nodes. The attribute type registry describes its
// types with it, in the words of ASN.1:
//   auto* pc = a.choice("ProbableCause", {{"globalValue", a.oid()},
//                                         {"localValue", a.integer()}});
// Nodes live as long as the arena. Not thread-safe; used while building.
class TypeArena {
 public:
  using Component = Asn1Type::Component;
  using NamedNumber = Asn1Type::NamedNumber;

  const Asn1Type* boolean();
  const Asn1Type* integer(std::initializer_list<NamedNumber> names = {}, const char* name = "");
  const Asn1Type* enumerated(const char* name, std::initializer_list<NamedNumber> names);
  const Asn1Type* real();
  const Asn1Type* null();
  const Asn1Type* bit_string();
  const Asn1Type* octet_string();
  const Asn1Type* char_string(Asn1Tag tag);  // TAG_GRAPHSTR, TAG_PRINTSTR, ...
  const Asn1Type* oid();
  const Asn1Type* generalized_time();
  // An open type. Inside a SEQUENCE, give the component defined_by to have
  // the attribute identifier of a sibling decide the type.
  const Asn1Type* any();
  const Asn1Type* distinguished_name();  // RDNSequence (universal SEQUENCE)

  const Asn1Type* sequence(const char* name, std::initializer_list<Component> components);
  const Asn1Type* set(const char* name, std::initializer_list<Component> components);
  const Asn1Type* choice(const char* name, std::initializer_list<Component> alternatives);
  const Asn1Type* sequence_of(const Asn1Type* element, const char* name = "");
  const Asn1Type* set_of(const Asn1Type* element, const char* name = "");

  // [n] IMPLICIT t: a copy of t carrying the context tag n.
  // REQUIRES: t is tagged (not a CHOICE or an open type).
  const Asn1Type* implicit(uint32_t n, const Asn1Type* t);
  // [n] EXPLICIT t.
  const Asn1Type* explicit_tag(uint32_t n, const Asn1Type* t);
  // [n] t in a module of IMPLICIT TAGS: implicit, except for a CHOICE or an
  // open type, which are always tagged explicitly.
  const Asn1Type* tag(uint32_t n, const Asn1Type* t);

  // Recursive types: declare a CHOICE first, use it, then define it.
  Asn1Type* forward_choice(const char* name);
  void define_choice(Asn1Type* forward, std::initializer_list<Component> alternatives);

 private:
  Asn1Type* make(Asn1Type::Kind kind, bool tagged, Asn1Tag tag, const char* name = "");

  std::deque<std::unique_ptr<Asn1Type>> nodes_;
};

}  // namespace qx

#endif  // QX_PLATFORM_VALUE_TYPE_ARENA_H_
