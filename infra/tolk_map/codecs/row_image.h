// RowImage: the program variables a prepared INSERT is bound to, one per column,
// addressed by attribute number (ATTRIBUTES). A table class describes its columns once
// (a ColumnDef table); the image, the creation schema and the insert binding all come
// from that description, so table classes differ only in their data.
//
// Thread-safety: none; an image belongs to one table object.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "infra/tolk_map/codecs/codecs.h"
#include "platform/db/column_text.h"
#include "platform/db/rwdb_blob.h"
#include "platform/db/rwdb_date_time.h"
#include "platform/db/rwdb_expr.h"
#include "platform/db/rwdb_inserter.h"
#include "platform/db/rwdb_schema.h"
#include "platform/db/rwdb_value.h"

namespace qx {

// One column of a table: its name, value type, storage length, NULL flag, and the
// attribute number under which the image keeps its value.
struct ColumnDef {
  const char* name;
  RWDBValue::ValueType type;
  long length;
  bool nullable;
  ATTRIBUTES attr;
};

class RowImage {
 public:
  // REQUIRES: attribute numbers below kMaxAttr, each used once.
  explicit RowImage(std::span<const ColumnDef> columns);
  virtual ~RowImage() = default;
  RowImage(const RowImage&) = delete;
  RowImage& operator=(const RowImage&) = delete;

  // The field of an attribute number (RWCString, long, unsigned long, RWDBDateTime or
  // RWDBBlob, by the column's type), or null when the image has no such column.
  void* myColumn(ATTRIBUTES attr);
  // The column position of an attribute number, or -1 when the image has no such column.
  int column_of(ATTRIBUTES attr) const {
    int a = attr;
    return a >= 0 && a < kMaxAttr ? index_[static_cast<size_t>(a)] : -1;
  }
  RWCString* text(ATTRIBUTES attr) { return static_cast<RWCString*>(myColumn(attr)); }
  unsigned long* unsigned_field(ATTRIBUTES attr) {
    return static_cast<unsigned long*>(myColumn(attr));
  }
  RWDBDateTime* datetime(ATTRIBUTES attr) { return static_cast<RWDBDateTime*>(myColumn(attr)); }
  RWDBBlob* blob(ATTRIBUTES attr) { return static_cast<RWDBBlob*>(myColumn(attr)); }

  // Ready for the next row: texts and blobs empty (their storage kept for the next
  // values), numbers 0, date-times the absent sentinel (bound as NULL).
  void initialize();

  // Fits the text of the column of `attr` to what the column holds (see
  // platform/db/column_text.h): cuts it to its longest storable prefix. True when the
  // text was whole already (and for a column that is no text column), false when it
  // was cut: the column then keeps only the readable part of its value. The text so
  // fitted is what the column binds (stored_text_at) until the text changes.
  bool fit_text(ATTRIBUTES attr);
  // Whether the column of `attr` holds date-times.
  bool is_datetime(ATTRIBUTES attr) const {
    int i = column_of(attr);
    return i >= 0 && columns_[static_cast<size_t>(i)].type == RWDBValue::DateTime;
  }

  // The schema to create the table with, in column order.
  RWDBSchema schema() const;
  // Names every column in `ins` and binds it to its field, with a null indicator:
  // call set_nulls() before each execution.
  void bind(RWDBInserter& ins);
  // The field of an attribute number as a bound variable of a statement, with its null
  // indicator (an UPDATE's assignment, a criterion). REQUIRES: the image has a column of
  // that attribute number.
  RWDBBoundExpr bound(ATTRIBUTES attr);
  // An empty blob is stored as NULL; with `present`, so is every nullable column whose
  // attribute number is not in it (an attribute the row was not given).
  void set_nulls();
  void set_nulls(std::span<const ATTRIBUTES> present);

  std::span<const ColumnDef> columns() const { return columns_; }

  static constexpr int kMaxAttr = 128;

 protected:
  // The text, blob and date-time fields of column i, for a table that walks its columns
  // in order (REQUIRES: a column of that type).
  RWCString& text_at(size_t i) { return fields_[i].text; }
  // The text of column i as fit_text() last checked it, bound without a second check
  // (empty: NULL); fit_text_at() checks it now.
  const db::StorableText& stored_text_at(size_t i) const { return fields_[i].stored; }
  bool fit_text_at(size_t i) {
    fields_[i].stored = db::StorableText(fields_[i].text.str(), columns_[i].length);
    return fields_[i].stored.whole();
  }
  void clear_stored_text_at(size_t i) { fields_[i].stored = db::StorableText(); }
  const RWDBBlob& blob_at(size_t i) const { return fields_[i].blob; }
  const RWDBDateTime& datetime_at(size_t i) const { return fields_[i].dt; }
  // The positions of the columns of one type, in column order: a pass over every column
  // of each row goes through these instead of testing each column's type.
  std::span<const uint16_t> columns_of_type(RWDBValue::ValueType type) const {
    return by_type_[type_slot(type)];
  }

 private:
  struct Field {
    RWCString text;
    db::StorableText stored;  // the text as last fitted
    long l = 0;
    unsigned long u = 0;
    RWDBDateTime dt;
    RWDBBlob blob;
    RWDBNullIndicator null;
  };
  void* address(size_t i);
  // The slot of by_type_ that holds the columns of `type`.
  static constexpr size_t type_slot(RWDBValue::ValueType type) {
    switch (type) {
      case RWDBValue::String:
        return 0;
      case RWDBValue::UnsignedLong:
        return 1;
      case RWDBValue::DateTime:
        return 2;
      case RWDBValue::Blob:
        return 3;
      case RWDBValue::Long:
        return 4;
      default:
        return 5;
    }
  }

  std::span<const ColumnDef> columns_;
  std::vector<Field> fields_;  // never resized after construction: addresses are bound
  std::array<int16_t, kMaxAttr> index_;
  // columns_of_type(): texts, unsigned numbers, date-times, blobs, numbers (Long), and
  // the columns of any other type together.
  std::array<std::vector<uint16_t>, 6> by_type_;
};

}  // namespace qx
