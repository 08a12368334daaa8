#include "platform/value/type_arena.h"

namespace qx {

using Kind = Asn1Type::Kind;

Asn1Type* TypeArena::make(Kind kind, bool tagged, Asn1Tag tag, const char* name) {
  nodes_.push_back(std::unique_ptr<Asn1Type>(new Asn1Type()));
  Asn1Type* t = nodes_.back().get();
  t->kind_ = kind;
  t->tagged_ = tagged;
  t->tag_ = tag;
  t->name_ = name;
  return t;
}

const Asn1Type* TypeArena::boolean() { return make(Kind::kBoolean, true, TAG_BOOL, "BOOLEAN"); }

const Asn1Type* TypeArena::integer(std::initializer_list<NamedNumber> names, const char* name) {
  Asn1Type* t = make(Kind::kInteger, true, TAG_INT, *name ? name : "INTEGER");
  t->numbers_ = names;
  return t;
}

const Asn1Type* TypeArena::enumerated(const char* name, std::initializer_list<NamedNumber> names) {
  Asn1Type* t = make(Kind::kEnumerated, true, TAG_ENUM, name);
  t->numbers_ = names;
  return t;
}

const Asn1Type* TypeArena::real() { return make(Kind::kReal, true, TAG_REAL, "REAL"); }
const Asn1Type* TypeArena::null() { return make(Kind::kNull, true, TAG_NULL, "NULL"); }
const Asn1Type* TypeArena::bit_string() {
  return make(Kind::kBitString, true, TAG_BITSTR, "BIT STRING");
}
const Asn1Type* TypeArena::octet_string() {
  return make(Kind::kOctetString, true, TAG_OCTSTR, "OCTET STRING");
}
const Asn1Type* TypeArena::char_string(Asn1Tag tag) {
  return make(Kind::kCharString, true, tag, "character string");
}
const Asn1Type* TypeArena::oid() {
  return make(Kind::kObjectIdentifier, true, TAG_OID, "OBJECT IDENTIFIER");
}
const Asn1Type* TypeArena::generalized_time() {
  return make(Kind::kGeneralizedTime, true, TAG_GENTIME, "GeneralizedTime");
}
const Asn1Type* TypeArena::any() { return make(Kind::kAny, false, Asn1Tag{}, "ANY"); }
const Asn1Type* TypeArena::distinguished_name() {
  return make(Kind::kDistinguishedName, true, TAG_SEQ, "DistinguishedName");
}

const Asn1Type* TypeArena::sequence(const char* name, std::initializer_list<Component> c) {
  Asn1Type* t = make(Kind::kSequence, true, TAG_SEQ, name);
  t->components_ = c;
  return t;
}

const Asn1Type* TypeArena::set(const char* name, std::initializer_list<Component> c) {
  Asn1Type* t = make(Kind::kSet, true, TAG_SET, name);
  t->components_ = c;
  return t;
}

const Asn1Type* TypeArena::choice(const char* name, std::initializer_list<Component> c) {
  Asn1Type* t = make(Kind::kChoice, false, Asn1Tag{}, name);
  t->components_ = c;
  return t;
}

const Asn1Type* TypeArena::sequence_of(const Asn1Type* element, const char* name) {
  Asn1Type* t = make(Kind::kSequenceOf, true, TAG_SEQ, *name ? name : "SEQUENCE OF");
  t->element_ = element;
  return t;
}

const Asn1Type* TypeArena::set_of(const Asn1Type* element, const char* name) {
  Asn1Type* t = make(Kind::kSetOf, true, TAG_SET, *name ? name : "SET OF");
  t->element_ = element;
  return t;
}

const Asn1Type* TypeArena::implicit(uint32_t n, const Asn1Type* inner) {
  Asn1Type* t = make(inner->kind_, true, Asn1Tag::context(n), inner->name_);
  t->components_ = inner->components_;
  t->element_ = inner->element_;
  t->numbers_ = inner->numbers_;
  return t;
}

const Asn1Type* TypeArena::explicit_tag(uint32_t n, const Asn1Type* inner) {
  Asn1Type* t = make(Kind::kExplicit, true, Asn1Tag::context(n), inner->name_);
  t->element_ = inner;
  return t;
}

const Asn1Type* TypeArena::tag(uint32_t n, const Asn1Type* t) {
  return t->tagged() ? implicit(n, t) : explicit_tag(n, t);
}

Asn1Type* TypeArena::forward_choice(const char* name) {
  return make(Kind::kChoice, false, Asn1Tag{}, name);
}

void TypeArena::define_choice(Asn1Type* forward, std::initializer_list<Component> c) {
  forward->components_ = c;
}

}  // namespace qx
