// OarInfo: what the mapper of a log remembers about one stored record without asking
// the database: the table the record lies in, the managed object it is about, and
// its alarm state (cleared or not, and the severity it had before clearing).
//
// Ownership: a caller allocates an entry with `new` and hands it to WriteToDB; once the
// record is written the log's mapper owns that very object (the caller may keep reading
// it while the record is cached) and deletes it with the record or the mapper.
//
// Thread-safety: none; an entry belongs to one mapper, which is used from one thread
// at a time. Allocation and deletion may happen on any thread.
#pragma once

#include <cstddef>
#include <cstdint>

class OarInfo {
 public:
  // A new entry: no managed object (0), table type 1, not cleared, severity 0.
  OarInfo() = default;

  // Every setter returns 1.
  int set_moiid(unsigned long& moiid);
  unsigned long get_moiid() const { return moiid_; }
  int set_table_type(unsigned char& type);
  unsigned char get_table_type() const { return table_type_; }

  // The state byte becomes `severity` (low seven bits) with bit 7 set when `state`
  // is non-zero.
  int set_clear_severity(unsigned char& state, unsigned char& severity);
  // Sets or clears bit 7 and keeps the severity.
  int set_clear_state(unsigned char& state);
  // state = bit 7 (0 or 1), severity = bits 0 to 6.
  int get_clear_severity(unsigned char& state, unsigned char& severity) const;
  // The raw state byte (bit 7 cleared flag, bits 0-6 severity).
  unsigned char get_state_byte() const { return clear_severity_; }

  // A log keeps one entry per stored record, a million and more: entries come from a
  // pool of their own, so that each costs its eight bytes and not a heap block.
  static void* operator new(std::size_t size);
  static void operator delete(void* p, std::size_t size) noexcept;

 private:
  uint32_t moiid_ = 0;
  uint8_t table_type_ = 1;
  uint8_t clear_severity_ = 0;
};
