#include "platform/value/asn1_value.h"

#include <bit>
#include <cstring>
#include <sstream>
#include <utility>

#include "platform/value/ber.h"
#include "platform/value/ber_decoder.h"
#include "platform/value/ber_print.h"
#include "platform/value/exception.h"

namespace {

bool usable_tag(Asn1Tag t) {
  if (t.cls == Asn1Tag::UNIVERSAL && t.number == 0) {
    InvalidX::raise("tag [UNIVERSAL 0] is reserved for end-of-contents");
    return false;
  }
  return true;
}

// Whether contents may carry tag t: a universal OBJECT IDENTIFIER always
// holds a valid identifier (decode refuses anything else).
bool fitting_contents(Asn1Tag t, bool constructed, const void* p, size_t n) {
  if (t != TAG_OID) return true;
  if (constructed) {
    InvalidX::raise("an OBJECT IDENTIFIER cannot be constructed");
    return false;
  }
  size_t at = 0;
  if (const char* why = qx::ber::check_oid_contents(static_cast<const uint8_t*>(p), n, &at)) {
    InvalidX::raise("%s (octet %zu)", why, at);
    return false;
  }
  return true;
}

// Whether the element at p (a well-formed definite-length encoding) is at most
// `limit` levels deep, a primitive being one level.
bool within_depth(const uint8_t* p, int limit) {
  qx::ber::Header h = qx::ber::read_trusted(p);
  if (!h.constructed) return limit >= 1;
  size_t ends[Asn1Value::kMaxDepth + 1];  // ends[d]: end of the open element at depth d
  int depth = 1;
  ends[1] = h.header_len + h.content_len;
  size_t pos = h.header_len;
  for (;;) {
    while (pos == ends[depth]) {
      if (--depth == 0) return true;
    }
    if (depth + 1 > limit) return false;  // the next element lies at depth + 1
    h = qx::ber::read_trusted(p + pos);
    if (h.constructed) {
      ends[++depth] = pos + h.header_len + h.content_len;
      pos += h.header_len;
    } else {
      pos += h.header_len + h.content_len;
    }
  }
}

// Minimal two's complement of v, big-endian, into out[0..9); returns the
// first octet used.
size_t twos_complement(long v, uint8_t (&out)[9]) {
  uint64_t u = static_cast<uint64_t>(v);
  out[0] = v < 0 ? 0xff : 0x00;
  for (int i = 8; i >= 1; --i) {
    out[i] = static_cast<uint8_t>(u);
    u >>= 8;
  }
  size_t first = 1;
  while (first < 8 && ((out[first] == 0x00 && !(out[first + 1] & 0x80)) ||
                       (out[first] == 0xff && (out[first + 1] & 0x80))))
    ++first;
  return first;
}

}  // namespace

Asn1Value::Asn1Value(const DataUnit& d) {
  if (!d.empty()) decode(d.data(), d.size(), *this);
}

Asn1Value::Asn1Value(const Asn1Value& parent, size_t off) {
  // An element short enough is copied into the value itself, which then counts no
  // reference to its parent's buffer (an element of an inline value is such a one);
  // a longer one shares the buffer.
  if (read_inline(parent.base() + off)) return;
  buf_ = parent.buf_;
  off_ = off;
}

void Asn1Value::read_header(const char* p) {
  qx::ber::Header h = qx::ber::read_trusted(reinterpret_cast<const uint8_t*>(p));
  hdr_ = static_cast<uint8_t>(h.header_len);
  len_ = h.header_len + h.content_len;
  tag_ = h.tag;
  constructed_ = h.constructed;
  cursor_ = 0;
}

bool Asn1Value::read_inline(const char* p) {
  read_header(p);
  if (len_ > kInline) return false;
  std::memcpy(inline_, p, len_);
  buf_.reset();
  off_ = 0;
  return true;
}

