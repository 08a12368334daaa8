// Codecs whose column holds a printed form of the value: formatted values (the value
// notation of the attribute's type), the capacity alarm threshold (blank-separated
// numbers), and the event type read back from its registered name.
#include <cstdlib>
#include <iostream>

#include "infra/tolk_map/codecs.h"
#include "infra/tolk_map/fdn_cache.h"
#include "infra/tolk_map/oids.h"
#include "infra/tolk_map/trace.h"
#include "platform/db/rw_ctokenizer.h"
#include "platform/db/rwdb_reader.h"
#include "platform/db/rwdb_updater.h"
#include "platform/value/asn1_type.h"
#include "platform/value/exception.h"
#include "platform/value/oi2fdn.h"
#include "platform/value/oid_name_registry.h"
#include "platform/value/value_notation.h"

namespace qx {

namespace {
constexpr size_t kMaxFormatted = 255;
}  // namespace

bool formatted_text(const Oid& attr, const Asn1Value& value, std::string& text) {
  if (!value) return false;
  ExceptionScope scope;
  std::string out = ::format_attribute(attr, value, FORMAT_NAMES);
  if (out.size() > kMaxFormatted) out.resize(kMaxFormatted);
  text = std::move(out);
  return true;
}

// The distinguished-name text of an object instance, through the name cache.
bool instance_fdn(const Asn1Value& oi, std::string& text) {
  static Asn1ValueFdnCache_hash* cache = FdnCache::init();
  (void)cache;
  if (FdnCache* hit = FdnCache::lookup(oi)) {
    text.assign(hit->get_fdn().view().substr(0, kMaxFormatted));
    return true;
  }
  if (!oi) return false;
  text = oi2fdn(oi);
  if (FdnCache::p_fdn_cache != nullptr) {
    FdnCache::flush();
    new FdnCache(oi, DataUnit(text));
  }
  if (text.size() > kMaxFormatted) text.resize(kMaxFormatted);
  return true;
}

bool convert_text(const Asn1Value& value, std::string& text) {
  text.clear();
  if (!value || value.tag() != TAG_SET || !value.constructed()) return false;
  bool ok = true;
  ExceptionScope scope;
  for (const Asn1Value& c : value.components()) {
    long n = 0;
    if (c.constructed() || !c.decode_int(n)) {
      ok = false;
      continue;
    }
    text += std::to_string(n);
    text += cap_delimiter;
  }
  return ok;
}

}  // namespace qx

bool pop_formatedVal(LogMapper*, RWDBUpdater& u, const RWCString& column, Oid& id,
                     Asn1Value& value) {
  std::string text;
  if (!qx::formatted_text(id, value, text)) return false;
  if (tolk_map_debug != 0)
    std::cout << "pop formatedVal " << text << " length " << text.size() << std::endl;
  qx::assign(u, column, RWCString(text));
  return true;
}

bool ins_formatedVal(LogMapper*, void* field, Oid& id, Asn1Value& value) {
  if (field == nullptr) return false;
  std::string text;
  bool ok = id == moiOid ? qx::instance_fdn(value, text) : qx::formatted_text(id, value, text);
  if (!ok) return false;
  if (tolk_map_debug != 0)
    std::cout << "ins formatedVal " << text << " length " << text.size() << std::endl;
  std::string& dest = static_cast<RWCString*>(field)->str();
  if (dest.empty()) {
    dest.swap(text);
  } else {
    dest += text;
  }
  return true;
}

bool rdr_formatedVal(LogMapper*, RWDBReader& r, const RWCString& column, Oid& id,
                     Asn1Value& value) {
  RWCString text;
  if (!qx::read_text(r, column, text)) return false;
  if (OidNameRegistry::find_name_by_oid(id) == nullptr) {
    ResourceLimX::raise("attribute %s has no registered name", id.format().c_str());
    return false;
  }
  Asn1Value parsed;
  std::string error;
  if (!parse_attribute(id, text.str(), parsed, &error)) {
    InvalidX::raise("failed to parse attribute_value");
    return false;
  }
  value = parsed;
  return true;
}

// ---- Capacity alarm threshold.

bool pop_convert(LogMapper*, RWDBUpdater& u, const RWCString& column, Oid&, Asn1Value& value) {
  std::string text;
  bool ok = qx::convert_text(value, text);
  if (!ok) text.clear();  // a value that is not a set of numbers stores the empty text
  if (tolk_map_debug != 0) std::cout << "text " << text << " length " << text.size() << std::endl;
  qx::assign(u, column, RWCString(text));
  return ok;
}

bool ins_convert(LogMapper*, void* field, Oid&, Asn1Value& value) {
  std::string text;
  if (field == nullptr || !qx::convert_text(value, text)) return false;
  *static_cast<RWCString*>(field) = RWCString(text);
  return true;
}

bool rdr_convert(LogMapper*, RWDBReader& r, const RWCString& column, Oid&, Asn1Value& value) {
  RWCString text;
  if (!qx::read_text(r, column, text)) return false;
  Asn1Value set;
  set.start_construct(TAG_SET);
  RWCTokenizer next(text);
  for (RWCString token = next(cap_delimiter); !token.isNull(); token = next(cap_delimiter)) {
    Asn1Value n;
    n.encode_int(std::atol(token.data()), TAG_INT);
    set.add_component(n);
  }
  value = set;
  return true;
}

// ---- Event type: stored as its registered name (or dotted text) and read back as
// the [6] alternative.

bool rdr_eventType(LogMapper*, RWDBReader& r, const RWCString& column, Oid& attr,
                   Asn1Value& value) {
  std::string_view view;
  if (!qx::read_text_view(r, column, view)) return false;
  Oid oid;
  if (OidNameRegistry::find_oid_by_name(view, oid)) return value.encode_oid(oid, TAG_CTX6);
  // The column keeps a global-form type by its bare name; anything else it holds (a
  // local-form type, "localForm:7") is the type's own notation and reads back as such.
  Asn1Value parsed;
  if (::parse_attribute(attr, view, parsed)) {
    value = parsed;
    return true;
  }
  ResourceLimX::raise("event name %.*s is not registered", static_cast<int>(view.size()),
                      view.data());
  return false;
}
