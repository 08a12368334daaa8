#include "platform/db/rwdb_reader.h"

#include <limits>

#include "platform/db/impl.h"

using qx::db::report;

namespace {

// Whether a column's (lower-case) name is `name`, whatever the case of name.
bool same_name(const std::string& folded, const std::string& name) {
  if (folded.size() != name.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    char c = name[i];
    if (c == folded[i]) continue;
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != folded[i]) return false;
  }
  return true;
}

RWDBStatus no_rows() { return RWDBStatus(RWDBStatus::notInitialized, "the reader has no query"); }

}  // namespace

bool RWDBReader::operator()() {
  if (!impl_ || !impl_->cursor || !impl_->status.isValid()) return false;
  impl_->position = 0;
  impl_->positionValid = true;
  impl_->access = RWDBStatus();
  impl_->nullPos = -1;
  impl_->hasRow = impl_->cursor->next(&impl_->status);
  if (!impl_->status.isValid()) {
    report(impl_->status);
    impl_->hasRow = false;
  }
  return impl_->hasRow;
}

RWDBReader& RWDBReader::operator[](size_t position) {
  if (!impl_ || !impl_->cursor) return *this;
  impl_->position = position;
  impl_->positionValid = position < static_cast<size_t>(impl_->columns);
  impl_->access = impl_->positionValid
                      ? RWDBStatus()
                      : RWDBStatus(RWDBStatus::invalidPosition,
                                   "no column at position " + std::to_string(position));
  return *this;
}

RWDBReader& RWDBReader::operator[](const RWCString& columnName) {
  if (!impl_ || !impl_->cursor) return *this;
  // The column at the position first (see the header): the name as last asked for
  // there, then the column's own name in any case.
  if (impl_->position < static_cast<size_t>(impl_->columns)) {
    size_t at = impl_->position;
    if (impl_->askedAs.size() <= at) impl_->askedAs.resize(static_cast<size_t>(impl_->columns));
    std::string& asked = impl_->askedAs[at];
    const std::string& name = columnName.str();
    bool found = asked == name;
    if (!found && same_name(impl_->cursor->columnName(static_cast<int>(at)), name)) {
      asked = name;
      found = true;
    }
    if (found) {
      impl_->positionValid = true;
      impl_->access = RWDBStatus();
      return *this;
    }
  }
  if (impl_->byName.empty()) {
    for (int i = 0; i < impl_->columns; ++i)
      impl_->byName.emplace(impl_->cursor->columnName(i), static_cast<size_t>(i));
  }
  // Folded into a buffer kept by the reader: the lookups of every row allocate nothing.
  std::string& key = impl_->nameKey;
  key.assign(columnName.str());
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  auto it = impl_->byName.find(key);
  if (it == impl_->byName.end()) {
    impl_->positionValid = false;
    impl_->access = RWDBStatus(RWDBStatus::invalidPosition, "no column named " + columnName);
  } else {
    impl_->position = it->second;
    impl_->positionValid = true;
    impl_->access = RWDBStatus();
  }
  return *this;
}

namespace {

// The column at the reader's position, or -1 (no row, or no such column).
int current(qx::db::ReaderImpl* r) {
  if (r == nullptr || !r->cursor || !r->hasRow || !r->positionValid) return -1;
  if (r->position >= static_cast<size_t>(r->columns)) {
    r->positionValid = false;
    r->access = RWDBStatus(RWDBStatus::invalidPosition,
                           "no column at position " + std::to_string(r->position));
    return -1;
  }
  return static_cast<int>(r->position);
}

// Takes the value of the column at the position through get(i) and moves on; true when
// there was a value and it converted.
template <class Get>
bool extract(qx::db::ReaderImpl* r, Get get) {
  int i = current(r);
  if (i < 0) return false;
  bool got = false;
  if (!r->isNull(i)) {
    got = get(i);
    if (!got) {
      r->access =
          report(RWDBStatus(RWDBStatus::typeConflict, "column " + r->cursor->columnName(i) +
                                                          " does not convert to the variable"));
    }
  }
  ++r->position;
  return got;
}

bool to_int(qx::db::ReaderImpl* r, int i, int64_t lo, int64_t hi, int64_t* v) {
  return r->cursor->getInt(i, v) && *v >= lo && *v <= hi;
}

}  // namespace

