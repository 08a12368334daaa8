#include "platform/db/rwdb_status.h"

RWDBStatus::RWDBStatus(ErrorCode code, const RWCString& message, long vendorError1,
                       long vendorError2, const RWCString& vendorMessage1,
                       const RWCString& vendorMessage2, bool isTerminal) {
  if (code == ok) return;
  d_ = std::make_shared<const Data>(
      Data{code, message, vendorError1, vendorError2, vendorMessage1, vendorMessage2, isTerminal});
}
