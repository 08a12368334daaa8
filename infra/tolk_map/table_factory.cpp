#include "infra/tolk_map/table_factory.h"

#include "infra/tolk_map/tables/attrvalchg.h"
#include "infra/tolk_map/tables/blob.h"
#include "infra/tolk_map/tables/intrnet.h"
#include "infra/tolk_map/tables/objcrt.h"
#include "infra/tolk_map/tables/objdlt.h"
#include "infra/tolk_map/tables/qxalarm.h"
#include "infra/tolk_map/tables/relchg.h"
#include "infra/tolk_map/tables/secalm.h"
#include "infra/tolk_map/tables/statechg.h"
#include "infra/tolk_map/tables/zkalarm.h"

namespace qx {

namespace {
template <class T>
LogMapper* make(LogMapper* owner) {
  return new T(owner);
}
}  // namespace

TableFactory table_factory(TABLE_TYPE type) {
  switch (type) {
    case QXALARM_TABLE:
      return &make<QxAlarmT>;
    case OBJCRT_TABLE:
      return &make<ObjcrtT>;
    case OBJDLT_TABLE:
      return &make<ObjdltT>;
    case RELCHG_TABLE:
      return &make<RelChgT>;
    case ATTRVALCHG_TABLE:
      return &make<AttrValChgT>;
    case SECALM_TABLE:
      return &make<SecAlmT>;
    case STATECHG_TABLE:
      return &make<StateChgT>;
    case INTRNET_TABLE:
      return &make<IntrNetT>;
    case ZKALARM_TABLE:
      return &make<ZKAlarmT>;
    case BLOB_TABLE:
      return &make<BlobT>;
    default:
      return nullptr;
  }
}

}  // namespace qx
