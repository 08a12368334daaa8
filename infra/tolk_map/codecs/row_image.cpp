#include "infra/tolk_map/codecs/row_image.h"

#include <algorithm>

#include "platform/db/rwdb_expr.h"

namespace qx {

RowImage::RowImage(std::span<const ColumnDef> columns)
    : columns_(columns), fields_(columns.size()) {
  index_.fill(-1);
  for (size_t i = 0; i < columns_.size(); ++i) {
    int a = columns_[i].attr;
    if (a >= 0 && a < kMaxAttr) index_[a] = static_cast<int16_t>(i);
    by_type_[type_slot(columns_[i].type)].push_back(static_cast<uint16_t>(i));
  }
  initialize();
}

void* RowImage::address(size_t i) {
  Field& f = fields_[i];
  switch (columns_[i].type) {
    case RWDBValue::String:
      return &f.text;
    case RWDBValue::UnsignedLong:
      return &f.u;
    case RWDBValue::DateTime:
      return &f.dt;
    case RWDBValue::Blob:
      return &f.blob;
    default:
      return &f.l;
  }
}

void* RowImage::myColumn(ATTRIBUTES attr) {
  int i = column_of(attr);
  return i < 0 ? nullptr : address(static_cast<size_t>(i));
}

void RowImage::initialize() {
  // Only the member that address() gives for the column's type is ever used.
  auto reset = [&](RWDBValue::ValueType type, auto&& clear) {
    for (uint16_t i : by_type_[type_slot(type)]) clear(fields_[i]);
  };
  reset(RWDBValue::String, [](Field& f) {
    f.text.str().clear();
    f.stored = db::StorableText();
  });
  reset(RWDBValue::UnsignedLong, [](Field& f) { f.u = 0; });
  reset(RWDBValue::DateTime, [](Field& f) { f.dt = invalid_rw_db_date_time; });
  reset(RWDBValue::Blob, [](Field& f) { f.blob.clear(); });
  reset(RWDBValue::Long, [](Field& f) { f.l = 0; });
  reset(RWDBValue::NoType, [](Field& f) { f.l = 0; });  // any other type keeps a number
}

bool RowImage::fit_text(ATTRIBUTES attr) {
  int i = column_of(attr);
  if (i < 0 || columns_[static_cast<size_t>(i)].type != RWDBValue::String) return true;
  return fit_text_at(static_cast<size_t>(i));
}

RWDBSchema RowImage::schema() const {
  RWDBSchema s;
  for (const ColumnDef& c : columns_) s.appendColumn(c.name, c.type, c.length, c.nullable);
  return s;
}

void RowImage::bind(RWDBInserter& ins) {
  for (const ColumnDef& c : columns_) ins[c.name] << bound(c.attr);
}

RWDBBoundExpr RowImage::bound(ATTRIBUTES attr) {
  auto i = static_cast<size_t>(column_of(attr));
  Field& f = fields_[i];
  switch (columns_[i].type) {
    case RWDBValue::String:
      return RWDBBoundExpr(&f.text, &f.null);
    case RWDBValue::UnsignedLong:
      return RWDBBoundExpr(&f.u, &f.null);
    case RWDBValue::DateTime:
      return RWDBBoundExpr(&f.dt, &f.null);
    case RWDBValue::Blob:
      return RWDBBoundExpr(&f.blob, &f.null);
    default:
      return RWDBBoundExpr(&f.l, &f.null);
  }
}

void RowImage::set_nulls() {
  for (size_t i = 0; i < fields_.size(); ++i) {
    fields_[i].null = columns_[i].type == RWDBValue::Blob && fields_[i].blob.length() == 0;
  }
}

void RowImage::set_nulls(std::span<const ATTRIBUTES> present) {
  set_nulls();
  for (size_t i = 0; i < fields_.size(); ++i) {
    if (columns_[i].nullable &&
        std::find(present.begin(), present.end(), columns_[i].attr) == present.end()) {
      fields_[i].null = true;
    }
  }
}

}  // namespace qx
