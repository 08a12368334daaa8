#include "oar_info.h"

#include <memory_resource>
#include <new>

#include "infra/tolk_map/trace.h"

namespace {

// The pool of every entry of the process. Never destroyed: an entry may outlive every
// static of the library (a caller deleting its own entry at exit).
std::pmr::memory_resource& entry_pool() {
  // Chunks of at most 4,096 entries: a pool of a million entries wastes at most one
  // chunk's tail.
  static auto* pool = new std::pmr::synchronized_pool_resource(std::pmr::pool_options{
      .max_blocks_per_chunk = 4096, .largest_required_pool_block = sizeof(OarInfo)});
  return *pool;
}

}  // namespace

void* OarInfo::operator new(std::size_t size) {
  if (size != sizeof(OarInfo)) return ::operator new(size);  // a derived class of the caller's
  return entry_pool().allocate(size, alignof(OarInfo));
}

void OarInfo::operator delete(void* p, std::size_t size) noexcept {
  if (p == nullptr) return;
  if (size != sizeof(OarInfo)) {
    ::operator delete(p);
    return;
  }
  entry_pool().deallocate(p, size, alignof(OarInfo));
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
