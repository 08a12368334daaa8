// The six event record tables on both stores: every record class round-trips through
// its table (by record, by walk, after a restart), the tables are what the catalogue
// says, and bad input writes nothing.
#include <map>

#include "infra/tolk_map/fdn_cache.h"
#include "infra/tolk_map/log_tables.h"
#include "infra/tolk_map/oids.h"
#include "infra/tolk_map/tables/eventlog.h"
#include "infra/tolk_map/tables/secalm.h"
#include "platform/db/rwdb_connection.h"
#include "platform/db/rwdb_database.h"
#include "platform/db/rwdb_inserter.h"
#include "platform/db/rwdb_reader.h"
#include "platform/db/rwdb_selector.h"
#include "platform/db/rwdb_table.h"
#include "platform/value/exception.h"
#include "platform/value/generalized_time.h"
#include "tests/tolk_map/store_fixture.h"

namespace qx::test {
namespace {

// The instant of a GeneralizedTime, to compare times written in one form and read in
// another (the reader gives local time with its offset).
long long Millis(const Asn1Value& t) { return GeneralizedTime(t).to_time_stamp().millis(); }


struct ClassCase {
  const Oid* record_class;
  TABLE_TYPE type;
  const char* stem;
  std::vector<const char*> index_suffixes;
  const char* synonym;
  Attrs own;  // the class's own attributes (list-valued and column)
};

// Attributes common to every event record: columns and list values.
Attrs CommonAttrs(const Oid& record_class, int n) {
  return {
      {loggingTimeOid, GenTime("20240301101500.250Z")},
      {eventTypeOid, Oidv("2.9.3.2.10.6", TAG_CTX6)},
      {objectClassOid,
       [&] {
         Asn1Value v;
         v.encode_oid(record_class);
         return v;
       }()},
      {mocOid, Set({Oidv("2.9.3.2.3.8", TAG_CTX0)}, TAG_CTX0)},
      {moiOid, Dn("node-" + std::to_string(n))},
      {eventTimeOid, GenTime("20240301101459Z")},
      {notificationIdOid, Int(1000 + n)},
      {correlatedNotifsOid, Set({Int(7), Int(8)})},
      {additionalTextOid, Graph("written by the test")},
      {additionalInfoOid, Set({Set({Oidv("1.2.3.4"), Bool(true), Int(5)}, TAG_SEQ)})},
  };
}

std::vector<ClassCase> Classes() {
  Asn1Value attr_list = Set({Set({Oidv("2.9.3.2.7.31"), Enum(1)}, TAG_SEQ)});
  Asn1Value id_list = Set({Oidv("2.9.3.2.7.35"), Oidv("2.9.3.2.7.31")});
  Asn1Value change_def = Set({Set({Oidv("2.9.3.2.7.35"), Enum(0), Enum(1)}, TAG_SEQ)});
  return {
      {&objcrtOid,
       OBJCRT_TABLE,
       "obcre",
       {"obcid"},
       "objcrt",
       {{sourceIndicatorOid, Enum(1)}, {attributeListOid, attr_list}}},
      {&objdltOid,
       OBJDLT_TABLE,
       "obdel",
       {"obdid"},
       "objdlt",
       {{sourceIndicatorOid, Enum(0)}, {attributeListOid, attr_list}}},
      {&relchgOid,
       RELCHG_TABLE,
       "relch",
       {"relid"},
       "relchg",
       {{relChangeDefOid, change_def},
        {sourceIndicatorOid, Enum(2)},
        {attributeIdListOid, id_list}}},
      {&attrvalchgOid,
       ATTRVALCHG_TABLE,
       "avchr",
       {"attid"},
       "avchg",
       {{attrValChangeDefOid, change_def},
        {sourceIndicatorOid, Enum(1)},
        {attributeIdListOid, id_list}}},
      {&secalmOid,
       SECALM_TABLE,
       "secur",
       {"secid", "smoid"},
       "secalm",
       {{securityAlarmCauseOid, Oidv("2.9.3.2.0.0.1")},
        {securityAlarmSeverityOid, Enum(2)},
        {securityAlarmDetectorOid, Set({Oidv("1.2.3")}, TAG_CTX0)},
        {serviceUserOid, Set({Oidv("1.2.4")}, TAG_CTX0)},
        {serviceProviderOid, Set({Oidv("1.2.5")}, TAG_CTX0)}}},
      {&statechgOid,
       STATECHG_TABLE,
       "stchg",
       {"stcid"},
       "stchg",
       {{stateChangeDefOid, change_def},
        {sourceIndicatorOid, Enum(0)},
        {attributeIdListOid, id_list}}},
  };
}

bool IsList(const Oid& id) {
  for (const Oid* o : {&mocOid, &moiOid, &correlatedNotifsOid, &additionalTextOid,
                       &additionalInfoOid, &attributeListOid, &attributeIdListOid, &relChangeDefOid,
                       &attrValChangeDefOid, &stateChangeDefOid, &securityAlarmCauseOid,
                       &securityAlarmDetectorOid, &serviceUserOid, &serviceProviderOid}) {
    if (*o == id) return true;
  }
  return false;
}

class EventRecordsTest : public StoreTest {
 protected:
  static int Write(LogMapper* m, int id, const Oid& cls, const Attrs& attrs,
                   unsigned long moi = 0) {
    return WriteRecord(m, id, cls, AttrList(attrs), moi);
  }
  static Attrs Read(LogMapper* m, int id, int* rc = nullptr) { return ReadRecord(m, id, rc); }
  // Every record of every table: id -> record; the end is announced once.
  std::map<unsigned long, Attrs> Walk(LogMapper* m) {
    struct Out {
      std::map<unsigned long, Attrs> records;
      int ends = 0;
    } out;
    Callback cb(
        [](void* client, void* data) {
          auto* o = static_cast<Out*>(client);
          if (data == nullptr) {
            ++o->ends;
            return;
          }
          Attrs r;
          for (const auto& e : *static_cast<RespValue*>(data)) r.emplace_back(e->id(), e->value().copy());
          unsigned long n = 0;
          ValueOf(r, logRecordIdOid).decode_unsigned(n);
          o->records[n] = r;
        },
        &out);
    EXPECT_EQ(m->get_all_log_recs(cb, 0), 1);
    EXPECT_EQ(out.ends, 1);
    return out.records;
  }
  // Whether the catalogue has an index of that name on that table, over `column`.
  bool IndexExists(const std::string& index, const std::string& table, const std::string& column) {
    bool pg = postgres();
    RWDBTable cat = LogMapper::aDB_().table(pg ? "pg_indexes" : "sqlite_master");
    RWDBSelector sel = LogMapper::aDB_().selector();
    sel << cat[pg ? "indexname" : "name"] << cat[pg ? "tablename" : "tbl_name"]
        << cat[pg ? "indexdef" : "sql"];
    RWDBReader r = sel.reader(LogMapper::aConnection());
    while (r()) {
      RWCString name, tbl, def;
      r >> name >> tbl >> def;
      if (name == toLower(RWCString(index)) && tbl == toLower(RWCString(table))) {
        return def.str().find(column) != std::string::npos;
      }
    }
    return false;
  }
  // Checks that `got` holds every written attribute: column values in the form their
  // reader gives, list values byte for byte and in the order written, after them.
  void ExpectRecord(const Attrs& got, int id, const Attrs& written) {
    std::map<Oid, Asn1Value> by_id;
    for (const auto& [oid, v] : got) by_id[oid] = v;
    Asn1Value v;
    ASSERT_TRUE(by_id.count(logRecordIdOid));
    unsigned long n = 0;
    by_id[logRecordIdOid].decode_unsigned(n);
    EXPECT_EQ(n, static_cast<unsigned long>(id));
    std::vector<Oid> list_order;
    for (const auto& [oid, value] : written) {
      SCOPED_TRACE(oid.format());
      ASSERT_TRUE(by_id.count(oid)) << "missing";
      const Asn1Value& g = by_id[oid];
      if (IsList(oid)) {
        EXPECT_EQ(g, value);
        list_order.push_back(oid);
      } else if (oid == loggingTimeOid || oid == eventTimeOid) {
        EXPECT_EQ(g.tag(), TAG_GENTIME);
        EXPECT_EQ(Millis(g), Millis(value));
      } else if (oid == objectClassOid) {
        Oid a, b;
        ASSERT_TRUE(g.decode_oid(a) && value.decode_oid(b));
        EXPECT_EQ(a, b);
        EXPECT_EQ(g.tag(), TAG_CTX0);
      } else {  // the rest come back as written
        EXPECT_EQ(g, value);
      }
    }
    // List values follow the columns, in the order written.
    std::vector<Oid> got_lists;
    for (const auto& [oid, value] : got)
      if (IsList(oid)) got_lists.push_back(oid);
    EXPECT_EQ(got_lists, list_order);
  }
};

TEST_P(EventRecordsTest, EveryClassRoundTripsByRecordByWalkAndAfterRestart) {
  LogMapper* m = NewLog();
  std::vector<ClassCase> classes = Classes();
  std::map<int, Attrs> written;
  int id = 100;
  for (const ClassCase& c : classes) {
    Attrs attrs = CommonAttrs(*c.record_class, id);
    attrs.insert(attrs.end(), c.own.begin(), c.own.end());
    ASSERT_EQ(Write(m, id, *c.record_class, attrs, 4242), 1) << c.stem;
    written[id] = attrs;
    unsigned short type = 99;
    EXPECT_EQ(m->get_table_type(id, type), 1);
    EXPECT_EQ(type, c.type);
    ++id;
  }
  LogMapper::commit();
  for (const auto& [rid, attrs] : written) {
    SCOPED_TRACE(rid);
    int rc = 0;
    Attrs r = Read(m, rid, &rc);
    EXPECT_EQ(rc, 1);
    ExpectRecord(r, rid, attrs);
  }
  auto all = Walk(m);
  ASSERT_EQ(all.size(), written.size());
  for (const auto& [rid, attrs] : written) ExpectRecord(all[rid], rid, attrs);

  Restart();
  LogMapper* again = StartUp();
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->get_initial_log_record_count(), written.size());
  EXPECT_EQ(again->get_initial_log_size(), 500 * written.size());
  for (const auto& [rid, attrs] : written) {
    SCOPED_TRACE(rid);
    ExpectRecord(Read(again, rid), rid, attrs);
  }
}

// Records about one managed object convert its name once, also after the name cache was
// reset (as tests and unloading do): the next write makes it again.
TEST_P(EventRecordsTest, ANameConvertedOnceServesTheNextRecordsAboutItsObject) {
  LogMapper* m = NewLog();
  const ClassCase c = Classes().front();
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    FdnCache::reset();
    for (int id = 1; id <= 3; ++id) {
      Attrs attrs = CommonAttrs(*c.record_class, 5);  // node-5 each time
      ASSERT_EQ(Write(m, round * 10 + id, *c.record_class, attrs, 4242), 1);
    }
    ASSERT_NE(FdnCache::p_fdn_cache, nullptr);
    EXPECT_EQ(FdnCache::num_entries, 1u);
    EXPECT_EQ(FdnCache::hits, 2u);
  }
  LogMapper::commit();
  Attrs r = Read(m, 13);
  EXPECT_EQ(ValueOf(r, moiOid), Dn("node-5"));
}

