#include "infra/tolk_map/table_factory.h"

#include "infra/tolk_map/attrvalchg.h"
#include "infra/tolk_map/blob.h"
#include "infra/tolk_map/intrnet.h"
#include "infra/tolk_map/objcrt.h"
#include "infra/tolk_map/objdlt.h"
#include "infra/tolk_map/qxalarm.h"
#include "infra/tolk_map/relchg.h"
#include "infra/tolk_map/secalm.h"
#include "infra/tolk_map/statechg.h"
#include "infra/tolk_map/zkalarm.h"

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