void Asn1Value::set_primitive(Asn1Tag t, const void* contents, size_t n) {
  if (t.number < 31 && 2 + n <= kInline) {
    // The usual short value: a two-octet header, kept inline. The contents may be this
    // value's own: moved first.
    if (n != 0) std::memmove(inline_ + 2, contents, n);
    inline_[0] = static_cast<unsigned char>(t.cls << 6 | t.number);
    inline_[1] = static_cast<unsigned char>(n);
    buf_.reset();
    hdr_ = 2;
    off_ = 0;
    len_ = 2 + n;
    tag_ = t;
    constructed_ = false;
    cursor_ = 0;
    return;
  }
  uint8_t head[qx::ber::kMaxHeader];
  size_t hs = qx::ber::write_header(head, t, false, n);
  if (hs + n <= kInline) {
    // The contents may be this value's own: moved first, then the header written.
    if (n != 0) std::memmove(inline_ + hs, contents, n);
    std::memcpy(inline_, head, hs);
    buf_.reset();
  } else {
    auto buf = std::make_shared<Buffer>();
    buf->reserve(hs + n);
    buf->append(reinterpret_cast<const char*>(head), hs);
    if (n != 0) buf->append(static_cast<const char*>(contents), n);
    buf_ = std::move(buf);
  }
  off_ = 0;
  hdr_ = static_cast<uint8_t>(hs);
  len_ = hs + n;
  tag_ = t;
  constructed_ = false;
  cursor_ = 0;
}

void Asn1Value::make_private(size_t head, size_t spare) {
  const char* p = base() + off_;
  if (head == 0 && spare == 0) {  // a copy that will not grow: the octets alone
    if (len_ <= kInline) {
      if (buf_) std::memcpy(inline_, p, len_);
      buf_.reset();
    } else {
      buf_ = std::make_shared<Buffer>(p, len_);
    }
    off_ = 0;
    return;
  }
  auto buf = std::make_shared<Buffer>();
  buf->reserve(head + len_ + spare);
  buf->assign(head, '\0');
  buf->append(p, len_);
  buf_ = std::move(buf);
  off_ = head;
}

bool Asn1Value::encode_int(long v, Asn1Tag t) {
  if (!usable_tag(t)) return false;
  uint8_t b[9];
  size_t first = twos_complement(v, b);
  set_primitive(t, b + first, 9 - first);
  return true;
}

bool Asn1Value::encode_unsigned(unsigned long v, Asn1Tag t) {
  if (!usable_tag(t)) return false;
  // The number's octets, most significant first, after a zero octet; the contents are
  // the last n: one octet per eight bits of the number, and one more for the sign bit.
  uint8_t b[9];
  b[0] = 0;
  uint64_t u = v;
  for (int i = 8; i >= 1; --i) {
    b[i] = static_cast<uint8_t>(u);
    u >>= 8;
  }
  const size_t n = static_cast<size_t>(std::bit_width(static_cast<uint64_t>(v))) / 8 + 1;
  set_primitive(t, b + 9 - n, n);
  return true;
}

bool Asn1Value::encode_enum(long v, Asn1Tag t) { return encode_int(v, t); }

bool Asn1Value::encode_null(Asn1Tag t) {
  if (!usable_tag(t)) return false;
  set_primitive(t, nullptr, 0);
  return true;
}

bool Asn1Value::encode_bool(bool v, Asn1Tag t) {
  if (!usable_tag(t)) return false;
  uint8_t b = v ? 0xff : 0x00;
  set_primitive(t, &b, 1);
  return true;
}

bool Asn1Value::encode_octets(const void* p, size_t n, Asn1Tag t) {
  if (!usable_tag(t)) return false;
  if (p == nullptr && n != 0) {
    InvalidX::raise("encode_octets: no octets");
    return false;
  }
  if (!fitting_contents(t, false, p, n)) return false;
  set_primitive(t, p, n);
  return true;
}

bool Asn1Value::encode_octets(std::string_view s, Asn1Tag t) {
  return encode_octets(s.data(), s.size(), t);
}

bool Asn1Value::encode_oid(const Oid& oid, Asn1Tag t) {
  if (!usable_tag(t)) return false;
  if (oid.empty()) {
    InvalidX::raise("encode_oid: empty object identifier");
    return false;
  }
  set_primitive(t, oid.contents().data(), oid.contents().size());
  return true;
}

bool Asn1Value::start_construct(Asn1Tag t) {
  if (!usable_tag(t) || !fitting_contents(t, true, nullptr, 0)) return false;
  // Spare room before the header lets add_component grow the length octets
  // without moving the contents.
  uint8_t head[qx::ber::kMaxHeader];
  size_t hs = qx::ber::write_header(head, t, true, 0);
  auto buf = std::make_shared<Buffer>();
  buf->reserve(qx::ber::kMaxHeader + 64);
  buf->assign(qx::ber::kMaxHeader - hs, '\0');
  buf->append(reinterpret_cast<const char*>(head), hs);
  buf_ = std::move(buf);
  off_ = qx::ber::kMaxHeader - hs;
  hdr_ = static_cast<uint8_t>(hs);
  len_ = hs;
  tag_ = t;
  constructed_ = true;
  cursor_ = 0;
  return true;
}