// The event type comes back in the form it was written in: a global-form type through its
// registered name or its dotted identifier, a local-form type through the notation kept
// in the event name column.
TEST_P(EventRecordsTest, EventTypeReadsBackInTheFormWritten) {
  LogMapper* m = NewLog();
  Asn1Value local;
  local.encode_int(7, TAG_CTX7);
  int id = 1;
  for (const Asn1Value& type :
       {Oidv("2.9.3.2.10.2", TAG_CTX6), Oidv("1.3.6.1.4.1.32473.99.1", TAG_CTX6), local}) {
    Attrs attrs = {{loggingTimeOid, GenTime("20240301101500Z")}, {eventTypeOid, type}};
    ASSERT_EQ(Write(m, id, objcrtOid, attrs), 1);
    ASSERT_EQ(LogMapper::commit(), 1);
    EXPECT_EQ(ValueOf(Read(m, id++), eventTypeOid), type);
  }
}

TEST_P(EventRecordsTest, TablesIndexesAndSynonymsAreInTheCatalogue) {
  LogMapper* m = NewLog(31);
  std::string prefix = m->get_table_name();
  for (const ClassCase& c : Classes()) {
    SCOPED_TRACE(c.stem);
    auto* t = dynamic_cast<EventLogT*>(m->get_table(c.type));
    ASSERT_NE(t, nullptr);
    RWDBTable table = LogMapper::aDB_().table(prefix + c.stem);
    ASSERT_TRUE(table.fetchSchema(LogMapper::aConnection()).isValid());
    const auto& expected = t->event_class().columns;
    ASSERT_EQ(table.schema().entries(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      RWDBColumn col = table.schema()[i];
      EXPECT_EQ(col.name(), toLower(RWCString(expected[i].name)));
      if (expected[i].type == RWDBValue::UnsignedLong) {  // integers may read back signed
        EXPECT_TRUE(col.type() == RWDBValue::UnsignedLong || col.type() == RWDBValue::Long)
            << col.name() << " " << col.type();
      } else {
        EXPECT_EQ(col.type(), expected[i].type) << col.name();
      }
      EXPECT_EQ(col.nullAllowed(), expected[i].nullable) << col.name();
      if (expected[i].type == RWDBValue::String) {
        EXPECT_EQ(col.storageLength(), expected[i].length) << col.name();
      }
    }
    for (const qx::IndexDef& ix : t->event_class().indexes) {
      EXPECT_TRUE(
          IndexExists(prefix + ix.suffix, prefix + c.stem, toLower(RWCString(ix.column)).str()))
          << ix.suffix;
    }
    ASSERT_EQ(t->event_class().indexes.size(), c.index_suffixes.size());
    for (size_t i = 0; i < c.index_suffixes.size(); ++i) {
      EXPECT_STREQ(t->event_class().indexes[i].suffix, c.index_suffixes[i]);
    }
    EXPECT_TRUE(Exists(std::string("31_") + c.synonym));
    EXPECT_EQ(t->get_synonym_name(), std::string("31_") + t->event_class().synonym_suffix);
  }
}

// A row names in its insert only the columns it has a value for. Records of many
// different sets of attributes, each set met again later, in turn: every record reads
// back with what it was written with and nothing else (a column it was not given is
// NULL, not another record's value; a record of columns only, written right after one
// with list values, gets an empty blob, not the last one). Among the sets are no
// attributes at all (the row is still written) and list values only.
TEST_P(EventRecordsTest, RecordsOfEverySetOfAttributesReadBackAsWritten) {
  LogMapper* m = NewLog();
  const ClassCase statechg = Classes().back();
  ASSERT_EQ(statechg.type, STATECHG_TABLE);
  std::map<int, Attrs> written;
  int id = 1;
  for (int round = 0; round < 2; ++round) {
    for (int shape = 0; shape < 24; ++shape, ++id) {
      Attrs full = CommonAttrs(statechgOid, id);
      full.insert(full.end(), statechg.own.begin(), statechg.own.end());
      Attrs attrs;
      for (size_t i = 0; i < full.size(); ++i) {
        if ((shape >> (i % 5) & 1) != 0) attrs.push_back(full[i]);
      }
      ASSERT_EQ(Write(m, id, statechgOid, attrs), 1) << shape;
      written[id] = attrs;
    }
  }
  LogMapper::commit();
  auto all = Walk(m);
  ASSERT_EQ(all.size(), written.size());
  for (const auto& [rid, attrs] : written) {
    SCOPED_TRACE(rid);
    Attrs got = Read(m, rid);
    ExpectRecord(got, rid, attrs);
    ExpectRecord(all[rid], rid, attrs);
    EXPECT_EQ(got.size(), attrs.size() + 1);  // and its identifier
  }
}

TEST_P(EventRecordsTest, ListValuesOfEverySizeAndPairFormReadBackAsPlainPairs) {
  LogMapper* m = NewLog();
  // Blobs whose SET length takes one, two and three length octets; one past the
  // column's 33,000 bytes is refused whole.
  int id = 1;
  for (size_t n : {10u, 200u, 30000u, 40000u}) {
    Attrs attrs = {{additionalTextOid, Graph(std::string(n, 'x'))},
                   {correlatedNotifsOid, Set({Int(1), Int(2)})}};
    if (n > 33000) {
      EXPECT_EQ(Write(m, id, objcrtOid, attrs), 0);
      EXPECT_EQ(CountRows((m->get_table_name() + "ObCre").c_str(), "logRecordId",
                          static_cast<unsigned long>(id)),
                0);
      continue;
    }
    ASSERT_EQ(Write(m, id, objcrtOid, attrs), 1) << n;
    ExpectRecord(Read(m, id), id, attrs);
    ++id;
  }
  // A pair under SET, an identifier under another tag and a pair with a third
  // component: the blob keeps plain {identifier, value} pairs.
  Asn1Value list = Set({
      Set({Oidv("2.9.3.2.7.7", TAG_CTX1), Graph("tagged identifier")}, TAG_SEQ),
      Set({Oidv("2.9.3.2.7.12"), Set({Int(4)})}, TAG_SET),
      Set({Oidv("2.9.3.2.7.6"), Set({Int(5)}), Int(99)}, TAG_SEQ),
  });
  auto* entry = new OarInfo;
  ASSERT_EQ(m->WriteToDB(id, objcrtOid, objcrtOid, list, entry), 1);
  ExpectRecord(Read(m, id), id,
               {{additionalTextOid, Graph("tagged identifier")},
                {correlatedNotifsOid, Set({Int(4)})},
                {additionalInfoOid, Set({Int(5)})}});
}

TEST_P(EventRecordsTest, NullBlobOfAnOlderRowReadsAsNoListValues) {
  LogMapper* m = NewLog();
  ASSERT_EQ(Write(m, 5, statechgOid, {{sourceIndicatorOid, Enum(1)}}), 1);
  ASSERT_EQ(Write(m, 6, statechgOid, CommonAttrs(statechgOid, 6)), 1);
  ASSERT_TRUE(SetColumn(m->get_table_name() + "stChg", 5, "blob", RWDBExpr(rwdbNull)));
  LogMapper::commit();
  int rc = 0;
  ExpectRecord(Read(m, 5, &rc), 5, {{sourceIndicatorOid, Enum(1)}});
  EXPECT_EQ(rc, 1);
  EXPECT_EQ(Walk(m).size(), 2u);  // one such row does not stop the walk
  // A list update of that record starts its blob afresh.
  ASSERT_EQ(m->UpdateDB(5, AttrList({{additionalTextOid, Graph("later")}})), 1);
  ExpectRecord(Read(m, 5), 5, {{additionalTextOid, Graph("later")}});
}

// A stored blob that does not decode (cut short, lengths past its end, garbage, no
// octets, an element that is no attribute pair, an identifier that is none) fails the
// read of its record and stops the walk, without reading outside the stored octets; the
// other records still read.
TEST_P(EventRecordsTest, CorruptedBlobFailsTheReadCleanly) {
  LogMapper* m = NewLog();
  ASSERT_EQ(Write(m, 5, objdltOid, CommonAttrs(objdltOid, 5)), 1);
  ASSERT_EQ(Write(m, 6, objdltOid, CommonAttrs(objdltOid, 6)), 1);
  LogMapper::commit();
  std::string table = m->get_table_name() + "obdel";
  std::string good = RowColumn(table, 5, "blob", true);
  ASSERT_GT(good.size(), 20u);
  std::string long_length = good;  // the outer length one octet more than stored
  size_t last_length_octet = (good[1] & 0x80) != 0 ? 1 + (good[1] & 0x7f) : 1;
  long_length[last_length_octet] = static_cast<char>(long_length[last_length_octet] + 1);
  const std::string corrupt[] = {good.substr(0, good.size() / 2), long_length,
                                 std::string("\x30\x84\xff\xff\xff\xff", 6), "",
                                 IntSet({1}).to_data_unit().str(),
                                 std::string("\x31\x08\x30\x06\x80\x01\x80\x02\x01\x05", 10)};
  for (const std::string& bytes : corrupt) {
    SCOPED_TRACE(testing::PrintToString(bytes.substr(0, 8)));
    ExceptionScope scope;  // the failed reads raise
    ASSERT_TRUE(SetColumn(table, 5, "blob", RWDBExpr(RWDBBlob(bytes.data(), bytes.size()))));
    LogMapper::commit();
    int rc = -1;
    Read(m, 5, &rc);
    EXPECT_EQ(rc, 0);
    Read(m, 6, &rc);
    EXPECT_EQ(rc, 1);
    Callback cb([](void*, void*) {}, nullptr);
    EXPECT_EQ(m->get_all_log_recs(cb, 0), 0);
  }
}

// A walk that breaks off (a damaged page, a connection lost in the middle of a result)
// fails with its reason: it never passes for the whole table. Start-up fails wherever
// a read breaks off.
TEST_P(EventRecordsTest, AWalkThatBreaksOffFailsWithItsReason) {
  std::shared_ptr<qx::db::FaultPlan> plan = InjectFaults();
  LogMapper* m = NewLog();
  for (int id : {1, 2, 3}) ASSERT_EQ(Write(m, id, objcrtOid, {{notificationIdOid, Int(id)}}), 1);
  ASSERT_EQ(LogMapper::commit(), 1);
  LogMapper* table = m->get_table(OBJCRT_TABLE);
  int rows = 0;
  Callback count([](void* n, void* d) { *static_cast<int*>(n) += d != nullptr ? 1 : 100; }, &rows);
  {
    ExceptionScope scope;
    plan->failRow = 2;
    EXPECT_EQ(table->get_all_log_recs(count, 0), 0);
    EXPECT_EQ(rows, 1);
    ASSERT_NE(scope.caught(), nullptr);
    EXPECT_NE(scope.caught()->reason().find("injected fault"), std::string::npos)
        << scope.caught()->reason();
  }
  {
    ExceptionScope scope;
    plan->failRow = 2;
    EXPECT_EQ(table->get_all_almsvc_recs(no_op_cb, 1), 0);
    rows = 0;
    plan->failRow = 3;
    EXPECT_EQ(m->get_all_log_recs(count, 0), 0);
    EXPECT_LT(rows, 100) << "the end of the records was announced";
  }
  // Start-up with the n-th row read failing, for every n until none fails: whenever
  // it reports success, the log and all its records are loaded.
  for (int n = 1;; ++n) {
    SCOPED_TRACE(n);
    Restart();
    plan->failRow = n;
    int injected = plan->injected;
    int rc = LogMapper::init_log_handles(TakeLogs(), no_op_cb);
    bool hit = plan->injected != injected;
    plan->failRow = 0;
    if (rc == 1) {
      LogMapper* again = LogMapper::find_log_handle(Int(7));
      ASSERT_NE(again, nullptr);
      Keep(again);
      EXPECT_EQ(again->get_initial_log_record_count(), 3u);
    }
    if (!hit) {
      EXPECT_EQ(rc, 1);
      break;
    }
    ASSERT_LT(n, 100);
  }
}

// A record table dropped outside the library: opening the log reports the damage,
// naming the log and the table, and makes nothing in its place (an empty table would
// pass the lost records off as none). The damaged log can still be deleted.
TEST_P(EventRecordsTest, AMissingRecordTableIsDamageNotAnEmptyLog) {
  auto drop = [&](const std::string& table) {
    return LogMapper::aDB_()
        .executeSql("DROP TABLE " + table + (postgres() ? " CASCADE" : ""),
                    LogMapper::aConnection())
        .isValid();
  };
  // Log 7 loses an event table, log 8 the blob table; log 9 the blob table's alarm
  // index, which holds nothing of its own and is made again from the records.
  std::map<long, std::string> dropped;
  for (long log : {7, 8, 9}) {
    LogMapper* m = NewLog(log);
    ASSERT_EQ(Write(m, 1, objcrtOid, {{notificationIdOid, Int(1)}}), 1);
    ASSERT_EQ(Write(m, 2, Oid("1.2.3.4"), {{notificationIdOid, Int(2)}}), 1);
    dropped[log] = log == 7   ? m->get_table_name() + "ObCre"
                   : log == 8 ? qx::record_table_name(m->get_table_name(), BLOB_TABLE)
                              : qx::companion_table_name(m->get_table_name(), BLOB_TABLE);
  }
  ASSERT_EQ(LogMapper::commit(), 1);
  for (const auto& [log, table] : dropped) ASSERT_TRUE(drop(table)) << table;
  ASSERT_EQ(LogMapper::commit(), 1);
  Restart();
  // Start-up fails, and still loads the log that is whole.
  EXPECT_EQ(LogMapper::init_log_handles(TakeLogs(), no_op_cb), 0);
  ASSERT_NE(LogMapper::find_log_handle(Int(9)), nullptr);
  Keep(LogMapper::find_log_handle(Int(9)));
  Restart();
  for (long log : {7, 8}) {
    SCOPED_TRACE(log);
    const std::string& table = dropped[log];
    EXPECT_FALSE(Exists(table));
    LogMapper* again = Keep(new LogMapper());
    EXPECT_EQ(again->load_table(Int(log)), 0);
    std::string why = LogMapper::last_failure();
    EXPECT_NE(why.find("log " + std::to_string(log) + " is damaged"), std::string::npos) << why;
    EXPECT_NE(why.find(table), std::string::npos) << why;
    EXPECT_FALSE(Exists(table));
    ASSERT_EQ(again->deleteDB(char(0)), 1);
    ASSERT_EQ(LogMapper::commit(), 1);
  }
  LogMapper* nine = Keep(new LogMapper());
  ASSERT_EQ(nine->load_table(Int(9)), 1);
  EXPECT_TRUE(Exists(dropped[9]));
  ASSERT_EQ(nine->get_all_almsvc_recs(no_op_cb, 1), 1);
  int rc = 0;
  Read(nine, 2, &rc);
  EXPECT_EQ(rc, 1);
  auto logs = AllLogs();
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(logs[0].id, Int(9));
}

// One limit for writing and reading, counted on what is stored: the deepest value an
// attribute list can carry (the list and the pair are two levels, as in the blob) is
// stored and reads back, by record, by walk and after a restart; no list can carry a
// deeper one.
TEST_P(EventRecordsTest, TheDeepestValueAListCarriesReadsBack) {
  LogMapper* m = NewLog();
  Asn1Value v = Int(5);
  for (int depth = 2; depth <= Asn1Value::kMaxDepth - 2; ++depth) v = Set({Int(depth), v}, TAG_SEQ);
  Attrs attrs = {{additionalInfoOid, v}, {notificationIdOid, Int(1)}};
  ASSERT_EQ(Write(m, 1, objcrtOid, attrs), 1);
  ASSERT_EQ(Write(m, 2, objcrtOid, {{notificationIdOid, Int(2)}}), 1);
  ASSERT_EQ(LogMapper::commit(), 1);
  ExpectRecord(Read(m, 1), 1, attrs);
  ASSERT_EQ(m->UpdateDB(2, AttrList({{additionalInfoOid, v}})), 1);
  ExpectRecord(Read(m, 2), 2, {{additionalInfoOid, v}});
  EXPECT_EQ(Walk(m).size(), 2u);
  Restart();
  LogMapper* again = StartUp();
  ASSERT_NE(again, nullptr);
  ExpectRecord(Read(again, 1), 1, attrs);

  ExceptionScope scope;
  Asn1Value deeper;
  ASSERT_TRUE(deeper.start_construct(TAG_SEQ));
  ASSERT_TRUE(deeper.add_component(v));
  Asn1Value pair = Set({Oidv("2.9.3.2.7.6"), deeper}, TAG_SEQ);
  Asn1Value list;
  ASSERT_TRUE(list.start_construct(TAG_SET));
  EXPECT_FALSE(list.add_component(pair));
  EXPECT_NE(scope.caught(), nullptr);
}

// What is accepted reads back exactly. A value its column cannot hold whole (an event
// type or record class longer than its column, a value its column's codec refuses: a
// negative notification identifier, an enumeration out of range, a text with a NUL)
// is kept in the record's blob, where the record keeps its exact values; the column
// holds what it can, for people. By record, by walk, after a restart and through
// updates, which refuse a value their column cannot hold and change nothing then.
TEST_P(EventRecordsTest, ValuesTheirColumnCannotHoldReadBackExactly) {
  LogMapper* m = NewLog();
  std::string dotted = "1.2";
  while (dotted.size() < 300) dotted += ".123456789";
  std::string long_text(300, 'y');
  Attrs attrs = {
      {eventTypeOid, Oidv(dotted.c_str(), TAG_CTX6)},
      {objectClassOid, Oidv(dotted.c_str())},
      {notificationIdOid, Int(-1)},
      {sourceIndicatorOid, Enum(7)},
      {additionalTextOid, Graph(long_text)},
  };
  ASSERT_EQ(Write(m, 1, objcrtOid, attrs), 1);
  Attrs others = {{sourceIndicatorOid, Octets(std::string("a\0b", 3))},
                  {eventTypeOid, Oidv("2.9.3.2.10.6", TAG_CTX6)}};
  ASSERT_EQ(Write(m, 2, objdltOid, others), 1);
  ASSERT_EQ(LogMapper::commit(), 1);
  auto exactly = [](const Attrs& got, const Attrs& written) {
    std::map<Oid, std::vector<Asn1Value>> by_id;
    for (const auto& [oid, v] : got) by_id[oid].push_back(v);
    for (const auto& [oid, value] : written) {
      ASSERT_EQ(by_id[oid].size(), 1u) << oid.format();
      EXPECT_EQ(by_id[oid][0], value) << oid.format();
    }
  };
  exactly(Read(m, 1), attrs);
  exactly(Read(m, 2), others);
  auto all = Walk(m);
  exactly(all[1], attrs);
  exactly(all[2], others);
  // The columns hold the readable text they can.
  std::string objcrt = m->get_table_name() + "ObCre";
  EXPECT_EQ(RowColumn(objcrt, 1, "eventName"), dotted.substr(0, 255));
  EXPECT_EQ(RowColumn(objcrt, 1, "logRecType"), dotted.substr(0, 255));
  EXPECT_EQ(RowColumn(objcrt, 1, "additionalText"), "\"" + long_text.substr(0, 254));
  EXPECT_EQ(RowColumn(objcrt, 1, "notificationId"), "NULL");
  EXPECT_EQ(RowColumn(m->get_table_name() + "ObDel", 2, "sourceIndicator"), "NULL");

  // Updates: a value its column cannot hold changes nothing; a value that fits takes
  // the place of the one the blob kept; the blob keeps its other values.
  EXPECT_EQ(m->UpdateDB(2, AttrList({{notificationIdOid, Int(-5)}})), 0);
  EXPECT_EQ(m->UpdateDB(2, AttrList({{eventTypeOid, Oidv(dotted.c_str(), TAG_CTX6)}})), 0);
  RespValue none;
  EXPECT_EQ(m->UpdateDB(2, AttrList({{sourceIndicatorOid, Enum(9)}}), none), 0);
  EXPECT_TRUE(none.empty());
  exactly(Read(m, 2), others);
  ASSERT_EQ(m->UpdateDB(1, AttrList({{notificationIdOid, Int(5)},
                                     {eventTypeOid, Oidv("2.9.3.2.10.6", TAG_CTX6)}})),
            1);
  RespValue resp;
  ASSERT_EQ(m->UpdateDB(1, AttrList({{additionalTextOid, Graph("shorter")}}), resp), 1);
  Asn1Value before;
  ASSERT_EQ(resp.find_old_value(additionalTextOid, before), 1);
  EXPECT_EQ(before, Graph(long_text));
  Attrs now = {{eventTypeOid, Oidv("2.9.3.2.10.6", TAG_CTX6)},
               {objectClassOid, Oidv(dotted.c_str())},
               {notificationIdOid, Int(5)},
               {sourceIndicatorOid, Enum(7)},
               {additionalTextOid, Graph("shorter")}};
  exactly(Read(m, 1), now);
  ASSERT_EQ(m->UpdateDB(2, AttrList({{sourceIndicatorOid, Enum(1)}}), resp), 1);
  exactly(Read(m, 2), {{sourceIndicatorOid, Enum(1)}, {eventTypeOid, others[1].second}});
  ASSERT_EQ(LogMapper::commit(), 1);

  Restart();
  LogMapper* again = StartUp();
  ASSERT_NE(again, nullptr);
  exactly(Read(again, 1), now);
}

TEST_P(EventRecordsTest, UpdatesChangeColumnsAndBlobKeepingOtherListValues) {
  LogMapper* m = NewLog();
  Attrs attrs = CommonAttrs(relchgOid, 3);
  attrs.push_back({sourceIndicatorOid, Enum(0)});
  ASSERT_EQ(Write(m, 3, relchgOid, attrs), 1);
  ASSERT_EQ(m->UpdateDB(3, AttrList({{additionalTextOid, Graph("changed")},
                                     {sourceIndicatorOid, Enum(2)},
                                     {logRecordIdOid, Int(99)}})),
            1);
  Attrs r = Read(m, 3);
  std::map<Oid, Asn1Value> got(r.begin(), r.end());
  EXPECT_EQ(got[additionalTextOid], Graph("changed"));
  EXPECT_EQ(got[sourceIndicatorOid], Enum(2));
  EXPECT_EQ(got[moiOid], Dn("node-3"));  // other list values stay
  EXPECT_EQ(got[correlatedNotifsOid], Set({Int(7), Int(8)}));
  // The text column of a list value keeps its first text.
  EXPECT_EQ(CountRows((m->get_table_name() + "relCh").c_str(), "additionalText",
                      std::string("\"written by the test\"")) +
                CountRows((m->get_table_name() + "relCh").c_str(), "additionalText",
                          std::string("written by the test")),
            1);

  RespValue resp;
  ASSERT_EQ(m->UpdateDB(3, AttrList({{notificationIdOid, Int(77)}, {mocOid, Oidv("1.2.9")}}), resp),
            1);
  Asn1Value now, before;
  ASSERT_EQ(resp.find_value(notificationIdOid, now), 1);
  ASSERT_EQ(resp.find_old_value(notificationIdOid, before), 1);
  EXPECT_EQ(now, Int(77));
  EXPECT_EQ(before, Int(1003));
  ASSERT_EQ(resp.find_old_value(mocOid, before), 1);
  EXPECT_EQ(before, Set({Oidv("2.9.3.2.3.8", TAG_CTX0)}, TAG_CTX0));
  got.clear();
  for (auto& [oid, v] : Read(m, 3)) got[oid] = v;
  EXPECT_EQ(got[mocOid], Oidv("1.2.9"));
  EXPECT_EQ(got[moiOid], Dn("node-3"));
  EXPECT_EQ(got[notificationIdOid], Int(77));

  // Records that were never written: nothing to dispatch to.
  RespValue none;
  EXPECT_EQ(m->UpdateDB(4, AttrList({{sourceIndicatorOid, Enum(1)}})), 0);
  EXPECT_EQ(m->UpdateDB(4, AttrList({{sourceIndicatorOid, Enum(1)}}), none), 0);
  EXPECT_TRUE(none.empty());
}

TEST_P(EventRecordsTest, DeleteRemovesRowAndCacheEntry) {
  LogMapper* m = NewLog();
  ASSERT_EQ(Write(m, 8, objdltOid, CommonAttrs(objdltOid, 8)), 1);
  ASSERT_EQ(m->deleteDB(8), 1);
  EXPECT_EQ(CountRows((m->get_table_name() + "ObDel").c_str(), "logRecordId", 8ul), 0);
  unsigned short type = 0;
  EXPECT_EQ(m->get_table_type(8, type), 0);
  EXPECT_EQ(m->deleteDB(8), 0);  // no longer cached
  int rc = 1;
  Read(m, 8, &rc);
  EXPECT_EQ(rc, 0);
}

TEST_P(EventRecordsTest, MalformedListsWriteNothing) {
  LogMapper* m = NewLog();
  std::string table = m->get_table_name() + "ObCre";
  Asn1Value not_a_pair = Set({Int(1)});
  Asn1Value primitive = Int(3);
  Asn1Value truncated_oid;
  truncated_oid.encode_octets(std::string("\x88"), TAG_OID);
  Asn1Value bad_oid = Set({Set({truncated_oid, Int(6)}, TAG_SEQ)});
  int id = 20;
  for (const Asn1Value& list : {not_a_pair, primitive, bad_oid, Asn1Value()}) {
    auto* entry = new OarInfo;
    int rc = m->WriteToDB(id, objcrtOid, objcrtOid, list, entry);
    EXPECT_EQ(rc, 0) << id;
    if (rc != 1) delete entry;
    EXPECT_EQ(CountRows(table.c_str(), "logRecordId", static_cast<unsigned long>(id)), 0);
    ++id;
  }
  // Unknown attributes are left out; a value of the wrong syntax is kept as it came.
  ASSERT_EQ(Write(m, 30, objcrtOid,
                  {{Oid("1.2.3.4.5"), Int(1)},
                   {sourceIndicatorOid, Graph("not an enumeration")},
                   {notificationIdOid, Int(3)}}),
            1);
  Attrs r = Read(m, 30);
  std::map<Oid, Asn1Value> got(r.begin(), r.end());
  EXPECT_EQ(got.count(Oid("1.2.3.4.5")), 0u);
  EXPECT_EQ(got[sourceIndicatorOid], Graph("not an enumeration"));
  EXPECT_EQ(got[notificationIdOid], Int(3));
  EXPECT_EQ(m->UpdateDB(30, not_a_pair), 0);
  EXPECT_EQ(m->UpdateDB(30, primitive), 0);
}

TEST_P(EventRecordsTest, SecurityAlarmKeepsTheManagedObjectNumberOutOfItsAttributes) {
  LogMapper* m = NewLog();
  ASSERT_EQ(Write(m, 40, secalmOid, {{securityAlarmSeverityOid, Enum(1)}}, 31337), 1);
  EXPECT_EQ(CountRows((m->get_table_name() + "secur").c_str(), "moi_id", 31337ul), 1);
  Attrs r = Read(m, 40);
  EXPECT_EQ(r.size(), 2u);  // logRecordId and the severity
  unsigned long moi = 0;
  unsigned char state = 9, severity = 9;
  ASSERT_EQ(m->ReadOarInfo(40, moi, state, severity), 1);
  EXPECT_EQ(moi, 31337ul);
  // The security view reads the log's security alarm table.
  m->create_views();
  EXPECT_TRUE(Exists(m->get_sec_view_name()));
  RWDBTable view = LogMapper::aDB_().table(m->get_sec_view_name());
  RWDBSelector sel = LogMapper::aDB_().selector();
  sel << view["securityRecordId"] << view["securityAlmSeverty"];
  RWDBReader rd = sel.reader(LogMapper::aConnection());
  ASSERT_TRUE(rd());
  unsigned long rid = 0;
  RWCString sev;
  rd >> rid >> sev;
  EXPECT_EQ(rid, 40ul);
  EXPECT_EQ(sev, RWCString("critical"));
}

// A record identifier names one record of its log, whatever the class: a second write
// under it is refused and leaves the first record and its cache entry as they were, also
// after a restart, where the cache's bookkeeping comes back with the records.
TEST_P(EventRecordsTest, ASecondWriteUnderARecordIdentifierIsRefused) {
  LogMapper* m = NewLog();
  for (int id : {5, 2, 8}) ASSERT_EQ(Write(m, id, objcrtOid, {{notificationIdOid, Int(id)}}), 1);
  ASSERT_EQ(Write(m, 50, statechgOid, {{sourceIndicatorOid, Enum(0)}}), 1);
  EXPECT_EQ(Write(m, 50, statechgOid, {{sourceIndicatorOid, Enum(1)}}), 0);
  EXPECT_EQ(Write(m, 50, objcrtOid, {{sourceIndicatorOid, Enum(1)}}), 0);
  EXPECT_EQ(Write(m, 50, Oid("1.2.3.4"), {}), 0);
  EXPECT_EQ(m->cached_records(), 4u);
  unsigned long lowest = 0;
  ASSERT_EQ(m->get_lowest_log_record_id(lowest), 1);
  EXPECT_EQ(lowest, 2ul);
  Oid cls;
  ASSERT_EQ(m->get_log_record_class(8, cls), 1);
  EXPECT_EQ(cls, objcrtOid);
  ASSERT_EQ(LogMapper::commit(), 1);
  EXPECT_EQ(CountRows((m->get_table_name() + "stChg").c_str(), "logRecordId", 50ul), 1);
  EXPECT_EQ(CountRows((m->get_table_name() + "ObCre").c_str(), "logRecordId", 50ul), 0);
  ExpectRecord(Read(m, 50), 50, {{sourceIndicatorOid, Enum(0)}});
  unsigned short type = 0;
  ASSERT_EQ(m->get_table_type(50, type), 1);
  EXPECT_EQ(type, STATECHG_TABLE);
  Restart();
  LogMapper* again = StartUp();
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->get_initial_log_record_count(), 4ul);
  EXPECT_EQ(again->get_initial_log_size(), 2000ul);
  EXPECT_EQ(again->get_lowest_id(), 2ul);
  EXPECT_EQ(again->get_highest_id(), 50ul);
  EXPECT_EQ(Write(again, 8, objdltOid, {{notificationIdOid, Int(1)}}), 0);
  EXPECT_EQ(Write(again, 50, objdltOid, {{sourceIndicatorOid, Enum(2)}}), 0);
  EXPECT_EQ(again->cached_records(), 4u);
  ASSERT_EQ(again->get_table_type(8, type), 1);
  EXPECT_EQ(type, OBJCRT_TABLE);
  ASSERT_EQ(again->deleteDB(50), 1);  // a deleted record's identifier is free again
  ASSERT_EQ(Write(again, 50, objdltOid, {{sourceIndicatorOid, Enum(2)}}), 1);
  ExpectRecord(Read(again, 50), 50, {{sourceIndicatorOid, Enum(2)}});
}

