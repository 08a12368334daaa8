// Codecs whose column holds a printed form of the value: formatted values (the value
// notation of the attribute's type), the capacity alarm threshold (blank-separated
// numbers), and the event type read back from its registered name.
#include <cstdlib>
#include <iostream>

#include "infra/tolk_map/codecs/codecs.h"
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

// Appends the formatted text of an attribute value, whole: what a column holds of it
// is the table's business (RowImage::fit_text). Printing raises nothing: a value that
// does not fit its type prints in the generic form.
bool append_formatted(const Oid& attr, std::string_view encoding, std::string& out) {
  if (encoding.empty()) return false;
  ::qx::append_attribute(attr, encoding, FORMAT_NAMES, out);
  return true;
}

// Appends the distinguished-name text of an object instance through the name cache,
// made at its first use and again after a reset.
bool append_instance_fdn(const Asn1Value& oi, std::string& out) {
  if (FdnCache::p_fdn_cache == nullptr) FdnCache::init();
  if (FdnCache* hit = FdnCache::lookup(oi)) {
    out += hit->get_fdn().view();
    return true;
  }
  if (!oi) return false;
  std::string text = oi2fdn(oi);
  out += text;
  if (FdnCache::p_fdn_cache != nullptr) {
    FdnCache::flush();
    new FdnCache(oi, DataUnit(std::move(text)));
  }
  return true;
}

}  // namespace

bool formatted_text(const Oid& attr, const Asn1Value& value, std::string& text) {
  text.clear();
  return append_formatted(attr, value.encoding_view(), text);
}

bool append_formatted_element(const Oid& attr, const Asn1Value& list, std::string_view element,
                              std::string& out) {
  const size_t start = out.size();
  // An object instance's text comes through the name cache, which keeps values.
  bool ok = attr == moiOid ? append_instance_fdn(list.element_at(element), out)
                           : append_formatted(attr, element, out);
  if (ok && tolk_map_debug != 0) {
    std::cout << "ins formatedVal " << out.substr(start) << " length " << out.size() - start
              << std::endl;
  }
  return ok;
}

bool instance_fdn(const Asn1Value& oi, std::string& text) {
  text.clear();
  return append_instance_fdn(oi, text);
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

bool ins_formatedVal(LogMapper*, void* field, const Oid& id, Asn1Value& value) {
  if (field == nullptr || !value) return false;
  std::string_view whole = value.encoding_view();
  return qx::append_formatted_element(id, value, whole, static_cast<RWCString*>(field)->str());
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

bool ins_convert(LogMapper*, void* field, const Oid&, Asn1Value& value) {
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
  // A registered name is the usual case: its contents octets go straight into the value.
  if (const OidNameRegistry::Entry* e = OidNameRegistry::by_name(view))
    return value.encode_octets(e->contents, TAG_CTX6);
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