bool Asn1Value::add_component(const Asn1Value& c) {
  if (!*this || !constructed_) {
    InvalidX::raise("add_component: not a constructed value");
    return false;
  }
  if (!c) {
    InvalidX::raise("add_component: empty component");
    return false;
  }
  // Nothing is built that decode would refuse: c goes one level down.
  if (c.constructed_ &&
      !within_depth(reinterpret_cast<const uint8_t*>(c.base()) + c.off_, kMaxDepth - 1)) {
    InvalidX::raise("add_component: nesting deeper than %d levels", kMaxDepth);
    return false;
  }
  // c may share this buffer (even be this value): keep its octets alive and
  // where they are while this value moves to a buffer of its own. (A value kept
  // inline keeps its octets where they are when it moves to a buffer.)
  const bool shared = c.buf_ != nullptr && c.buf_ == buf_;
  std::shared_ptr<Buffer> keep = shared ? c.buf_ : nullptr;
  const char* src = c.base() + c.off_;
  size_t n = c.len_;
  size_t content = len_ - hdr_;
  size_t new_content = content + n;
  size_t hs = qx::ber::header_size(tag_, new_content);
  bool in_place = buf_ != nullptr && !shared && buf_.use_count() == 1 &&
                  off_ + len_ == buf_->size() && content_offset() >= hs;
  if (!in_place) make_private(qx::ber::kMaxHeader, kGrowthRoom);
  size_t cstart = content_offset();
  buf_->append(src, n);
  uint8_t head[qx::ber::kMaxHeader];
  qx::ber::write_header(head, tag_, true, new_content);
  std::memcpy(buf_->data() + cstart - hs, head, hs);
  off_ = cstart - hs;
  hdr_ = static_cast<uint8_t>(hs);
  len_ = hs + new_content;
  return true;
}

namespace {

bool check_primitive(const Asn1Value& v, const char* what) {
  if (!v) {
    InvalidX::raise("%s: empty value", what);
    return false;
  }
  if (v.constructed()) {
    InvalidX::raise("%s: constructed encoding", what);
    return false;
  }
  return true;
}

// The contents as a minimal integer (ber::read_integer_contents); raises why not.
bool read_integer(const Asn1Value& v, const char* what, bool is_unsigned, uint64_t& out) {
  if (!check_primitive(v, what)) return false;
  std::string_view c = v.contents();
  if (const char* why = qx::ber::read_integer_contents(reinterpret_cast<const uint8_t*>(c.data()),
                                                       c.size(), is_unsigned, &out)) {
    InvalidX::raise("%s: %s", what, why);
    return false;
  }
  return true;
}

// Tags whose constructed form is a string in segments: the universal string
// types and any tag outside the universal class (implicitly tagged strings).
bool string_tag(Asn1Tag t) {
  if (t.cls != Asn1Tag::UNIVERSAL) return true;
  switch (t.number) {
    case 3:
    case 4:
    case 7:
    case 12:
    case 18:
    case 19:
    case 20:
    case 21:
    case 22:
    case 23:
    case 24:
    case 25:
    case 26:
    case 27:
    case 28:
    case 30:
      return true;
    default:
      return false;
  }
}

// Joins the segments of a constructed string: each is primitive or
// constructed in turn, tagged OCTET STRING or as the whole.
bool join_segments(const Asn1Value& v, Asn1Tag outer, std::string& out) {
  for (const Asn1Value& seg : v.components()) {
    if (seg.tag() != TAG_OCTSTR && seg.tag() != outer) {
      InvalidX::raise("decode_octets: segment of a constructed string tagged [%s %u]",
                      seg.tag().class_name(), seg.tag().number);
      return false;
    }
    if (seg.constructed()) {
      if (!join_segments(seg, outer, out)) return false;
    } else {
      out += seg.contents();
    }
  }
  return true;
}

}  // namespace

bool Asn1Value::decode_int(long& out) const {
  uint64_t u;
  if (!read_integer(*this, "decode_int", false, u)) return false;
  out = static_cast<long>(u);
  return true;
}

bool Asn1Value::decode_unsigned(unsigned long& out) const {
  uint64_t u;
  if (!read_integer(*this, "decode_unsigned", true, u)) return false;
  out = static_cast<unsigned long>(u);
  return true;
}