// Rows of older versions may hold an identifier twice: the state change table refuses
// to read such a record, the walk delivers both rows, the other classes read the first.
TEST_P(EventRecordsTest, StateChangeDuplicateIdentifierFailsReadButWalkDeliversBoth) {
  LogMapper* m = NewLog();
  ASSERT_EQ(Write(m, 50, statechgOid, {{sourceIndicatorOid, Enum(0)}}), 1);
  ASSERT_EQ(Write(m, 51, objcrtOid, {{sourceIndicatorOid, Enum(0)}}), 1);
  for (const char* stem : {"stChg", "ObCre"}) {  // a second row, written past the mapper
    RWDBTable t = LogMapper::aDB_().table(m->get_table_name() + stem);
    RWDBInserter ins = t.inserter();
    ins["logRecordId"] << (std::string(stem) == "stChg" ? 50ul : 51ul);
    ins["sourceIndicator"] << RWCString("managementOperation");
    ASSERT_TRUE(ins.execute(LogMapper::aConnection()).isValid());
  }
  int rc = 1;
  Read(m, 50, &rc);
  EXPECT_EQ(rc, 0);
  int rows = 0;
  Callback cb([](void* c, void* d) { *static_cast<int*>(c) += d != nullptr; }, &rows);
  ASSERT_EQ(m->get_all_log_recs(cb, 0), 1);
  EXPECT_EQ(rows, 4);
  ExpectRecord(Read(m, 51, &rc), 51, {{sourceIndicatorOid, Enum(0)}});
  EXPECT_EQ(rc, 1);
}

QX_STORE_TESTS(EventRecordsTest);

}  // namespace
}  // namespace qx::test
