// The alarm state cache follows the transaction. A log's mapper changes its cache (and
// its record bookkeeping) as its statements run: a record written enters it, a record
// deleted leaves it, a clear changes a record's state. None of that is stored until the
// transaction commits. The journal of a log keeps what its cache was before each change
// of the open transaction, so that when the transaction does not commit (an abort, a
// commit that fails, a transaction the database rolled back on its own after a failed
// statement) the cache is put back as the tables are; a commit forgets it.
//
// An entry that a delete took out of the cache stays in the journal until the
// transaction ends, and an undo puts that very object back (a caller's OarInfo among
// them). An undo of a write deletes the entry the write put in.
//
// In auto-commit mode every statement is stored as it runs: nothing is journaled.
//
// Thread-safety: none, as the mapper's; the journals of all logs of the process follow
// the one transaction of the shared connection.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "tolk.h"

namespace qx {

class CacheJournal {
 public:
  explicit CacheJournal(LogMapper& owner) : owner_(owner) {}
  // Leaves the journals of the transaction; what it held is dropped, not undone.
  ~CacheJournal();
  CacheJournal(const CacheJournal&) = delete;
  CacheJournal& operator=(const CacheJournal&) = delete;

  // Before record `id` enters the cache.
  void entered(uint32_t id);
  // Record `id` left the cache; the journal keeps its entry.
  void left(uint32_t id, std::unique_ptr<OarInfo> entry);
  // Before the state byte of cached record `id` changes from `before`.
  void state_changed(uint32_t id, uint8_t before);
  // The log dropped the table of a type: the journal keeps its table object, which an
  // undo puts back (its table is back too).
  void table_dropped(TABLE_TYPE type, std::unique_ptr<LogMapper> table);

  // The transaction committed: every journal forgets.
  static void committed();
  // The transaction did not commit: every journal puts its log's cache back.
  static void rolled_back();
  // When the database rolled the transaction back on its own, puts every cache back now
  // (the commit that follows fails). Called where a statement failed.
  static void check_lost();

 private:
  enum Kind : uint8_t { kEntered, kLeft, kState };
  struct Change {
    uint32_t id;
    Kind kind;
    uint8_t state;                   // kState: the byte before
    std::unique_ptr<OarInfo> entry;  // kLeft: the entry
  };
  // What the record bookkeeping was before the first change.
  struct Bookkeeping {
    unsigned long lowest, highest, size, count;
    bool lowest_set;
  };

  // Whether a change is to be kept, and the journal among the open ones.
  bool start();
  // Puts every journaled cache back.
  static void undo_all();
  void undo();
  void forget();

  LogMapper& owner_;
  bool open_ = false;  // in the list of journals with changes
  Bookkeeping before_{};
  std::vector<Change> changes_;
  std::vector<std::pair<TABLE_TYPE, std::unique_ptr<LogMapper>>> tables_;
};

}  // namespace qx
