#ifndef QX_PLATFORM_DB_RWDB_STATUS_H_
#define QX_PLATFORM_DB_RWDB_STATUS_H_

#include <memory>

#include "platform/db/rw_cstring.h"

// The outcome of a database operation: valid (ok) or an error code of the
// layer with the message, and the driver's own codes and messages.
//
// Vendor fields: SQLite: vendorError1 = extended result code, vendorError2 =
// primary result code, vendorMessage1 = sqlite3_errmsg, vendorMessage2 = the
// generic text of the code. PostgreSQL: vendorError1 = the result status,
// vendorError2 = 0, vendorMessage1 = the server's primary message,
// vendorMessage2 = the SQLSTATE (five characters).
//
// A value type; cheap to copy.
class RWDBStatus {
 public:
  enum ErrorCode {
    ok = 0,
    noMem = 1,
    notInitialized = 2,       // the database has not been opened
    typeConflict = 3,         // a value does not fit its column or variable
    invalidUsage = 4,         // the call is not allowed in this state or with these arguments
    notSupported = 5,         // a type or statement this server does not take
    serverError = 6,          // any other error of the server
    endOfFetch = 7,           // the reader has no more rows
    notConnected = 8,         // the database could not be opened
    constraintViolation = 9,  // unique, not-null or other constraint
    noSuchObject = 10,        // missing table, view or column
    invalidPosition = 11,     // no column at this position
    valueTooLong = 12,        // a value longer than the column's declared length
    locked = 13,              // the database is locked by another connection
    diskFull = 14,            // the database is full
    connectionLost = 15,      // the connection to the server is gone (terminal)
    commitInDoubt = 16,       // the connection broke during commit: outcome unknown
    invalidName = 17,         // a name the layer refuses (empty, NUL, too long)
    transactionAborted = 18   // the server rolled the whole transaction back
  };

  RWDBStatus() = default;  // ok
  RWDBStatus(ErrorCode code, const RWCString& message, long vendorError1 = 0, long vendorError2 = 0,
             const RWCString& vendorMessage1 = RWCString(),
             const RWCString& vendorMessage2 = RWCString(), bool isTerminal = false);

  bool isValid() const { return d_ == nullptr; }
  ErrorCode errorCode() const { return d_ ? d_->code : ok; }
  RWCString message() const { return d_ ? d_->message : RWCString(); }
  long vendorError1() const { return d_ ? d_->vendorError1 : 0; }
  long vendorError2() const { return d_ ? d_->vendorError2 : 0; }
  RWCString vendorMessage1() const { return d_ ? d_->vendorMessage1 : RWCString(); }
  RWCString vendorMessage2() const { return d_ ? d_->vendorMessage2 : RWCString(); }
  // True when the connection can no longer be used (the server is gone).
  bool isTerminal() const { return d_ ? d_->terminal : false; }

 private:
  struct Data {
    ErrorCode code;
    RWCString message;
    long vendorError1, vendorError2;
    RWCString vendorMessage1, vendorMessage2;
    bool terminal;
  };
  std::shared_ptr<const Data> d_;
};

// The error handler installed with RWDBManager::setErrorHandler. It is called
// once for every failed operation of the layer, before the operation returns
// its status. It must not throw.
using RWDBErrorHandler = void (*)(const RWDBStatus&);

#endif  // QX_PLATFORM_DB_RWDB_STATUS_H_
