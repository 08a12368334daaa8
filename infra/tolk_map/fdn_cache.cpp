#include "infra/tolk_map/fdn_cache.h"

#include <cstdlib>

#include "platform/value/installation.h"

Asn1ValueFdnCache_hash* FdnCache::p_fdn_cache = nullptr;
FdnCacheQueue* FdnCache::p_q = nullptr;
uint32_t FdnCache::num_entries = 0;
uint32_t FdnCache::max_entries = 2000;
uint32_t FdnCache::entries_to_flush = 1000;
uint32_t FdnCache::hits = 0;
uint32_t FdnCache::attempts = 0;

size_t Asn1ValueFdnCache_hash::find(std::string_view key, size_t hash) const {
  size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot& s = slots_[i];
    if (s.entry == nullptr || (s.hash == hash && s.key == key)) return i;
  }
}

void Asn1ValueFdnCache_hash::grow() {
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(old.empty() ? 64 : old.size() * 2, Slot());
  for (const Slot& s : old) {
    if (s.entry != nullptr) slots_[find(s.key, s.hash)] = s;
  }
}

void Asn1ValueFdnCache_hash::store(const Asn1Value* oi, FdnCache* entry, size_t hash) {
  if (2 * (size_ + 1) > slots_.size()) grow();
  std::string_view key = oi->encoding_view();
  Slot& s = slots_[find(key, hash)];
  if (s.entry == nullptr) ++size_;
  // A replaced entry's key may view that entry's bytes: the key is rewritten too.
  s = Slot{hash, key, entry};
}

FdnCache* Asn1ValueFdnCache_hash::fetch(const Asn1Value* oi) const {
  if (size_ == 0) return nullptr;
  std::string_view key = oi->encoding_view();
  return slots_[find(key, hash_of(*oi))].entry;
}

void Asn1ValueFdnCache_hash::destroy(const Asn1Value* oi) {
  if (size_ == 0) return;
  size_t i = find(oi->encoding_view(), hash_of(*oi));
  if (slots_[i].entry != nullptr) erase_at(i);
}

void Asn1ValueFdnCache_hash::destroy_entry(size_t hash, const FdnCache* entry) {
  if (size_ == 0 || entry == nullptr) return;
  size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask; slots_[i].entry != nullptr; i = (i + 1) & mask) {
    if (slots_[i].entry == entry) {
      erase_at(i);
      return;
    }
  }
}

// Every slot after i up to the next free one stays reachable from its home slot:
// a slot whose home is not cyclically within (i, j] moves back into the gap.
void Asn1ValueFdnCache_hash::erase_at(size_t i) {
  size_t mask = slots_.size() - 1;
  for (size_t j = (i + 1) & mask; slots_[j].entry != nullptr; j = (j + 1) & mask) {
    size_t home = slots_[j].hash & mask;
    bool stays = i <= j ? (i < home && home <= j) : (i < home || home <= j);
    if (!stays) {
      slots_[i] = slots_[j];
      i = j;
    }
  }
  slots_[i] = Slot();
  --size_;
}

void FdnCacheQueue::enq(FdnCache* e) {
  e->prev_ = tail_;
  e->next_ = nullptr;
  (tail_ != nullptr ? tail_->next_ : head_) = e;
  tail_ = e;
  ++size_;
}

void FdnCacheQueue::exq(FdnCache* e) {
  (e->prev_ != nullptr ? e->prev_->next_ : head_) = e->next_;
  (e->next_ != nullptr ? e->next_->prev_ : tail_) = e->prev_;
  e->prev_ = e->next_ = nullptr;
  --size_;
}

Asn1ValueFdnCache_hash* FdnCache::init() {
  if (p_fdn_cache != nullptr || p_q != nullptr) return nullptr;
  num_entries = 0;
  hits = 0;
  attempts = 0;
  p_fdn_cache = new Asn1ValueFdnCache_hash;
  p_q = new FdnCacheQueue;
  // A value that is no number gives 0; a negative one a very large limit.
  const char* max = Installation::getenv("QX_LOG_MPA_FDN_CACHE_MAX_SIZE");
  max_entries = max != nullptr ? static_cast<uint32_t>(std::atoi(max)) : 2000;
  const char* flush = Installation::getenv("QX_LOG_MPA_FDN_CACHE_FLUSH_SIZE");
  entries_to_flush = flush != nullptr ? static_cast<uint32_t>(std::atoi(flush)) : 1000;
  return p_fdn_cache;
}

FdnCache::FdnCache(const Asn1Value& oi, DataUnit fdn) : oi_(oi.copy()), fdn_(std::move(fdn)) {
  // An entry under the same instance (possible only when a caller bypasses lookup)
  // replaces the older one in the map; the older one stays queued and is flushed.
  hash_ = Asn1ValueFdnCache_hash::hash_of(oi_);
  p_fdn_cache->store(&oi_, this, hash_);
  p_q->enq(this);
  ++num_entries;
}

FdnCache::~FdnCache() {
  if (p_fdn_cache != nullptr) p_fdn_cache->destroy_entry(hash_, this);
  if (p_q != nullptr) p_q->exq(this);
  --num_entries;
}

void FdnCache::flush() {
  if (p_q == nullptr || num_entries <= max_entries) return;
  for (uint32_t i = 0; i < entries_to_flush && !p_q->empty(); ++i) delete p_q->fiq();
}

FdnCache* FdnCache::lookup(const Asn1Value& oi) {
  attempt();
  if (p_fdn_cache == nullptr) return nullptr;
  FdnCache* entry = p_fdn_cache->fetch(&oi);
  if (entry != nullptr) hit();
  return entry;
}

void FdnCache::reset() {
  if (p_q != nullptr) {
    while (!p_q->empty()) delete p_q->fiq();
  }
  delete p_fdn_cache;
  delete p_q;
  p_fdn_cache = nullptr;
  p_q = nullptr;
  num_entries = 0;
  hits = 0;
  attempts = 0;
}
