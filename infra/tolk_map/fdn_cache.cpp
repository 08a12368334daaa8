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

void Asn1ValueFdnCache_hash::store(const Asn1Value* oi, FdnCache* entry) {
  // A replaced entry's key may view that entry's bytes: the key is rewritten too.
  auto [it, added] = map_.try_emplace(oi->encoding_view(), entry);
  if (!added) {
    map_.erase(it);
    map_.emplace(oi->encoding_view(), entry);
  }
}

FdnCache* Asn1ValueFdnCache_hash::fetch(const Asn1Value* oi) const {
  auto it = map_.find(oi->encoding_view());
  return it == map_.end() ? nullptr : it->second;
}

void Asn1ValueFdnCache_hash::destroy(const Asn1Value* oi) { map_.erase(oi->encoding_view()); }

void Asn1ValueFdnCache_hash::destroy_entry(const Asn1Value* oi, const FdnCache* entry) {
  auto it = map_.find(oi->encoding_view());
  if (it != map_.end() && it->second == entry) map_.erase(it);
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
  p_fdn_cache->store(&oi_, this);
  p_q->enq(this);
  ++num_entries;
}

FdnCache::~FdnCache() {
  if (p_fdn_cache != nullptr) p_fdn_cache->destroy_entry(&oi_, this);
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
