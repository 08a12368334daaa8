#ifndef QX_PLATFORM_VALUE_ASN1_VALUE_H_
#define QX_PLATFORM_VALUE_ASN1_VALUE_H_

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/value/asn1_tag.h"
#include "platform/value/data_unit.h"
#include "platform/value/oid.h"

namespace qx::ber {
struct DecodeError;
}

// An ASN.1 value, held as its BER encoding: definite lengths, minimal length
// fields, minimal INTEGER and ENUMERATED contents. Building and decoding both
// end in that one form, so equal values have equal encodings and conversion to
// and from DataUnit is a copy of bytes.
//
// A short value (a number, a state, an identifier, a time) keeps its encoding in
// itself; a longer one in a buffer. Components share their parent's buffer, or are
// short copies of a short parent (walking allocates nothing); a value that is changed
// while its buffer is shared first takes a private copy.
//
// Failures: operations returning bool return false, raise InvalidX (or
// ResourceLimX) through the current exception and leave their out-parameters
// unchanged. A builder that fails leaves the value as it was.
//
// Thread-safety: one thread at a time per value, and values sharing a buffer
// (a value and its components or copies) belong to one thread; hand another
// thread a copy() instead.
class Asn1Value {
 public:
  // Nesting depth accepted by decode (the outermost element is depth 1).
  static constexpr int kMaxDepth = 64;

  Asn1Value() = default;
  // Rebuilds a value from its encoding (see decode; the unit must hold exactly
  // one element). On failure the value is empty and InvalidX is raised. An
  // empty unit gives an empty value and raises nothing (the conversion of an
  // empty value).
  explicit Asn1Value(const DataUnit& d);

  // True when the value holds something.
  explicit operator bool() const { return len_ != 0; }

  // ---- Building: each replaces the current content and returns true; a tag
  // of class universal and number 0 (reserved for end-of-contents) is refused,
  // and so are contents that are no valid identifier under TAG_OID (a value
  // tagged OBJECT IDENTIFIER always holds a valid one, here and in decode).
  bool encode_int(long v, Asn1Tag t = TAG_INT);
  bool encode_unsigned(unsigned long v, Asn1Tag t = TAG_INT);
  bool encode_enum(long v, Asn1Tag t = TAG_ENUM);
  bool encode_null(Asn1Tag t = TAG_NULL);
  bool encode_bool(bool v, Asn1Tag t = TAG_BOOL);
  bool encode_octets(const void* p, size_t n, Asn1Tag t = TAG_OCTSTR);
  bool encode_octets(std::string_view s, Asn1Tag t = TAG_OCTSTR);
  bool encode_oid(const Oid& oid, Asn1Tag t = TAG_OID);  // fails on an empty Oid
  // An empty constructed value (SET, SEQUENCE, [n] ...).
  bool start_construct(Asn1Tag t);
  // Appends a copy of c's encoding as the last component. Fails on a
  // primitive or empty this, an empty c, or a c kMaxDepth levels deep: no value
  // is built deeper than decode takes, so every value's encoding reads back.
  bool add_component(const Asn1Value& c);

  // ---- Reading. The tag's class and number are not checked (a [0]-tagged
  // INTEGER decodes with decode_int); form and contents are: INTEGER and
  // ENUMERATED must be primitive, minimal and fit the type.
  bool decode_int(long& out) const;
  bool decode_unsigned(unsigned long& out) const;  // negative values refused
  bool decode_enum(long& out) const;
  bool decode_bool(bool& out) const;
  bool decode_null() const;
  // Primitive contents, or the joined segments of a constructed string (a
  // universal string type or a non-universal tag; the segments tagged OCTET
  // STRING or as the whole).
  bool decode_octets(std::string& out) const;
  // As above into buf. Contents longer than capacity are refused
  // (ResourceLimX), never cut; on success len is the number of octets copied.
  bool decode_octets(unsigned char* buf, size_t capacity, size_t& len) const;
  bool decode_oid(Oid& out) const;

  // ---- Structure.
  bool constructed() const { return len_ != 0 && constructed_; }
  size_t num_comps() const;  // 0 for a primitive or empty value
  // first_component returns the first component and sets the value's cursor
  // after it; next_component returns the component at the cursor and moves it
  // on (without a first_component call it starts at the first). Both return
  // an empty value at the end, or for a primitive or empty value.
  Asn1Value first_component() const;
  Asn1Value next_component() const;

  // Cheap iteration for internal use: for (const Asn1Value& c : v.components()).
  // Does not touch the cursor. The range must not outlive v.
  class ComponentIterator;
  class ComponentRange;
  ComponentRange components() const;
  // The value of an element nested in this one's encoding (sharing this value's buffer,
  // or a copy kept inline when it is short): `element` must view this value's own octets
  // from the first octet of a nested element on (as ComponentIterator::encoding() gives,
  // or a component read within it).
  Asn1Value element_at(std::string_view element) const;

