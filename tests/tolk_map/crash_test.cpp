// Crash safety on both stores: a process writes records of several classes (event
// records, alarms, records the blob table keeps) in batches, acknowledging and clearing
// alarms of the batch before, with a commit after each, and is killed (SIGKILL) at a
// random moment, many times over. After each kill a fresh start-up must find every
// committed batch whole, the batch in doubt (committed or not when the process died)
// whole or absent, nothing later, and the alarm state cache as the tables are.
//
// QX_CRASH_KILLS sets the number of kills per store (default 200), QX_CRASH_SEED the
// seed of the moments (printed on failure).
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <random>
#include <thread>

#include "infra/tolk_map/oids.h"
#include "infra/tolk_map/tables/alarmlog.h"
#include "infra/tolk_map/tables/eventlog.h"
#include "platform/db/rwdb_connection.h"
#include "platform/db/rwdb_database.h"
#include "platform/value/exception.h"
#include "tests/tolk_map/store_fixture.h"

namespace qx::test {
namespace {

const Oid kAlarmRecord("2.9.3.2.3.1");           // kept by the blob table, an alarm
const Oid kOtherClass("1.3.6.1.4.1.32473.7.1");  // kept by the blob table
const long kLog = 7;
constexpr unsigned long kPerBatch = 6;

// Record `offset` (1..6) of a batch: two event records of two tables, two alarms, an
// alarm and another record kept by the blob table.
const Oid& ClassOf(unsigned long id) {
  static const Oid* const classes[kPerBatch] = {&objcrtOid,  &objdltOid,    &qxalarmOid,
                                                &qxalarmOid, &kAlarmRecord, &kOtherClass};
  return *classes[(id - 1) % kPerBatch];
}
bool IsAlarm(unsigned long id) {
  unsigned long offset = (id - 1) % kPerBatch;
  return offset >= 2 && offset <= 4;
}
long Severity(unsigned long id) { return static_cast<long>(id % 5) + 1; }

// What record `id` is written with: every value depends on the identifier, a list
// value among them, so that a record that is not whole or another's shows.
Attrs Written(unsigned long id) {
  long n = static_cast<long>(id);
  Attrs a = {{notificationIdOid, Int(n)},
             {additionalTextOid, Graph("record " + std::to_string(id) + std::string(id % 97, '.'))},
             {correlatedNotifsOid, Set({Int(n), Int(n * 3)})}};
  if (IsAlarm(id)) {
    a.push_back({eventTypeOid, Oidv("2.9.3.2.10.2", TAG_CTX6)});
    a.push_back({probableCauseOid, Oidv("2.9.3.2.0.0.58", TAG_CTX6)});
    a.push_back({perceivedSeverityOid, Enum(Severity(id))});
    a.push_back({moiOid, Dn("ne-" + std::to_string(id % 3))});
  }
  if (ClassOf(id) == kAlarmRecord || ClassOf(id) == kOtherClass) {
    Asn1Value cls;
    cls.encode_oid(ClassOf(id), TAG_CTX0);
    a.push_back({objectClassOid, cls});
  }
  return a;
}

Attrs Cleared() {
  return {{clearStateOid, Enum(1)},
          {clearTimeOid, Set({GenTime("20240302080000Z")}, TAG_CTX0)},
          {clearOperatorOid, Graph("ops")}};
}

// Batch b: its six records, then the acknowledgement of the first alarm of batch b-1
// and the clear of its second alarm and of its blob alarm.
bool WriteBatch(LogMapper* m, unsigned long b) {
  unsigned long base = b * kPerBatch;
  for (unsigned long id = base + 1; id <= base + kPerBatch; ++id) {
    auto* entry = new OarInfo;
    unsigned char state = 0;
    auto severity = static_cast<unsigned char>(IsAlarm(id) ? Severity(id) : 0);
    entry->set_clear_severity(state, severity);
    const Oid& cls = ClassOf(id);
    if (m->WriteToDB(static_cast<int>(id), cls, cls, AttrList(Written(id)), entry) != 1) {
      delete entry;
      return false;
    }
  }
  if (b == 0) return true;
  unsigned long prev = base - kPerBatch;
  RespValue r1, r2, r3;
  return m->UpdateDBAck(static_cast<int>(prev + 3),
                        AttrList({{ackStateOid, Enum(1)}, {ackOperatorOid, Graph("ops")}}),
                        r1) == 1 &&
         m->UpdateDBClear(static_cast<int>(prev + 4), AttrList(Cleared()), r2) == 1 &&
         m->UpdateDBClear(static_cast<int>(prev + 5), AttrList(Cleared()), r3) == 1;
}

// The writing process: starts up, says so ('r'), then writes batches from the one after
// the last stored, reporting each committed batch's number; it runs until killed.
[[noreturn]] void Writer(int out) {
  Callback logs([](void*, void* data) { delete static_cast<RespValue*>(data); });
  if (LogMapper::init_log_handles(logs, no_op_cb) != 1) _exit(2);
  LogMapper* m = LogMapper::find_log_handle(Int(kLog));
  if (m == nullptr) _exit(3);
  unsigned long b = m->cached_records() / kPerBatch;
  char ready = 'r';
  if (write(out, &ready, 1) != 1) _exit(4);
  for (int k = 0; k < 1000; ++k, ++b) {
    if (!WriteBatch(m, b)) _exit(5);
    if (LogMapper::commit() != 1) _exit(6);
    uint32_t done = static_cast<uint32_t>(b);
    if (write(out, &done, sizeof done) != sizeof done) _exit(7);
  }
  _exit(0);
}

class CrashTest : public StoreTest {
 protected:
  // Starts up as a new process would and checks the log against what the writer
  // reported committed (batches 0..committed-1); returns the number of batches stored.
  unsigned long Check(unsigned long committed, uint32_t qxlogid) {
    Restart();
    if (postgres()) {
      // The server may still be ending the killed writer's last transaction (a commit
      // it had received): the check waits until the writer's session is gone.
      LogMapper scratch;
      EXPECT_TRUE(
          LogMapper::aDB_()
              .executeSql("DO $$ BEGIN FOR i IN 1..1000 LOOP EXIT WHEN NOT EXISTS (SELECT 1 FROM "
                          "pg_stat_activity WHERE datname = current_database() AND pid <> "
                          "pg_backend_pid() AND state <> 'idle'); PERFORM pg_sleep(0.005); "
                          "END LOOP; END $$",
                          LogMapper::aConnection())
              .isValid());
      LogMapper::commit();
    }
    Callback logs([](void*, void* data) { delete static_cast<RespValue*>(data); });
    EXPECT_EQ(LogMapper::init_log_handles(logs, no_op_cb), 1) << LogMapper::last_failure();
    LogMapper* m = LogMapper::find_log_handle(Int(kLog));
    if (m == nullptr) {
      ADD_FAILURE() << "the log is gone";
      return committed;
    }
    Keep(m);
    EXPECT_EQ(m->get_qxlogid(), qxlogid);
    size_t cached = m->cached_records();
    EXPECT_EQ(cached % kPerBatch, 0u) << "a batch stored in part";
    unsigned long batches = cached / kPerBatch;
    EXPECT_TRUE(batches == committed || batches == committed + 1)
        << batches << " batches stored, " << committed << " committed";
    unsigned long last = batches * kPerBatch;
    EXPECT_EQ(m->get_highest_id(), last);

    // Every record stored reads back whole, by a walk of every table.
    std::map<unsigned long, std::map<Oid, Asn1Value>> walked;
    Callback cb(
        [](void* c, void* data) {
          if (data == nullptr) return;
          std::map<Oid, Asn1Value> rec;
          for (const auto& e : *static_cast<RespValue*>(data)) rec[e->id()] = e->value().copy();
          unsigned long n = 0;
          rec[logRecordIdOid].decode_unsigned(n);
          (*static_cast<std::map<unsigned long, std::map<Oid, Asn1Value>>*>(c))[n] = std::move(rec);
        },
        &walked);
    EXPECT_EQ(m->get_all_log_recs(cb, 0), 1) << LogMapper::last_failure();
    EXPECT_EQ(walked.size(), last);
    for (auto& [id, rec] : walked) {
      if (id == 0 || id > last) {
        ADD_FAILURE() << "record " << id << " stored past the last batch";
        continue;
      }
      for (const auto& [attr, value] : Written(id)) {
        auto it = rec.find(attr);
        if (it == rec.end() || it->second != value) {
          ADD_FAILURE() << "record " << id << ": " << attr.format() << " is "
                        << (it == rec.end() ? "missing" : it->second.to_string());
        }
      }
      // The acknowledgement and clears of a batch are those of the batch after it.
      bool later = id + kPerBatch <= last;
      unsigned long offset = (id - 1) % kPerBatch;
      if (offset == 2) {
        long acked = 0;
        auto it = rec.find(ackStateOid);
        if (it != rec.end()) it->second.decode_int(acked);
        EXPECT_EQ(acked == 1, later) << "acknowledgement of record " << id;
      }
      unsigned long moi = 0;
      unsigned char state = 9, severity = 0;
      unsigned short type = 99;
      {
        ExceptionScope scope;
        if (m->ReadOarInfo(static_cast<int>(id), moi, state, severity) != 1 ||
            m->get_table_type(id, type) != 1) {
          ADD_FAILURE() << "record " << id << " is not cached";
          continue;
        }
      }
      EXPECT_EQ(state, (offset == 3 || offset == 4) && later ? 1 : 0) << "record " << id;
      if (IsAlarm(id)) {
        EXPECT_EQ(severity, Severity(id)) << "record " << id;
      }
      Oid cls;
      EXPECT_EQ(m->get_log_record_class(id, cls), 1);
      EXPECT_EQ(cls, ClassOf(id)) << "record " << id;
    }
    return batches;
  }
};

TEST_P(CrashTest, CommittedBatchesSurviveSigkillWholeAndNothingElseDoes) {
  int kills = 200;
  if (const char* k = std::getenv("QX_CRASH_KILLS")) kills = std::atoi(k);
  unsigned seed =
      static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
  if (const char* s = std::getenv("QX_CRASH_SEED")) seed = static_cast<unsigned>(std::atol(s));
  SCOPED_TRACE("QX_CRASH_SEED=" + std::to_string(seed));
  std::mt19937 random(seed);

  uint32_t qxlogid = 0;
  {
    LogMapper* m = Keep(new LogMapper(Int(kLog), AttrList({}), "", Graph("root")));
    ASSERT_TRUE(m->created());
    qxlogid = m->get_qxlogid();
  }
  unsigned long stored = 0;
  int in_doubt_stored = 0;
  for (int kill_no = 0; kill_no < kills; ++kill_no) {
    SCOPED_TRACE("kill " + std::to_string(kill_no));
    Restart();  // nothing open is carried into the writer
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(fds[0]);
      Writer(fds[1]);
    }
    close(fds[1]);
    // Most kills come while batches are written, some during the start-up.
    char ready = 0;
    if (kill_no % 8 != 0) {
      ASSERT_EQ(read(fds[0], &ready, 1), 1) << "the writer did not start";
      std::this_thread::sleep_for(std::chrono::microseconds(random() % 30000));
    } else {
      std::this_thread::sleep_for(std::chrono::microseconds(random() % 5000));
    }
    kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped on its own: " << WEXITSTATUS(status);
    // The batches the writer saw committed.
    unsigned long committed = stored;
    uint32_t done = 0;
    if (ready == 0) (void)!read(fds[0], &ready, 1);
    while (read(fds[0], &done, sizeof done) == sizeof done) committed = done + 1;
    close(fds[0]);
    unsigned long now = Check(committed, qxlogid);
    if (HasFailure()) return;
    ASSERT_GE(now, stored) << "committed batches lost";
    if (now > committed) ++in_doubt_stored;
    stored = now;
  }
  std::printf("%d kills, %lu batches stored (%d stored after the writer's last report)\n", kills,
              stored, in_doubt_stored);
}

QX_STORE_TESTS(CrashTest);

}  // namespace
}  // namespace qx::test
