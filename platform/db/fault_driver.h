#ifndef QX_PLATFORM_DB_FAULT_DRIVER_H_
#define QX_PLATFORM_DB_FAULT_DRIVER_H_

#include <memory>

#include "platform/db/driver.h"

namespace qx::db {

// What a fault-injecting driver should fail, shared between a test and the
// drivers it wraps. Counts run over every session of the wrapped drivers.
// A failed statement is never sent to the server; a failed commit rolls the
// transaction back (as a server refusing the commit would).
struct FaultPlan {
  // Fail the n-th statement execution or query from now (1 = the next); 0: never.
  int failStatement = 0;
  // Fail the n-th commit from now; 0: never.
  int failCommit = 0;
  // Fail the n-th row fetch of a query's cursor from now, as a damaged page or a
  // connection lost in the middle of a result would; 0: never.
  int failRow = 0;
  // Counts of what passed through so far.
  int statements = 0;
  int commits = 0;
  int rows = 0;
  // How many faults were injected.
  int injected = 0;
};

// Wraps driver so that it fails as plan says. The status of an injected
// fault: serverError, message "injected fault", vendorMessage1 "injected".
std::unique_ptr<Driver> make_fault_driver(std::unique_ptr<Driver> driver,
                                          std::shared_ptr<FaultPlan> plan);

}  // namespace qx::db

#endif  // QX_PLATFORM_DB_FAULT_DRIVER_H_
