#ifndef QX_PLATFORM_DB_RWDB_READER_H_
#define QX_PLATFORM_DB_RWDB_READER_H_

#include <memory>
#include <string_view>

#include "platform/db/rw_cstring.h"
#include "platform/db/rwdb_blob.h"
#include "platform/db/rwdb_column.h"
#include "platform/db/rwdb_date_time.h"
#include "platform/db/rwdb_null_indicator.h"
#include "platform/db/rwdb_status.h"

namespace qx::db {
class ReaderImpl;
}

// Steps through the rows of a query. On PostgreSQL rows are fetched as they
// come (single-row mode), never the whole result at once.
//
//   RWDBReader r = selector.reader(conn);
//   while (r()) {
//     r >> nullval >> id;              // values in select order ...
//     r["perceivedseverity"] >> text;  // ... or by name (case-insensitive)
//   }
//
// A lookup by name first tries the column at the position: positioning the
// reader (r[i]) before a reader of column i asks for it by name makes that
// lookup a single comparison.
// operator() reads the next row and puts the position on its first column.
// `>> RWDBNullIndicator&` sets the indicator for the column at the position
// without moving; `>> variable` stores the column at the position in the
// variable and moves to the next column. A NULL column leaves the variable
// unchanged (test the indicator first). Integers read as text give their
// decimal form. Reading past the last column, or naming a missing column, sets
// status() to invalidPosition (11), sets an indicator to NULL and leaves the
// variable unchanged; the error handler is not called for it (it is how
// callers find the end of the columns), and the next row clears it. A value
// that does not convert (text into a number) gives typeConflict, which does
// reach the error handler.
//
// A handle: copies share the same result. The reader ends (operator() returns
// false) when the statement that produced it is executed again. Statements may
// be executed on the same connection while a reader is open.
class RWDBReader {
 public:
  RWDBReader() = default;  // not valid; operator() returns false
  explicit RWDBReader(std::shared_ptr<qx::db::ReaderImpl> impl) : impl_(std::move(impl)) {}

  // Reads the next row; false at the end or on error (see status()).
  bool operator()();

  RWDBReader& operator[](size_t position);
  RWDBReader& operator[](const RWCString& columnName);
  RWDBReader& operator>>(RWDBNullIndicator& n);
  RWDBReader& operator>>(RWCString& v);
  RWDBReader& operator>>(int& v);
  RWDBReader& operator>>(long& v);
  RWDBReader& operator>>(unsigned long& v);
  RWDBReader& operator>>(RWDBDateTime& v);
  RWDBReader& operator>>(RWDBBlob& v);
  // As >> RWCString and >> RWDBBlob, without the copy: v views the value
  // inside the reader and stays valid until the next row is read or the
  // reader ends.
  RWDBReader& viewText(std::string_view& v);
  RWDBReader& viewBlob(std::string_view& v);

  // The value of the column at the position, in one call for what `>> indicator`,
  // `>> v` and status() do one after the other: true when v got the value; false for
  // a NULL (status() valid) and for a value that does not convert or a position past
  // the last column (status() says which), v unchanged. Moves on as >> does.
  //
  //   unsigned long id;
  //   if (r["logrecordid"].take(id)) ...
  bool take(RWCString& v);
  bool take(long& v);
  bool take(unsigned long& v);
  bool take(RWDBDateTime& v);
  bool take(RWDBBlob& v);
  bool takeText(std::string_view& v);  // as viewText
  bool takeBlob(std::string_view& v);  // as viewBlob

  // Whether the column at position (of the current row) is NULL; false when
  // there is no such column.
  bool isNull(size_t position) const;
  size_t numberOfColumns() const;
  // The result's column at position (name in lower case); status
  // invalidPosition (11) beyond the last column.
  RWDBColumn column(size_t position) const;

  // Valid unless the query, a fetch or the last positioning or extraction
  // failed (the end of the rows is not a failure).
  bool isValid() const;
  RWDBStatus status() const;

 private:
  std::shared_ptr<qx::db::ReaderImpl> impl_;
};

#endif  // QX_PLATFORM_DB_RWDB_READER_H_
