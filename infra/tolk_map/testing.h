// Hooks for tests: forgetting the process-wide state as if the process restarted.
#pragma once

namespace qx {

// Closes the database, forgets the shared-table flags, the internal log counter and
// the name cache, and deletes the registry when no mapper is left in it. The next
// mapper opens the database again from QXDB_URL.
void tolk_reset_for_tests();

// Forgets that the shared tables were seen (the database was reopened).
void reset_shared_table_flags();

}  // namespace qx
