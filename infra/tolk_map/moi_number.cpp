#include "infra/tolk_map/moi_number.h"

#include "platform/mgmt/qxdb_connect_info.h"
#include "platform/mgmt/unique_mo.h"
#include "platform/value/exception.h"
#include "tolk.h"

UniqueMO* uniqMO = nullptr;

void set_uniqMO() {
  if (uniqMO != nullptr) return;
  QXDBConnectInfo info(3);
  uniqMO =
      new UniqueMO(info.get_server_type(), info.get_server_name(), info.get_user_name(),
                   info.get_user_password(), info.get_database_name(), info.get_role(), 1, 1000);
}

bool tolk_asn2blob(Asn1Value value, RWDBBlob& blob) {
  blob.clear();
  if (!value) return false;
  blob.putBytes(value.encoding(), value.size(), 0, 256);
  return blob.length() > 0;
}

long LogMapper::moi_number(const Asn1Value& instance, bool allocate) {
  ExceptionScope scope;
  RWDBBlob encoding;
  if (!tolk_asn2blob(instance, encoding)) {
    InvalidX::raise("no managed object instance");
    return -1;
  }
  set_uniqMO();
  long n = allocate ? uniqMO->get_unique_id(encoding) : uniqMO->find_unique_id(encoding);
  if (n < 0) {
    ProcessFailX::raise("managed object numbers: %s", uniqMO->status().message().data());
  }
  return n;
}

namespace qx {

int moi_encoding(long number, RWDBBlob& encoding) {
  encoding.clear();
  if (number <= 0) return 0;
  set_uniqMO();
  int found = uniqMO->find_instance(number, encoding);
  if (found < 0) {
    ProcessFailX::raise("managed object numbers: %s", uniqMO->status().message().data());
  }
  return found;
}

void reset_unique_mo() {
  delete uniqMO;
  uniqMO = nullptr;
}
}  // namespace qx