bool Asn1Value::decode_enum(long& out) const {
  uint64_t u;
  if (!read_integer(*this, "decode_enum", false, u)) return false;
  out = static_cast<long>(u);
  return true;
}

bool Asn1Value::decode_bool(bool& out) const {
  if (!check_primitive(*this, "decode_bool")) return false;
  if (len_ - hdr_ != 1) {
    InvalidX::raise("decode_bool: %zu contents octets, 1 expected", len_ - hdr_);
    return false;
  }
  out = contents()[0] != 0;
  return true;
}

bool Asn1Value::decode_null() const {
  if (!check_primitive(*this, "decode_null")) return false;
  if (len_ != hdr_) {
    InvalidX::raise("decode_null: %zu contents octets, none expected", len_ - hdr_);
    return false;
  }
  return true;
}

bool Asn1Value::decode_octets(std::string& out) const {
  if (!*this) {
    InvalidX::raise("decode_octets: empty value");
    return false;
  }
  if (!constructed_) {
    out.assign(contents());
    return true;
  }
  if (!string_tag(tag_)) {
    InvalidX::raise("decode_octets: a constructed [UNIVERSAL %u] is not a string", tag_.number);
    return false;
  }
  std::string joined;
  if (!join_segments(*this, tag_, joined)) return false;
  out.swap(joined);
  return true;
}

bool Asn1Value::decode_octets(unsigned char* buf, size_t capacity, size_t& len) const {
  if (!*this) {
    InvalidX::raise("decode_octets: empty value");
    return false;
  }
  if (!constructed_) {
    std::string_view c = contents();
    if (c.size() > capacity) {
      ResourceLimX::raise("decode_octets: %zu octets do not fit in %zu", c.size(), capacity);
      return false;
    }
    if (!c.empty()) std::memcpy(buf, c.data(), c.size());
    len = c.size();
    return true;
  }
  std::string joined;
  if (!decode_octets(joined)) return false;
  if (joined.size() > capacity) {
    ResourceLimX::raise("decode_octets: %zu octets do not fit in %zu", joined.size(), capacity);
    return false;
  }
  if (!joined.empty()) std::memcpy(buf, joined.data(), joined.size());
  len = joined.size();
  return true;
}

bool Asn1Value::decode_oid(Oid& out) const {
  if (!check_primitive(*this, "decode_oid")) return false;
  std::string_view c = contents();
  return Oid::from_contents(reinterpret_cast<const unsigned char*>(c.data()), c.size(), out);
}

size_t Asn1Value::num_comps() const {
  size_t n = 0;
  for (auto it = components().begin(), end = components().end(); it != end; ++it) ++n;
  return n;
}

Asn1Value::ComponentRange Asn1Value::components() const {
  if (!*this || !constructed_) return ComponentRange(this, 0, 0);
  return ComponentRange(this, content_offset(), off_ + len_);
}

Asn1Value Asn1Value::element_at(std::string_view element) const {
  return Asn1Value(*this, static_cast<size_t>(element.data() - base()));
}

std::string_view Asn1Value::ComponentIterator::encoding() const {
  const char* p = parent_->base() + pos_;
  qx::ber::Header h = qx::ber::read_trusted(reinterpret_cast<const uint8_t*>(p));
  len_ = h.header_len + h.content_len;
  return std::string_view(p, len_);
}

Asn1Value::ComponentIterator& Asn1Value::ComponentIterator::operator++() {
  if (len_ == 0) {
    qx::ber::Header h =
        qx::ber::read_trusted(reinterpret_cast<const uint8_t*>(parent_->base()) + pos_);
    len_ = h.header_len + h.content_len;
  }
  pos_ += len_;
  len_ = 0;
  return *this;
}

Asn1Value Asn1Value::first_component() const {
  cursor_ = 0;
  return next_component();
}

Asn1Value Asn1Value::next_component() const {
  if (!*this || !constructed_) return Asn1Value();
  size_t rel = cursor_ == 0 ? 0 : cursor_ - 1;
  if (rel >= len_ - hdr_) {
    cursor_ = len_ - hdr_ + 1;
    return Asn1Value();
  }
  Asn1Value c(*this, content_offset() + rel);
  cursor_ = rel + c.len_ + 1;
  return c;
}

