// The event type of a record comes back in the form it was written in: a global-form
// type through its registered name (or dotted identifier), a local-form type through
// the notation kept in the event name column.
#include "infra/tolk_map/oids.h"
#include "infra/tolk_map/tables/eventlog.h"
#include "tests/tolk_map/store_fixture.h"

namespace qx::test {
namespace {

class EventTypeTest : public StoreTest {
 protected:
  LogMapper* NewLog() {
    LogMapper* m = Keep(new LogMapper(AttrList({{logIdOid, Int(3)}}), RWCString()));
    EXPECT_TRUE(m->created());
    return m;
  }

  // Writes an object creation record carrying only a logging time and `type`, and
  // returns the event type read back (empty when it is absent).
  Asn1Value RoundTrip(LogMapper* m, int id, const Asn1Value& type) {
    OarInfo* entry = new OarInfo;
    Asn1Value list = AttrList({{loggingTimeOid, GenTime("20240301101500Z")}, {eventTypeOid, type}});
    EXPECT_EQ(m->WriteToDB(id, objcrtOid, objcrtOid, list, entry), 1);
    LogMapper::commit();
    RespValue back;
    EXPECT_EQ(m->ReadfromDB(id, back), 1);
    Asn1Value got;
    back.find_value(eventTypeOid, got);
    return got;
  }
};

Asn1Value Typed(const Oid& oid) {
  Asn1Value v;
  v.encode_oid(oid, TAG_CTX6);
  return v;
}

TEST_P(EventTypeTest, GlobalFormByNameAndByDottedIdentifier) {
  LogMapper* m = NewLog();
  // communicationsAlarm has a registered name; the second identifier has none.
  Asn1Value named = Typed(Oid("2.9.3.2.10.2"));
  Asn1Value unnamed = Typed(Oid("1.3.6.1.4.1.32473.99.1"));
  EXPECT_EQ(RoundTrip(m, 1, named), named);
  EXPECT_EQ(RoundTrip(m, 2, unnamed), unnamed);
}

TEST_P(EventTypeTest, LocalFormReadsBackAsWritten) {
  LogMapper* m = NewLog();
  Asn1Value local;
  local.encode_int(7, TAG_CTX7);
  EXPECT_EQ(RoundTrip(m, 1, local), local);
}

QX_STORE_TESTS(EventTypeTest);

}  // namespace
}  // namespace qx::test
