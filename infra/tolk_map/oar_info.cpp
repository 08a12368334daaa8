#include "oar_info.h"

#include <mutex>
#include <new>

#include "infra/tolk_map/trace.h"

namespace {

// The pool of every entry of the process: blocks of one entry's size, cut from chunks of
// 4,096 (a pool of a million entries wastes at most one chunk's tail), and kept on a
// free list when deleted, for the next entry. Entries are made and deleted on any
// thread, so a mutex guards the pool: uncontended, its lock costs a fraction of what a
// general thread-safe pool costs, and every cached record makes an entry (a million at
// start-up). Chunks are never given back, as an entry may be deleted again at any time.
class EntryPool {
 public:
  void* allocate() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (Block* b = free_) {
      free_ = b->next;
      return b;
    }
    if (left_ == 0) {
      next_ = static_cast<Block*>(::operator new(kChunk * sizeof(Block)));
      left_ = kChunk;
    }
    --left_;
    return next_++;
  }
  void deallocate(void* p) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto* b = static_cast<Block*>(p);
    b->next = free_;
    free_ = b;
  }

 private:
  union Block {
    Block* next;  // while on the free list
    alignas(OarInfo) unsigned char entry[sizeof(OarInfo)];
  };
  static constexpr size_t kChunk = 4096;

  std::mutex mutex_;
  Block* free_ = nullptr;
  Block* next_ = nullptr;  // the rest of the current chunk
  size_t left_ = 0;
};

// Never destroyed: an entry may outlive every static of the library (a caller deleting
// its own entry at exit).
EntryPool& entry_pool() {
  static auto* pool = new EntryPool;
  return *pool;
}

}  // namespace

void* OarInfo::operator new(std::size_t size) {
  if (size != sizeof(OarInfo)) return ::operator new(size);  // a derived class of the caller's
  return entry_pool().allocate();
}

void OarInfo::operator delete(void* p, std::size_t size) noexcept {
  if (p == nullptr) return;
  if (size != sizeof(OarInfo)) {
    ::operator delete(p);
    return;
  }
  entry_pool().deallocate(p);
}

int OarInfo::set_moiid(unsigned long& moiid) {
  moiid_ = static_cast<uint32_t>(moiid);
  return 1;
}

int OarInfo::set_table_type(unsigned char& type) {
  table_type_ = type;
  return 1;
}

int OarInfo::set_clear_severity(unsigned char& state, unsigned char& severity) {
  clear_severity_ = static_cast<uint8_t>((severity & 0x7f) | (state != 0 ? 0x80 : 0));
  tolk_info.print(146, "Set the clear severity: (hex : 0x%x) (dec : %d) \n", clear_severity_,
                  clear_severity_);
  return 1;
}

int OarInfo::set_clear_state(unsigned char& state) {
  clear_severity_ = static_cast<uint8_t>((clear_severity_ & 0x7f) | (state != 0 ? 0x80 : 0));
  tolk_info.print("147, Set the clear state:  (hex : 0x%x) (dec : %d) \n", clear_severity_,
                  clear_severity_);
  return 1;
}

int OarInfo::get_clear_severity(unsigned char& state, unsigned char& severity) const {
  state = (clear_severity_ & 0x80) != 0 ? 1 : 0;
  severity = clear_severity_ & 0x7f;
  return 1;
}