bool Asn1Value::retag(Asn1Tag t) {
  if (!*this) {
    InvalidX::raise("retag: empty value");
    return false;
  }
  if (!usable_tag(t)) return false;
  size_t content = len_ - hdr_;
  if (!fitting_contents(t, constructed_, base() + off_ + hdr_, content)) return false;
  uint8_t head[qx::ber::kMaxHeader];
  size_t hs = qx::ber::write_header(head, t, constructed_, content);
  if (hs == hdr_ && !buf_) {
    std::memcpy(inline_, head, hs);
  } else if (hs == hdr_ && buf_.use_count() == 1) {
    std::memcpy(buf_->data() + off_, head, hs);
  } else {
    size_t spare = constructed_ ? qx::ber::kMaxHeader : hs;
    auto buf = std::make_shared<Buffer>();
    buf->reserve(spare + content);
    buf->assign(spare - hs, '\0');
    buf->append(reinterpret_cast<const char*>(head), hs);
    buf->append(base() + off_ + hdr_, content);
    buf_ = std::move(buf);
    off_ = spare - hs;
    hdr_ = static_cast<uint8_t>(hs);
    len_ = hs + content;
  }
  tag_ = t;
  return true;
}

Asn1Value Asn1Value::copy() const {
  Asn1Value v(*this);
  // A short copy is kept in itself, constructed or not: add_component gives it a
  // buffer if it ever grows. A longer constructed copy may grow by add_component and
  // gets room for it; a primitive one grows only by its own builders, which take a
  // buffer of their own, and gets none.
  if (buf_) {  // an inline copy is its own already
    const bool room = constructed_ && len_ > kInline;
    v.make_private(room ? qx::ber::kMaxHeader : 0, room ? kGrowthRoom : 0);
  }
  v.cursor_ = 0;
  return v;
}

std::pair<Asn1Value, Asn1Value> Asn1Value::copy_pair(const Asn1Value& a, const Asn1Value& b) {
  if (!a || !b || (a.len_ <= kInline && b.len_ <= kInline)) return {a.copy(), b.copy()};
  auto buf = std::make_shared<Buffer>();
  buf->reserve(a.len_ + b.len_);
  buf->append(a.base() + a.off_, a.len_);
  buf->append(b.base() + b.off_, b.len_);
  std::pair<Asn1Value, Asn1Value> out(a, b);  // the headers as read; the buffers follow
  out.first.buf_ = buf;
  out.first.off_ = 0;
  out.first.cursor_ = 0;
  out.second.buf_ = std::move(buf);
  out.second.off_ = a.len_;
  out.second.cursor_ = 0;
  return out;
}

const unsigned char* Asn1Value::encoding() const {
  return len_ != 0 ? reinterpret_cast<const unsigned char*>(base()) + off_ : nullptr;
}

std::string_view Asn1Value::encoding_view() const {
  return len_ != 0 ? std::string_view(base() + off_, len_) : std::string_view();
}

std::string_view Asn1Value::contents() const {
  return len_ != 0 ? std::string_view(base() + off_ + hdr_, len_ - hdr_) : std::string_view();
}

void Asn1Value::print(std::ostream& os) const { qx::ber::print_text(os, *this); }

std::string Asn1Value::to_string() const {
  std::ostringstream os;
  print(os);
  return os.str();
}

std::ostream& operator<<(std::ostream& os, const Asn1Value& v) {
  v.print(os);
  return os;
}

DataUnit Asn1Value::to_data_unit() const {
  return len_ != 0 ? DataUnit(base() + off_, len_) : DataUnit();
}

bool Asn1Value::decode(const void* p, size_t n, Asn1Value& out, size_t* consumed) {
  return decode(p, n, out, consumed, nullptr);
}

bool Asn1Value::decode(const void* p, size_t n, Asn1Value& out, size_t* consumed,
                       qx::ber::DecodeError* error) {
  qx::ber::DecodeError err;
  size_t used = 0;
  Buffer octets;
  if (p == nullptr && n != 0) n = 0;
  if (!qx::ber::decode(static_cast<const uint8_t*>(p), n, consumed != nullptr, kMaxDepth, octets,
                       used, err)) {
    out = Asn1Value();
    InvalidX::raise("BER offset %zu: %s", err.offset, err.what.c_str());
    if (error != nullptr) *error = err;
    return false;
  }
  if (!out.read_inline(octets.data())) {  // the header is read: the octets go to a buffer
    out.buf_ = std::make_shared<Buffer>(std::move(octets));
    out.off_ = 0;
  }
  if (consumed != nullptr) *consumed = used;
  return true;
}
