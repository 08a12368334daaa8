// The action history of alarms on both stores: kept only with QX_ALARM_HISTORY=1, one row
// per acknowledge, clear, clear of all alarms and display change of every alarm class, in
// the unit of the change (a change that fails or is rolled back leaves none), found again
// after a restart, and dropped with its log.
#include <cstdlib>

#include "infra/tolk_map/oids.h"
#include "infra/tolk_map/tables/alarm_history.h"
#include "infra/tolk_map/tables/alarmlog.h"
#include "platform/db/rwdb_reader.h"
#include "platform/mgmt/ac_object.h"
#include "tests/tolk_map/store_fixture.h"

namespace qx::test {
namespace {

Asn1Value OperatorTime(const std::string& text) { return Set({GenTime(text)}, TAG_CTX0); }

Attrs Alarm(int n) {
  return {{loggingTimeOid, GenTime("20240301101500Z")},
          {eventTypeOid, Oidv("2.9.3.2.10.2", TAG_CTX6)},
          {moiOid, Dn("ne-1")},
          {probableCauseOid, Oidv("2.9.3.2.0.0.58", TAG_CTX6)},
          {perceivedSeverityOid, Enum(1 + n % 4)}};
}

class AlarmHistoryTest : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    History(true);
  }
  void TearDown() override {
    unsetenv("QX_ALARM_HISTORY");
    reset_alarm_history_switch();
    StoreTest::TearDown();
  }
  static void History(bool on) {
    if (on) {
      setenv("QX_ALARM_HISTORY", "1", 1);
    } else {
      unsetenv("QX_ALARM_HISTORY");
    }
    reset_alarm_history_switch();
  }
  void Write(LogMapper* m, int id, const Oid& cls = qxalarmOid, Attrs attrs = {}) {
    if (attrs.empty()) attrs = Alarm(id);
    if (cls == actualClassOid) attrs.push_back({objectClassOid, Oidv("1.3.6.1.4.1.32473.5.1")});
    ASSERT_EQ(WriteRecord(m, id, cls, AttrList(attrs), 17), 1);
  }
  std::vector<AlarmHistoryEntry> History(LogMapper* m, const unsigned long* id = nullptr) {
    std::vector<AlarmHistoryEntry> out;
    EXPECT_EQ(read_alarm_history(*m, id, out), 1) << LogMapper::last_failure();
    return out;
  }
  static std::string Line(const AlarmHistoryEntry& e) {
    return std::to_string(e.id) + " " + e.action + " " + e.before + ">" + e.after + " " +
           e.operator_name + "/" + e.text + (e.time.isValid() ? " timed" : "");
  }
  static std::vector<std::string> Lines(const std::vector<AlarmHistoryEntry>& h) {
    std::vector<std::string> out;
    for (const auto& e : h) out.push_back(Line(e));
    return out;
  }
};

TEST_P(AlarmHistoryTest, EveryActionOfEveryAlarmTableInOrderAcrossARestart) {
  LogMapper* m = NewLog();
  EXPECT_TRUE(Exists(m->get_table_name() + "_hist"));
  EXPECT_TRUE(Exists("7_hist"));
  for (int id = 1; id <= 3; ++id) Write(m, id);
  Write(m, 4, zkalarmOid);
  LogMapper::commit();
  RespValue r;
  ASSERT_EQ(m->UpdateDBAck(1,
                           AttrList({{ackStateOid, Enum(1)},
                                     {ackTimeOid, OperatorTime("20240302080000Z")},
                                     {ackOperatorOid, Graph("alice")},
                                     {ackTextOid, Graph("seen")}}),
                           r),
            1);
  ASSERT_EQ(
      m->UpdateDBAck(1, AttrList({{ackStateOid, Enum(0)}, {ackOperatorOid, Graph("bob")}}), r), 1);
  ASSERT_EQ(m->UpdateDBAck(1, AttrList({{ackTextOid, Graph("again")}}), r), 1);  // state stays
  ASSERT_EQ(
      m->UpdateDB(2, AttrList({{displayStateOid, Enum(1)}, {displayOperatorOid, Graph("carol")}})),
      1);
  ASSERT_EQ(m->UpdateDB(2, AttrList({{additionalTextOid, Graph("no display change")}})), 1);
  ASSERT_EQ(m->UpdateDBClear(2,
                             AttrList({{clearStateOid, Enum(1)},
                                       {clearOperatorOid, Graph("dave")},
                                       {clearTextOid, Graph("fixed")}}),
                             r),
            1);
  ASSERT_EQ(m->UpdateDBClearAlarms(17, qxalarmOid,
                                   AttrList({{clearStateOid, Enum(1)},
                                             {eventTypeOid, Oidv("2.9.3.2.10.2", TAG_CTX6)},
                                             {clearOperatorOid, Graph("erin")}})),
            1);
  ASSERT_EQ(m->UpdateDBAck(4, AttrList({{ackStateOid, Enum(1)}}), r), 1);
  LogMapper::commit();
  std::vector<std::string> want = {
      "1 acknowledge unAcked>acked alice/seen timed", "1 acknowledge acked>unAcked bob/",
      "1 acknowledge unAcked>unAcked /again",         "2 display unDisplayed>displayed carol/",
      "2 clear unCleared>cleared dave/fixed",         "1 clear-all unCleared>cleared erin/",
      "3 clear-all unCleared>cleared erin/",          "4 acknowledge unAcked>acked /"};
  EXPECT_EQ(Lines(History(m)), want);
  std::vector<AlarmHistoryEntry> h = History(m);
  EXPECT_EQ(h[5].seq, h[6].seq);  // one clear of all alarms, one action
  EXPECT_LT(h[0].seq, h[1].seq);
  EXPECT_EQ(h[0].record_class, qxalarmOid.format());
  EXPECT_EQ(h[7].record_class, zkalarmOid.format());

  Restart();
  LogMapper* again = Load();
  unsigned long one = 1;
  EXPECT_EQ(History(again, &one).size(), 4u);
  ASSERT_EQ(again->UpdateDBAck(3, AttrList({{ackStateOid, Enum(1)}}), r), 1);
  LogMapper::commit();
  EXPECT_EQ(History(again).size(), want.size() + 1);
  ASSERT_EQ(again->deleteDB(static_cast<char>(0)), 1);
  LogMapper::commit();
  EXPECT_FALSE(Exists(again->get_table_name() + "_hist"));
  EXPECT_FALSE(Exists("7_hist"));
}

