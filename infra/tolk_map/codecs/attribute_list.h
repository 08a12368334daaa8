// Attribute lists, as every record table takes and keeps them. A record arrives as a
// SET (or SEQUENCE) of SEQUENCE {attribute identifier, value}; a table keeps what it has
// no column for in a blob that holds a SET of SEQUENCE {OBJECT IDENTIFIER, value} in the
// order received (the event and alarm tables their list-valued attributes, the blob
// table every attribute of its record). These are the helpers that take such lists
// apart and build and read that SET, shared by every record table.
//
// Values taken apart share the buffer of the list they came from (no copy).
//
// Thread-safety: none beyond that of Asn1Value.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/value/asn1_value.h"
#include "platform/value/oid.h"
#include "resp_value.h"

namespace qx {

// One attribute of a list: its identifier, its value and the pair as the blob keeps it.
struct Attribute {
  Oid id;
  Asn1Value value;
  Asn1Value pair;  // SEQUENCE {OBJECT IDENTIFIER, value}
};

// An attribute list (a SET or SEQUENCE of SEQUENCE {identifier, value}) taken apart, in
// order. False, with ResourceLimX raised unless the value library raised first, for a
// malformed list: not constructed, a component that is not a pair, an identifier that
// does not decode. Nothing is checked about the values.
bool take_list(const Asn1Value& attributes, std::vector<Attribute>& out);

// An attribute pair read in place: its tag, the identifier's tag and contents octets,
// the value's encoding, and whether the pair holds exactly the identifier and one value.
struct PairParts {
  Asn1Tag tag;
  Asn1Tag id_tag;
  std::string_view id;
  std::string_view value;
  bool two = false;
};

// Reads the pair whose encoding is `pair` (a component of a well-formed list) without
// building values. False when it is not a constructed value beginning with a primitive
// identifier and a value.
bool read_pair(std::string_view pair, PairParts& out);
// The same for a component taken as a value.
bool read_pair(const Asn1Value& component, PairParts& out);

// The identifier of a pair read in place. False (ResourceLimX raised) when it does not
// decode.
bool pair_identifier(const PairParts& parts, Oid& out);

// The pair SEQUENCE {OBJECT IDENTIFIER id, value}. False (ResourceLimX raised) when it
// cannot be built.
bool build_pair(const Oid& id, const Asn1Value& value, Asn1Value& out);

// The pair `component` (identifier `id`, value `value`) in the form the blob keeps:
// SEQUENCE {OBJECT IDENTIFIER, value}; a pair already in that form is taken as it stands
// (sharing its buffer). False (ResourceLimX raised) when it cannot be built.
bool stored_pair(const Asn1Value& component, const PairParts& parts, const Oid& id,
                 const Asn1Value& value, Asn1Value& out);

// The encoding of an empty SET: the blob of a record without list-valued attributes.
const Asn1Value& empty_blob_value();

// Writes the encoding of a SET of pairs into one string in one pass: room for the
// SET's header is kept in front while the pairs are appended, and the header is
// written once their length is known.
//
//   PairSetWriter set(blob.bytes());
//   for (...) set.add(pair.encoding_view());
//   set.finish();
class PairSetWriter {
 public:
  // Empties `out` and makes it the SET's buffer. `out` must outlive the writer.
  explicit PairSetWriter(std::string& out);
  // Appends the encoding of one pair (or of several, one after the other).
  void add(std::string_view encoding) { out_ += encoding; }
  // Appends the pair `pair` of the attribute list `list` (read into `parts`) in the form
  // the blob keeps: as it stands when it is in that form already, else rebuilt. False
  // (ResourceLimX raised unless the value library raised first) when its identifier
  // does not decode or the pair cannot be built.
  bool add_pair(const Asn1Value& list, std::string_view pair, const PairParts& parts);
  // The length of the encoding once finished.
  size_t encoded_size() const;
  // Writes the header: `out` then holds exactly the SET's encoding.
  void finish();

 private:
  std::string& out_;
};

// Adds every pair of a stored SET of pairs to `values`, in stored order, with an empty
// old value (the values share the SET's buffer). False, with ResourceLimX raised, when
// the SET is not constructed or holds a component that is not a pair with an
// identifier; the pairs before it are then in `values`. Room for the pairs is the
// caller's to make (RespValue::reserve), with room for the rest of its values: a row's
// read counts them once, for all.
// REQUIRES: `set` was decoded (Asn1Value::decode) or built, so its encoding is sound.
bool read_pairs(const Asn1Value& set, RespValue& values);

// Raises ResourceLimX for a stored SET that is not a SET of pairs; false.
bool not_a_pair_set();

// One pair of a SET of pairs, as walk_pairs shows it: the pair's encoding, the contents
// octets of its identifier (compare them with Oid::contents()) and their tag, and its
// value, all sharing the SET's buffer.
struct PairView {
  std::string_view pair;
  std::string_view id;
  Asn1Tag id_tag;
  Asn1Value value;
};

// Calls visit(const PairView&) for each pair of a SET of pairs, in order; visit returns
// false to stop the walk. False, with ResourceLimX raised, when `set` is not
// constructed or a component is not a pair (visit has seen the pairs before it).
// REQUIRES: `set` was decoded (Asn1Value::decode) or built, so its encoding is sound.
template <class Visit>
bool walk_pairs(const Asn1Value& set, Visit visit) {
  if (!set.constructed()) return not_a_pair_set();
  const auto pairs = set.components();
  for (auto it = pairs.begin(); it != pairs.end(); ++it) {
    std::string_view pair = it.encoding();
    PairParts parts;
    if (!read_pair(pair, parts)) return not_a_pair_set();
    if (!visit(PairView{pair, parts.id, parts.id_tag, set.element_at(parts.value)})) break;
  }
  return true;
}

}  // namespace qx
