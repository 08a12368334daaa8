// FdnCache: a process-wide, bounded cache from a managed object instance to the text of
// its full distinguished name, so that writing many records about the same object
// converts its name only once.
//
// Each entry is an FdnCache object that registers itself in the map and at the tail of
// the eviction queue on construction and unregisters on destruction. Eviction is first
// in, first out: a hit does not move an entry.
//
// Thread-safety: none. The cache is shared by the whole process and must be used from
// one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/value/asn1_value.h"
#include "platform/value/data_unit.h"

class FdnCache;

// Map from an object instance (by its encoding) to its entry. Entries delete
// themselves; the map owns nothing. A stored key is a view of the bytes of the
// instance passed to store, which must stay unchanged until it is destroyed (each
// entry keeps its own copy for that).
//
// Open addressing with linear probing: each slot keeps the key's hash, so that a
// search compares bytes only where the hashes agree and touches no other memory,
// and a removal shifts the following slots back instead of leaving a mark.
class Asn1ValueFdnCache_hash {
 public:
  void store(const Asn1Value* oi, FdnCache* entry) { store(oi, entry, hash_of(*oi)); }
  // The same with the key's hash_of given.
  void store(const Asn1Value* oi, FdnCache* entry, size_t hash);
  FdnCache* fetch(const Asn1Value* oi) const;
  void destroy(const Asn1Value* oi);
  // Removes `entry` where it is stored under a key of the given hash_of (found by
  // its address: no key is compared); nothing when it is not stored.
  void destroy_entry(size_t hash, const FdnCache* entry);
  size_t entries() const { return size_; }

  static size_t hash_of(const Asn1Value& oi) {
    std::string_view e = oi.encoding_view();
    return qx::hash_bytes(e.data(), e.size());
  }

 private:
  struct Slot {
    size_t hash = 0;
    std::string_view key;
    FdnCache* entry = nullptr;  // null: free
  };
  // The slot holding key, or the free slot where it would go.
  size_t find(std::string_view key, size_t hash) const;
  void erase_at(size_t i);
  void grow();

  std::vector<Slot> slots_;  // a power of two, at most half full
  size_t size_ = 0;
};

// The entries in insertion order. Intrusive: each entry is its own queue element,
// so queuing allocates nothing.
class FdnCacheQueue {
 public:
  void enq(FdnCache* e);                   // appends at the tail
  FdnCache* fiq() const { return head_; }  // the oldest, or null
  void exq(FdnCache* e);                   // takes a queued entry out
  bool empty() const { return head_ == nullptr; }
  size_t size() const { return size_; }

 private:
  FdnCache* head_ = nullptr;
  FdnCache* tail_ = nullptr;
  size_t size_ = 0;
};

class FdnCache {
 public:
  // Creates the cache (map and queue) and reads its limits from
  // QX_LOG_MPA_FDN_CACHE_MAX_SIZE (default 2000) and QX_LOG_MPA_FDN_CACHE_FLUSH_SIZE
  // (default 1000). Returns the map, or null when the cache exists already (nothing
  // is changed then).
  static Asn1ValueFdnCache_hash* init();

  // Creates an entry for (oi, fdn) with copies of both, stores it under its own copy of
  // the instance and appends it to the queue. REQUIRES: init() has run.
  FdnCache(const Asn1Value& oi, DataUnit fdn);
  // Unregisters the entry from the map and the queue.
  ~FdnCache();
  FdnCache(const FdnCache&) = delete;
  FdnCache& operator=(const FdnCache&) = delete;

  // When more than max_entries entries are cached, deletes the entries_to_flush
  // oldest ones (fewer when the queue runs empty).
  static void flush();

  const DataUnit& get_fdn() const { return fdn_; }
  static void hit() { ++hits; }
  static void attempt() { ++attempts; }

  // Looks `oi` up, counting the attempt and a hit. Null when not cached or when the
  // cache does not exist.
  static FdnCache* lookup(const Asn1Value& oi);

  // Deletes every entry and the cache itself (for tests and for unloading).
  static void reset();

  static Asn1ValueFdnCache_hash* p_fdn_cache;
  static FdnCacheQueue* p_q;
  static uint32_t num_entries;
  static uint32_t max_entries;
  static uint32_t entries_to_flush;
  static uint32_t hits;
  static uint32_t attempts;

 private:
  friend class FdnCacheQueue;
  Asn1Value oi_;
  DataUnit fdn_;
  size_t hash_;               // of oi_ in the map
  FdnCache* prev_ = nullptr;  // queue neighbours
  FdnCache* next_ = nullptr;
};