TEST_P(AlarmHistoryTest, AFailedOrRolledBackChangeLeavesNoRow) {
  LogMapper* m = NewLog();
  Write(m, 1);
  LogMapper::commit();
  RespValue r;
  // A value too long for its column fails the group: neither the change nor its row.
  std::string long_text(300, 'x');
  EXPECT_EQ(
      m->UpdateDBAck(1, AttrList({{ackStateOid, Enum(1)}, {ackTextOid, Graph(long_text)}}), r), 0);
  EXPECT_EQ(m->UpdateDBAck(99, AttrList({{ackStateOid, Enum(1)}}), r), 0);  // no such record
  ASSERT_EQ(m->UpdateDBClear(1, AttrList({{clearStateOid, Enum(1)}}), r), 1);
  LogMapper::abort();
  EXPECT_TRUE(History(m).empty());
  EXPECT_EQ(RowColumn(m->get_table_name() + "qxAlm", 1, "clearstate"), "unCleared");
}

TEST_P(AlarmHistoryTest, BlobRecordsTellTheirStatesFromTheirLists) {
  LogMapper* m = NewLog();
  Write(m, 5, actualClassOid);
  LogMapper::commit();
  RespValue r;
  ASSERT_EQ(
      m->UpdateDBAck(5, AttrList({{ackStateOid, Enum(1)}, {ackOperatorOid, Graph("ann")}}), r), 1);
  ASSERT_EQ(m->UpdateDB(5, AttrList({{displayStateOid, Enum(1)}})), 1);
  ASSERT_EQ(
      m->UpdateDBClear(
          5, AttrList({{clearStateOid, Enum(1)}, {clearTimeOid, OperatorTime("20240302080000Z")}}),
          r),
      1);
  // A clear of all the outstanding alarms of the managed object: one action, one row
  // per alarm it clears.
  Write(m, 6, actualClassOid);
  Write(m, 7, actualClassOid);
  int moi = static_cast<int>(LogMapper::moi_number(Dn("ne-1")));
  RWDBReader selected;
  ASSERT_EQ(m->getOarInfo(moi, actualClassOid,
                          AttrList({{eventTypeOid, Oidv("2.9.3.2.10.2", TAG_CTX6)}}), selected),
            1);
  while (selected()) {
  }
  ASSERT_EQ(m->UpdateDBClearAlarms(
                moi, actualClassOid,
                AttrList({{clearStateOid, Enum(1)}, {clearOperatorOid, Graph("erin")}})),
            1);
  LogMapper::commit();
  std::vector<std::string> want = {"5 acknowledge >acked ann/", "5 display >displayed /",
                                   "5 clear >cleared / timed", "6 clear-all >cleared erin/",
                                   "7 clear-all >cleared erin/"};
  std::vector<AlarmHistoryEntry> h = History(m);
  EXPECT_EQ(Lines(h), want);
  ASSERT_EQ(h.size(), want.size());
  EXPECT_EQ(h[0].record_class, "1.3.6.1.4.1.32473.5.1");
  EXPECT_LT(h[2].seq, h[3].seq);
  EXPECT_EQ(h[3].seq, h[4].seq);
}

// A log made without a history gets one when opened with the switch on (and its
// access-control object lists it); opened with it off, the table stays and nothing is
// appended.
TEST_P(AlarmHistoryTest, SwitchingTheHistoryOnAndOffLosesNothing) {
  History(false);
  LogMapper* m = NewLog();
  Write(m, 1);
  LogMapper::commit();
  EXPECT_FALSE(Exists(m->get_table_name() + "_hist"));
  std::vector<AlarmHistoryEntry> none;
  EXPECT_EQ(read_alarm_history(*m, nullptr, none), 0);
  Restart();
  History(true);
  m = Load();
  EXPECT_TRUE(Exists(m->get_table_name() + "_hist"));
  ACDbObject object("LOG_7", 1);
  ASSERT_TRUE(object.exists());
  RespValue r;
  ASSERT_EQ(m->UpdateDBAck(1, AttrList({{ackStateOid, Enum(1)}}), r), 1);
  LogMapper::commit();
  Restart();
  History(false);
  m = Load();
  ASSERT_EQ(m->UpdateDBAck(1, AttrList({{ackStateOid, Enum(0)}}), r), 1);
  LogMapper::commit();
  EXPECT_EQ(History(m).size(), 1u);
}

QX_STORE_TESTS(AlarmHistoryTest);

}  // namespace
}  // namespace qx::test
