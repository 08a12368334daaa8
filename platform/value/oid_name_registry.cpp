#include "platform/value/oid_name_registry.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <deque>
#include <vector>

#include "platform/value/exception.h"
#include "platform/value/oid_text.h"
#include "platform/value/private_arc.h"

namespace {

// Entries by one of their texts (name or contents octets): open
// addressing over a power-of-two table at most half full, each slot keeping
// the key's hash so that a probe rarely compares texts. Identifiers are
// looked up on every one the value notation prints, mostly ones without a
// name: a miss usually ends at the first empty slot.
class EntryIndex {
 public:
  using Entry = OidNameRegistry::Entry;

  const Entry* find(std::string_view key) const {
    if (slots_.empty()) return nullptr;
    uint64_t h = hash(key);
    for (size_t i = h & mask_;; i = (i + 1) & mask_) {
      const Slot& s = slots_[i];
      if (s.entry == nullptr) return nullptr;
      if (s.hash == h && s.key == key) return s.entry;
    }
  }

  // REQUIRES: key not in the index; key lives as long as the index.
  void insert(std::string_view key, const Entry* e) {
    if (2 * (count_ + 1) > slots_.size()) rehash(slots_.empty() ? 64 : 2 * slots_.size());
    place(Slot{hash(key), key, e});
    ++count_;
  }

 private:
  struct Slot {
    uint64_t hash = 0;
    std::string_view key;
    const Entry* entry = nullptr;
  };

  // Words of the key mixed by multiplication; identifiers and names are
  // short, so this is a few instructions per eight octets.
  static uint64_t hash(std::string_view key) {
    constexpr uint64_t kMul = 0x9E3779B97F4A7C15ull;
    const char* p = key.data();
    size_t n = key.size();
    uint64_t h = n;
    while (n >= 8) {
      uint64_t w;
      std::memcpy(&w, p, 8);
      h = (h ^ w) * kMul;
      p += 8;
      n -= 8;
    }
    uint64_t w = 0;
    for (size_t i = 0; i < n; ++i) w |= uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
    h ^= w;
    // The final mix of MurmurHash3: every octet reaches the low bits.
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ull;
    h ^= h >> 33;
    return h;
  }

  void place(const Slot& slot) {
    size_t i = slot.hash & mask_;
    while (slots_[i].entry != nullptr) i = (i + 1) & mask_;
    slots_[i] = slot;
  }

  void rehash(size_t size) {
    std::vector<Slot> old(size);
    old.swap(slots_);
    mask_ = size - 1;
    for (const Slot& s : old) {
      if (s.entry != nullptr) place(s);
    }
  }

  std::vector<Slot> slots_;
  size_t mask_ = 0;
  size_t count_ = 0;
};

class Registry {
 public:
  Registry() {
    for (size_t i = 0; i < qx::kNumStandardNames; ++i) define(qx::kStandardNames[i]);
    for (size_t i = 0; i < qx::kNumPlatformNames; ++i) define(qx::kPlatformNames[i]);
  }

  const OidNameRegistry::Entry* by_name(std::string_view name) const { return by_name_.find(name); }
  const OidNameRegistry::Entry* by_contents(std::string_view contents) const {
    return by_contents_.find(contents);
  }

  // Adds an entry; false when the name or the identifier is taken.
  bool add(std::string_view name, std::string contents, qx::NameKind kind) {
    if (by_name(name) || by_contents(contents)) return false;
    entries_.push_back(OidNameRegistry::Entry{std::string(name), std::move(contents), kind});
    const OidNameRegistry::Entry& e = entries_.back();
    by_name_.insert(e.name, &e);
    by_contents_.insert(e.contents, &e);
    return true;
  }

  const std::deque<OidNameRegistry::Entry>& entries() const { return entries_; }

 private:
  void define(const qx::NameDefinition& d) {
    std::string contents;
    // The built-in tables are checked by the tests; a bad row is skipped.
    if (qx::oid_text::parse_dotted(d.dotted, contents)) add(d.name, std::move(contents), d.kind);
  }

  // A deque keeps entries in place, so the indexes can key on views of them.
  std::deque<OidNameRegistry::Entry> entries_;
  EntryIndex by_name_;
  EntryIndex by_contents_;
};

// The registry once built, so that lookups reach it without the guard of a
// function-local static.
std::atomic<Registry*> g_built{nullptr};

[[gnu::noinline]] Registry& build_registry() {
  static Registry r;
  g_built.store(&r, std::memory_order_release);
  return r;
}

Registry& registry() {
  Registry* r = g_built.load(std::memory_order_acquire);
  return r != nullptr ? *r : build_registry();
}

// Names added since start: the standard names are generation 1.
std::atomic<uint32_t> g_generation{1};

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
  ++g_generation;
  return true;
}

uint32_t OidNameRegistry::generation() { return g_generation; }

std::vector<const OidNameRegistry::Entry*> OidNameRegistry::entries() {
  std::vector<const Entry*> out;
  for (const Entry& e : registry().entries()) out.push_back(&e);
  return out;
}
