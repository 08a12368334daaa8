#include "infra/tolk_map/codecs/attribute_list.h"

#include "platform/value/ber.h"
#include "platform/value/exception.h"

namespace qx {

// The value's encoding is well formed, so its headers are read as trusted.
bool read_pair(std::string_view pair, PairParts& out) {
  if (pair.empty()) return false;
  const auto* p = reinterpret_cast<const uint8_t*>(pair.data());
  ber::Header h = ber::read_trusted(p);
  // The contents: the identifier's encoding, then the value's.
  const size_t size = pair.size() - h.header_len;
  if (!h.constructed || size == 0) return false;
  p += h.header_len;
  ber::Header idh = ber::read_trusted(p);
  const size_t first = idh.header_len + idh.content_len;
  if (idh.constructed || first >= size) return false;
  ber::Header vh = ber::read_trusted(p + first);
  const size_t value_size = vh.header_len + vh.content_len;
  if (value_size > size - first) return false;
  const char* c = reinterpret_cast<const char*>(p);
  out.tag = h.tag;
  out.id_tag = idh.tag;
  out.id = std::string_view(c + idh.header_len, idh.content_len);
  out.value = std::string_view(c + first, value_size);
  out.two = first + value_size == size;
  return true;
}

bool read_pair(const Asn1Value& component, PairParts& out) {
  return component.constructed() && read_pair(component.encoding_view(), out);
}

bool build_pair(const Oid& id, const Asn1Value& value, Asn1Value& out) {
  Asn1Value oid;
  Asn1Value pair;
  if (!oid.encode_oid(id) || !pair.start_construct(TAG_SEQ) || !pair.add_component(oid) ||
      !pair.add_component(value)) {
    ResourceLimX::raise("attribute pair cannot be built");
    return false;
  }
  out = std::move(pair);
  return true;
}

namespace {

// Whether a pair is in the form the blob keeps.
bool in_stored_form(const PairParts& parts) {
  return parts.tag == TAG_SEQ && parts.id_tag == TAG_OID && parts.two;
}

}  // namespace

bool stored_pair(const Asn1Value& component, const PairParts& parts, const Oid& id,
                 const Asn1Value& value, Asn1Value& out) {
  if (in_stored_form(parts)) {
    out = component;
    return true;
  }
  return build_pair(id, value, out);
}

bool pair_identifier(const PairParts& parts, Oid& out) {
  if (Oid::from_contents(reinterpret_cast<const unsigned char*>(parts.id.data()), parts.id.size(),
                         out)) {
    return true;
  }
  ResourceLimX::raise("attribute identifier does not decode");
  return false;
}

namespace {

// Takes one component of an attribute list apart. False (ResourceLimX raised unless
// the value library raised first) for a component that is not a pair or whose
// identifier does not decode.
bool take_pair(const Asn1Value& component, Attribute& a) {
  PairParts parts;
  if (!read_pair(component, parts)) {
    ResourceLimX::raise("attribute list component is not an attribute");
    return false;
  }
  if (!pair_identifier(parts, a.id)) return false;
  a.value = *++component.components().begin();
  return stored_pair(component, parts, a.id, a.value, a.pair);
}

}  // namespace

bool take_list(const Asn1Value& attributes, std::vector<Attribute>& out) {
  if (!attributes || !attributes.constructed()) {
    ResourceLimX::raise("attribute list is not a SET or SEQUENCE");
    return false;
  }
  out.reserve(attributes.num_comps());
  for (const Asn1Value& c : attributes.components()) {
    out.emplace_back();
    if (!take_pair(c, out.back())) return false;
  }
  return true;
}

const Asn1Value& empty_blob_value() {
  static const Asn1Value v = [] {
    Asn1Value set;
    set.start_construct(TAG_SET);
    return set;
  }();
  return v;
}

PairSetWriter::PairSetWriter(std::string& out) : out_(out) { out_.assign(ber::kMaxHeader, '\0'); }

bool PairSetWriter::add_pair(const Asn1Value& list, std::string_view pair,
                             const PairParts& parts) {
  // An identifier tagged OBJECT IDENTIFIER is a valid one (the decoder checked it).
  if (in_stored_form(parts)) {
    add(pair);
    return true;
  }
  Oid id;
  Asn1Value built;
  if (!pair_identifier(parts, id) || !build_pair(id, list.element_at(parts.value), built)) {
    return false;
  }
  add(built.encoding_view());
  return true;
}

size_t PairSetWriter::encoded_size() const {
  size_t content = out_.size() - ber::kMaxHeader;
  return ber::header_size(TAG_SET, content) + content;
}

void PairSetWriter::finish() {
  size_t content = out_.size() - ber::kMaxHeader;
  uint8_t head[ber::kMaxHeader];
  size_t hs = ber::write_header(head, TAG_SET, true, content);
  out_.replace(0, ber::kMaxHeader, reinterpret_cast<const char*>(head), hs);
}

bool not_a_pair_set() {
  ResourceLimX::raise("stored attribute list holds a component that is no attribute");
  return false;
}

bool read_pairs(const Asn1Value& set, RespValue& values) {
  bool ok = true;
  bool walked = walk_pairs(set, [&](PairView&& p) {  // the value moves into its element
    // An identifier tagged OBJECT IDENTIFIER is a valid one: the set was decoded or built.
    Oid attr;
    if (p.id_tag == TAG_OID) {
      attr = Oid::from_valid_contents(p.id);
    } else if (!Oid::from_contents(reinterpret_cast<const unsigned char*>(p.id.data()), p.id.size(),
                                   attr)) {
      ok = false;
      return false;
    }
    values.adopt_entry(std::move(attr), std::move(p.value));
    return true;
  });
  if (walked && !ok) {
    ResourceLimX::raise("stored attribute list holds an identifier that does not decode");
  }
  return walked && ok;
}

}  // namespace qx
