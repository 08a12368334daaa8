#include "platform/value/oid_name_registry.h"

#include <deque>
#include <unordered_map>

#include "platform/value/exception.h"
#include "platform/value/oid_text.h"
#include "platform/value/private_arc.h"

namespace {

struct ViewHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
};

class Registry {
 public:
  Registry() {
    for (size_t i = 0; i < qx::kNumStandardNames; ++i) define(qx::kStandardNames[i]);
    for (size_t i = 0; i < qx::kNumPlatformNames; ++i) define(qx::kPlatformNames[i]);
  }

  const OidNameRegistry::Entry* by_name(std::string_view name) const {
    auto it = by_name_.find(name);
    return it == by_name_.end() ? nullptr : it->second;
  }
  const OidNameRegistry::Entry* by_contents(std::string_view contents) const {
    auto it = by_contents_.find(contents);
    return it == by_contents_.end() ? nullptr : it->second;
  }

  // Adds an entry; false when the name or the identifier is taken.
  bool add(std::string_view name, std::string contents, qx::NameKind kind) {
    if (by_name(name) || by_contents(contents)) return false;
    entries_.push_back(OidNameRegistry::Entry{std::string(name), std::move(contents), kind});
    const OidNameRegistry::Entry& e = entries_.back();
    by_name_.emplace(std::string_view(e.name), &e);
    by_contents_.emplace(std::string_view(e.contents), &e);
    return true;
  }

  const std::deque<OidNameRegistry::Entry>& entries() const { return entries_; }

 private:
  void define(const qx::NameDefinition& d) {
    std::string contents;
    // The built-in tables are checked by the tests; a bad row is skipped.
    if (qx::oid_text::parse_dotted(d.dotted, contents)) add(d.name, std::move(contents), d.kind);
  }

  // A deque keeps entries in place, so the maps can key on views of them.
  std::deque<OidNameRegistry::Entry> entries_;
  std::unordered_map<std::string_view, const OidNameRegistry::Entry*, ViewHash, std::equal_to<>>
      by_name_;
  std::unordered_map<std::string_view, const OidNameRegistry::Entry*, ViewHash, std::equal_to<>>
      by_contents_;
};

Registry& registry() {
  static Registry r;
  return r;
}

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool OidNameRegistry::valid_name(std::string_view name) {
  if (name.empty() || !is_letter(name[0])) return false;
  for (char c : name) {
    if (!is_letter(c) && !is_digit(c) && c != '-' && c != '_') return false;
  }
  return name != "TRUE" && name != "FALSE" && name != "NULL" && name != "PLUS-INFINITY" &&
         name != "MINUS-INFINITY";
}

bool OidNameRegistry::find_oid_by_name(std::string_view name, Oid& out) {
  std::string contents;
  if (const Entry* e = registry().by_name(name)) {
    contents = e->contents;
  } else if (name.empty() || !is_digit(name[0]) || !qx::oid_text::parse_dotted(name, contents)) {
    return false;
  }
  ExceptionScope scope;  // contents are valid; nothing should be raised
  return Oid::from_contents(reinterpret_cast<const unsigned char*>(contents.data()),
                            contents.size(), out);
}

bool OidNameRegistry::find_name_by_oid(const Oid& oid, std::string& name) {
  const char* n = find_name_by_oid(oid);
  if (!n) return false;
  name = n;
  return true;
}

const char* OidNameRegistry::find_name_by_oid(const Oid& oid) {
  const Entry* e = registry().by_contents(oid.contents().view());
  return e ? e->name.c_str() : nullptr;
}

const OidNameRegistry::Entry* OidNameRegistry::by_name(std::string_view name) {
  return registry().by_name(name);
}

const OidNameRegistry::Entry* OidNameRegistry::by_contents(std::string_view contents) {
  return registry().by_contents(contents);
}

bool OidNameRegistry::add(std::string_view name, const Oid& oid, qx::NameKind kind) {
  if (!valid_name(name)) {
    InvalidX::raise("not a valid identifier name: '%.*s'", static_cast<int>(name.size()),
                    name.data());
    return false;
  }
  if (oid.empty()) {
    InvalidX::raise("no identifier given for the name '%.*s'", static_cast<int>(name.size()),
                    name.data());
    return false;
  }
  if (!registry().add(name, std::string(oid.contents().view()), kind)) {
    InvalidX::raise("name or identifier already registered: '%.*s' %s",
                    static_cast<int>(name.size()), name.data(), oid.format().c_str());
    return false;
  }
  return true;
}

std::vector<const OidNameRegistry::Entry*> OidNameRegistry::entries() {
  std::vector<const Entry*> out;
  for (const Entry& e : registry().entries()) out.push_back(&e);
  return out;
}
