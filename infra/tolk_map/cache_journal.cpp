#include "infra/tolk_map/cache_journal.h"

#include <algorithm>

#include "infra/tolk_map/trace.h"
#include "platform/db/rwdb_connection.h"

namespace qx {

namespace {

// The journals that hold changes of the open transaction.
std::vector<CacheJournal*>& open_journals() {
  static auto* journals = new std::vector<CacheJournal*>();
  return *journals;
}

// The database rolled the caller's transaction back on its own and the caches were put
// back: what is journaled from then on belongs to what the failing commit will undo.
bool g_loss_undone = false;

bool lost() {
  return !g_loss_undone && TolkMap::aConnection().isValid() &&
         TolkMap::aConnection().transactionLost();
}

}  // namespace

CacheJournal::~CacheJournal() {
  if (!open_) return;
  auto& all = open_journals();
  all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

bool CacheJournal::start() {
  RWDBConnection& conn = TolkMap::aConnection();
  if (!conn.isValid() || conn.isAutoCommit()) return false;
  if (lost()) undo_all();  // what came before is gone already
  if (!open_) {
    open_ = true;
    open_journals().push_back(this);
    before_ = {owner_.lowest_id_, owner_.highest_id_, owner_.log_size_, owner_.num_records_,
               owner_.lowest_set_};
  }
  return true;
}

void CacheJournal::entered(uint32_t id) {
  if (start()) changes_.push_back({id, kEntered, 0, nullptr});
}

void CacheJournal::left(uint32_t id, std::unique_ptr<OarInfo> entry) {
  if (start()) changes_.push_back({id, kLeft, 0, std::move(entry)});
}

void CacheJournal::state_changed(uint32_t id, uint8_t before) {
  if (start()) changes_.push_back({id, kState, before, nullptr});
}

void CacheJournal::table_dropped(TABLE_TYPE type, std::unique_ptr<LogMapper> table) {
  if (start()) tables_.emplace_back(type, std::move(table));
}

void CacheJournal::undo() {
  LogMapper::OarCache& cache = owner_.oar_cache_;
  for (auto c = changes_.rbegin(); c != changes_.rend(); ++c) {
    switch (c->kind) {
      case kEntered:
        cache.erase(c->id);
        break;
      case kLeft:
        cache[c->id] = std::move(c->entry);
        break;
      case kState:
        if (auto it = cache.find(c->id); it != cache.end()) {
          unsigned char cleared = c->state >> 7;
          unsigned char severity = c->state & 0x7f;
          it->second->set_clear_severity(cleared, severity);
        }
        break;
    }
  }
  for (auto& [type, table] : tables_) owner_.tables_[type] = std::move(table);
  owner_.lowest_id_ = before_.lowest;
  owner_.highest_id_ = before_.highest;
  owner_.log_size_ = before_.size;
  owner_.num_records_ = before_.count;
  owner_.lowest_set_ = before_.lowest_set;
  if (!changes_.empty() || !tables_.empty()) {
    tolk_info.print("Log %s: %zu changes of its cache undone with the transaction.\n",
                    owner_.get_logid(), changes_.size() + tables_.size());
  }
  forget();
}

void CacheJournal::forget() {
  // The memory of a large transaction is given back; that of a usual one is kept.
  if (changes_.capacity() > 4096) {
    std::vector<Change>().swap(changes_);
  } else {
    changes_.clear();
  }
  tables_.clear();
  open_ = false;
}

void CacheJournal::committed() {
  auto& all = open_journals();
  for (CacheJournal* j : all) j->forget();
  all.clear();
  g_loss_undone = false;
}

void CacheJournal::rolled_back() {
  undo_all();
  g_loss_undone = false;
}

void CacheJournal::undo_all() {
  std::vector<CacheJournal*> journals;
  journals.swap(open_journals());
  for (CacheJournal* j : journals) j->undo();
  g_loss_undone = true;
}

void CacheJournal::check_lost() {
  if (!open_journals().empty() && lost()) undo_all();
}

}  // namespace qx
