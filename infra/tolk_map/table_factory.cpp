#include "infra/tolk_map/table_factory.h"

namespace qx {

TableFactory table_factory(TABLE_TYPE type) {
  switch (type) {
    // Each record-table class adds its line here, e.g.
    //   case OBJCRT_TABLE: return [](LogMapper* o) -> LogMapper* { return new ObjcrtT(o); };
    default:
      return nullptr;
  }
}

}  // namespace qx
