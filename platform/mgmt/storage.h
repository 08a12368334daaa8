#ifndef QX_PLATFORM_MGMT_STORAGE_H_
#define QX_PLATFORM_MGMT_STORAGE_H_

#include <cstdint>

// The creation storage of one table: first and next extent. Accepted by
// create_table and reported by the tracer; SQLite and PostgreSQL allocate
// space themselves, so it has no effect there.
struct Storage {
  int32_t first_extent = 16;
  int32_t next_extent = 16;
};

#endif  // QX_PLATFORM_MGMT_STORAGE_H_