RWDBReader& RWDBReader::operator>>(RWDBNullIndicator& n) {
  int i = current(impl_.get());
  n = i < 0 ? true : impl_->isNull(i);
  return *this;
}

bool RWDBReader::take(RWCString& v) {
  return extract(impl_.get(), [&](int i) { return impl_->cursor->getText(i, &v.str()); });
}

bool RWDBReader::take(long& v) {
  return extract(impl_.get(), [&](int i) {
    int64_t x;
    if (!impl_->cursor->getInt(i, &x)) return false;
    v = static_cast<long>(x);
    return true;
  });
}

bool RWDBReader::take(unsigned long& v) {
  return extract(impl_.get(), [&](int i) {
    int64_t x;
    if (!impl_->cursor->getInt(i, &x) || x < 0) return false;
    v = static_cast<unsigned long>(x);
    return true;
  });
}

bool RWDBReader::take(RWDBDateTime& v) {
  return extract(impl_.get(), [&](int i) {
    int64_t ms;
    int32_t off;
    if (!impl_->cursor->getDateTime(i, &ms, &off)) return false;
    v = RWDBDateTime::fromMillisOffset(ms, off);
    return true;
  });
}

bool RWDBReader::take(RWDBBlob& v) {
  return extract(impl_.get(), [&](int i) { return impl_->cursor->getBlob(i, &v.bytes()); });
}

bool RWDBReader::takeText(std::string_view& v) {
  return extract(impl_.get(), [&](int i) { return impl_->cursor->viewText(i, &v); });
}

bool RWDBReader::takeBlob(std::string_view& v) {
  return extract(impl_.get(), [&](int i) { return impl_->cursor->viewBlob(i, &v); });
}

RWDBReader& RWDBReader::operator>>(RWCString& v) {
  take(v);
  return *this;
}

RWDBReader& RWDBReader::operator>>(int& v) {
  extract(impl_.get(), [&](int i) {
    int64_t x;
    if (!to_int(impl_.get(), i, std::numeric_limits<int>::min(), std::numeric_limits<int>::max(),
                &x))
      return false;
    v = static_cast<int>(x);
    return true;
  });
  return *this;
}

RWDBReader& RWDBReader::operator>>(long& v) {
  take(v);
  return *this;
}

RWDBReader& RWDBReader::operator>>(unsigned long& v) {
  take(v);
  return *this;
}

RWDBReader& RWDBReader::operator>>(RWDBDateTime& v) {
  take(v);
  return *this;
}

RWDBReader& RWDBReader::operator>>(RWDBBlob& v) {
  take(v);
  return *this;
}

RWDBReader& RWDBReader::viewText(std::string_view& v) {
  takeText(v);
  return *this;
}

RWDBReader& RWDBReader::viewBlob(std::string_view& v) {
  takeBlob(v);
  return *this;
}

bool RWDBReader::isNull(size_t position) const {
  if (!impl_ || !impl_->cursor || !impl_->hasRow || position >= static_cast<size_t>(impl_->columns))
    return false;
  return impl_->isNull(static_cast<int>(position));
}

size_t RWDBReader::numberOfColumns() const {
  return impl_ && impl_->cursor ? static_cast<size_t>(impl_->columns) : 0;
}

RWDBColumn RWDBReader::column(size_t position) const {
  if (!impl_ || !impl_->cursor || position >= static_cast<size_t>(impl_->columns))
    return RWDBColumn::invalid(RWDBStatus(RWDBStatus::invalidPosition,
                                          "no column at position " + std::to_string(position)));
  return RWDBColumn(impl_->cursor->columnName(static_cast<int>(position)));
}

bool RWDBReader::isValid() const { return impl_ && impl_->cursor && status().isValid(); }

RWDBStatus RWDBReader::status() const {
  if (!impl_) return no_rows();
  return impl_->status.isValid() ? impl_->access : impl_->status;
}