  // ---- Tag and size.
  Asn1Tag tag() const { return tag_; }  // universal 0 for an empty value
  // Changes the tag in place, keeping the form and contents. Fails on an empty
  // value, the reserved tag universal 0, or TAG_OID for contents that are no
  // valid identifier.
  bool retag(Asn1Tag t);
  size_t size() const { return len_; }  // the encoding's length (0 when empty)
  size_t header_size() const { return hdr_; }
  // A deep copy owning its octets: a buffer of its own, or in itself when short.
  Asn1Value copy() const;
  // Deep copies of `a` and `b` in one buffer that the two alone share (one allocation
  // where two copies take two or four), or each in itself when both are short: they
  // belong to one thread together, and a change to either first takes a private copy,
  // as for any shared buffer.
  static std::pair<Asn1Value, Asn1Value> copy_pair(const Asn1Value& a, const Asn1Value& b);
  const unsigned char* encoding() const;
  std::string_view encoding_view() const;
  // Contents octets of a primitive, or the concatenated component encodings
  // of a constructed value.
  std::string_view contents() const;

  // Readable dump: one line per element, indented two spaces per depth (the
  // format of `logmapper asn1`). An empty value prints "(empty)".
  void print(std::ostream& os) const;
  std::string to_string() const;

  // ---- Conversion.
  DataUnit to_data_unit() const;
  explicit operator DataUnit() const { return to_data_unit(); }

  // Decodes one BER element from p[0..n): indefinite lengths, long-form tags
  // and lengths and constructed strings are accepted; the stored encoding is
  // the definite-length form. Every read is bounds-checked and nesting deeper
  // than kMaxDepth is refused. With consumed, octets after the element are
  // allowed and *consumed is the element's length in the input; without it
  // they are an error. On failure: out empty, false, InvalidX with the
  // offset and the reason.
  static bool decode(const void* p, size_t n, Asn1Value& out, size_t* consumed = nullptr);
  // As above; on failure also stores the offset and reason in *error.
  static bool decode(const void* p, size_t n, Asn1Value& out, size_t* consumed,
                     qx::ber::DecodeError* error);

  bool operator==(const Asn1Value& o) const { return encoding_view() == o.encoding_view(); }
  bool operator!=(const Asn1Value& o) const { return !(*this == o); }

 private:
  friend class ComponentIterator;
  using Buffer = std::string;

  // A value made or decoded with an encoding of at most kInline octets keeps it in
  // itself: the numbers, states, identifiers and times that make up most of a record
  // are made, copied and dropped without a buffer to allocate or a count to keep. A
  // longer one, and every value built with start_construct, lives in a buffer; an
  // element taken from a value is inline when it is short, else shares the buffer.
  static constexpr size_t kInline = 22;

  // The element at byte offset off of parent's octets (trusted encoding).
  Asn1Value(const Asn1Value& parent, size_t off);
  void set_primitive(Asn1Tag t, const void* contents, size_t n);
  // Reads the header of the element at p (trusted encoding) into this value.
  void read_header(const char* p);
  // Reads the element at p (trusted encoding) and keeps it inline when it fits; false
  // (the header read, the octets not kept) when it does not.
  bool read_inline(const char* p);
  // Makes the storage private, holding only this element at its end with at
  // least head spare octets before it and room for `spare` more after it.
  void make_private(size_t head, size_t spare);
  // The room a buffer about to grow gets after its element.
  static constexpr size_t kGrowthRoom = 64;
  size_t content_offset() const { return off_ + hdr_; }
  // The octets off_ counts from: the buffer's, or the value's own.
  const char* base() const { return buf_ ? buf_->data() : reinterpret_cast<const char*>(inline_); }

  std::shared_ptr<Buffer> buf_;  // null when empty or kept inline
  size_t off_ = 0;               // the element's first octet in base() (0 inline)
  size_t len_ = 0;               // header + contents; 0 when empty
  mutable size_t cursor_ = 0;    // next component's offset; 0 = not started
  Asn1Tag tag_;
  uint8_t hdr_ = 0;  // header length
  bool constructed_ = false;
  unsigned char inline_[kInline] = {};  // the encoding, when it is kept here
};

class Asn1Value::ComponentIterator {
 public:
  ComponentIterator(const Asn1Value* parent, size_t pos) : parent_(parent), pos_(pos) {}
  Asn1Value operator*() const { return Asn1Value(*parent_, pos_); }
  // The component's encoding, without building a value.
  std::string_view encoding() const;
  ComponentIterator& operator++();
  bool operator==(const ComponentIterator& o) const { return pos_ == o.pos_; }
  bool operator!=(const ComponentIterator& o) const { return pos_ != o.pos_; }

 private:
  const Asn1Value* parent_;
  size_t pos_;
  mutable size_t len_ = 0;  // the component's length, once encoding() has read it
};

class Asn1Value::ComponentRange {
 public:
  ComponentRange(const Asn1Value* parent, size_t begin, size_t end)
      : parent_(parent), begin_(begin), end_(end) {}
  ComponentIterator begin() const { return ComponentIterator(parent_, begin_); }
  ComponentIterator end() const { return ComponentIterator(parent_, end_); }

 private:
  const Asn1Value* parent_;
  size_t begin_, end_;
};

std::ostream& operator<<(std::ostream& os, const Asn1Value& v);

#endif  // QX_PLATFORM_VALUE_ASN1_VALUE_H_
