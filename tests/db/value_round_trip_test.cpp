// Every value type goes in through a bound inserter and comes back through a
// reader unchanged, on both servers.

#include <climits>
#include <cstring>
#include <optional>
#include <string>

#include "db_fixture.h"
#include "platform/db/column_text.h"

namespace qx::test {
namespace {

class RoundTripTest : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    if (IsSkipped()) return;
    RWDBSchema s;
    s.appendColumn("id", RWDBValue::Long, 0, false);
    s.appendColumn("u", RWDBValue::UnsignedLong);
    s.appendColumn("txt", RWDBValue::String, 64);
    s.appendColumn("at", RWDBValue::DateTime);
    s.appendColumn("data", RWDBValue::Blob, 300);
    table_ = make("vals", s);
    ins_ = table_.inserter();
    ins_["id"] << RWDBBoundExpr(&id_);
    ins_["u"] << RWDBBoundExpr(&u_, &uNull_);
    ins_["txt"] << RWDBBoundExpr(&txt_, &txtNull_);
    ins_["at"] << RWDBBoundExpr(&at_);
    ins_["data"] << RWDBBoundExpr(&data_, &dataNull_);
  }

  RWDBResult put() { return ins_.execute(conn_); }

  // Reads row id back into the out-fields; false when there is no such row.
  bool get(long id) {
    RWDBSelector sel = db_.selector();
    sel << table_["u"] << table_["txt"] << table_["at"] << table_["data"];
    sel.where(table_["id"] == id);
    RWDBReader r = sel.reader(conn_);
    if (!r()) return false;
    outU_ = 0;
    outTxt_ = "unset";
    outAt_ = RWDBDateTime();
    outData_ = RWDBBlob();
    r >> n_[0] >> outU_ >> n_[1] >> outTxt_ >> n_[2] >> outAt_ >> n_[3] >> outData_;
    EXPECT_TRUE(r.status().isValid()) << r.status().message();
    EXPECT_FALSE(r());
    return true;
  }

  RWDBTable table_;
  RWDBInserter ins_;
  long id_ = 0;
  unsigned long u_ = 0;
  RWCString txt_;
  RWDBDateTime at_;
  RWDBBlob data_;
  RWDBNullIndicator uNull_, txtNull_, dataNull_;
  unsigned long outU_ = 0;
  RWCString outTxt_;
  RWDBDateTime outAt_;
  RWDBBlob outData_;
  RWDBNullIndicator n_[4];
};

TEST_P(RoundTripTest, NullsAndEmptyValuesStayApart) {
  id_ = 1;
  uNull_ = true;
  txtNull_ = true;
  dataNull_ = true;
  ASSERT_TRUE(put().isValid());
  id_ = 2;
  uNull_ = txtNull_ = dataNull_ = false;
  u_ = 0;
  txt_ = "";
  data_ = RWDBBlob();
  at_ = RWDBDateTime();  // not valid: NULL
  ASSERT_TRUE(put().isValid());

  ASSERT_TRUE(get(1));
  EXPECT_TRUE(n_[0] && n_[1] && n_[2] && n_[3]);
  EXPECT_EQ(outTxt_, "unset");  // a NULL leaves the variable alone
  ASSERT_TRUE(get(2));
  EXPECT_FALSE(n_[0] || n_[1] || n_[3]);
  EXPECT_TRUE(n_[2]);
  EXPECT_EQ(outU_, 0u);
  EXPECT_EQ(outTxt_, "");
  EXPECT_EQ(outData_.length(), 0u);
}

TEST_P(RoundTripTest, BlobsKeepEveryByteUpToTheDeclaredSize) {
  std::string bytes(300, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  id_ = 1;
  data_ = RWDBBlob(bytes.data(), bytes.size());
  ASSERT_TRUE(put().isValid());
  id_ = 2;
  data_ = RWDBBlob("\0\0x\0", 4);
  ASSERT_TRUE(put().isValid());
  ASSERT_TRUE(get(1));
  EXPECT_EQ(outData_.bytes(), bytes);
  ASSERT_TRUE(get(2));
  EXPECT_EQ(outData_.bytes(), std::string("\0\0x\0", 4));
  // Every length around the sixteen-octet steps of reading, every octet value.
  for (size_t n = 1; n <= 40; ++n) {
    SCOPED_TRACE(n);
    std::string some(n, '\0');
    for (size_t i = 0; i < n; ++i) some[i] = static_cast<char>(0xff - (n + i * 37) % 256);
    id_ = static_cast<long>(10 + n);
    data_ = RWDBBlob(some.data(), some.size());
    ASSERT_TRUE(put().isValid());
    ASSERT_TRUE(get(id_));
    EXPECT_EQ(outData_.bytes(), some);
  }
}

TEST_P(RoundTripTest, IntegersAtTheirLimits) {
  struct {
    long id;
    unsigned long u;
  } cases[] = {{LONG_MIN, 0}, {LONG_MAX, static_cast<unsigned long>(LONG_MAX)}, {-1, 1}};
  for (const auto& c : cases) {
    id_ = c.id;
    u_ = c.u;
    ASSERT_TRUE(put().isValid()) << c.id;
  }
  for (const auto& c : cases) {
    ASSERT_TRUE(get(c.id));
    EXPECT_EQ(outU_, c.u);
  }
  // Above the servers' integer range: refused, not wrapped.
  id_ = 9;
  u_ = static_cast<unsigned long>(LONG_MAX) + 1;
  RWDBResult r = put();
  EXPECT_EQ(r.status().errorCode(), RWDBStatus::typeConflict);
  EXPECT_FALSE(get(9));
}

TEST_P(RoundTripTest, DateTimesFarFromTheEpochAndAcrossDaylightSaving) {
  // TZ=Europe/Berlin: 2023-10-29 02:30 happens twice; 2024-03-31 02:30 never.
  struct tm summer {
  }, winter{};
  summer.tm_year = winter.tm_year = 123;
  summer.tm_mon = winter.tm_mon = 9;
  summer.tm_mday = winter.tm_mday = 29;
  summer.tm_hour = winter.tm_hour = 2;
  summer.tm_min = winter.tm_min = 30;
  summer.tm_isdst = 1;
  winter.tm_isdst = 0;
  std::vector<RWDBDateTime> times = {
      RWDBDateTime(RWDate(1, 1, 1900), 0, 0, 0, 1),
      RWDBDateTime(1969, 12, 31, 23, 59, 59, 999),
      RWDBDateTime(2038, 1, 19, 3, 14, 8, 0),
      RWDBDateTime(9999, 12, 31, 23, 59, 59, 999),
      RWDBDateTime(&summer, 250),
      RWDBDateTime(&winter, 250),
      RWDBDateTime(2024, 3, 31, 2, 30, 0, 0),
  };
  ASSERT_EQ(times[5].millisSinceEpoch() - times[4].millisSinceEpoch(), 3600 * 1000);
  for (size_t i = 0; i < times.size(); ++i) {
    ASSERT_TRUE(times[i].isValid()) << i;
    id_ = static_cast<long>(i);
    at_ = times[i];
    ASSERT_TRUE(put().isValid()) << i;
  }
  for (size_t i = 0; i < times.size(); ++i) {
    ASSERT_TRUE(get(static_cast<long>(i)));
    ASSERT_FALSE(n_[2]);
    EXPECT_EQ(outAt_.millisSinceEpoch(), times[i].millisSinceEpoch()) << times[i].asString();
    struct tm in {
    }, out{};
    times[i].extract(&in);
    outAt_.extract(&out);
    EXPECT_EQ(in.tm_hour, out.tm_hour);
    EXPECT_EQ(in.tm_isdst, out.tm_isdst);
  }
  // The skipped hour moved forward to 03:30 summer time.
  EXPECT_EQ(times[6].hour(), 3u);
}

// Texts come back exactly, quotes, blanks and characters beyond ASCII included; a
// column's length counts characters, not bytes.
TEST_P(RoundTripTest, TextsAreExactAndTheirLengthCountsCharacters) {
  std::string euros;
  for (int i = 0; i < 64; ++i) euros += "\xe2\x82\xac";  // 64 characters, 192 bytes
  const std::string texts[] = {"plain",
                               "  padded  ",
                               "quote ' and \" and \\",
                               "semi; -- comment",
                               "gr\xc3\xbc\xc3\x9f \xe2\x82\xac \xf0\x9f\x98\x80",
                               std::string(64, 'x'),
                               euros};
  long id = 0;
  for (const std::string& t : texts) {
    id_ = ++id;
    txt_ = t;
    ASSERT_TRUE(put().isValid()) << t;
  }
  id = 0;
  for (const std::string& t : texts) {
    ASSERT_TRUE(get(++id));
    EXPECT_EQ(outTxt_, t);
  }
  id_ = ++id;
  txt_ = euros + "x";
  EXPECT_EQ(put().status().errorCode(), RWDBStatus::valueTooLong);
}

// A text checked as it was made binds as it stands: NULL while it is a default one, the
// whole text when the column holds it, else the longest part it holds (cut at a
// character that is no UTF-8 or past the column's length, never inside a character).
TEST_P(RoundTripTest, ACheckedTextBindsWhatItWasCutTo) {
  std::string text;
  qx::db::StorableText checked;
  RWDBInserter ins = table_.inserter();
  ins["id"] << RWDBBoundExpr(&id_);
  ins["txt"] << RWDBBoundExpr(&checked);
  std::string euros;
  for (int i = 0; i < 70; ++i) euros += "\xe2\x82\xac";
  struct Case {
    std::optional<std::string> given;  // none: the default (NULL)
    std::string stored;
    bool whole;
  };
  const Case cases[] = {
      {std::nullopt, "", false},
      {"", "", true},
      {"gr\xc3\xbc\xc3\x9f", "gr\xc3\xbc\xc3\x9f", true},
      {"abc\xff tail", "abc", false},
      {"ab\xe2\x82", "ab", false},  // a character cut short
      {std::string("ab\0cd", 5), "ab", false},
      {euros, euros.substr(0, 64 * 3), false},  // 70 characters for 64
  };
  long id = 0;
  for (const Case& c : cases) {
    id_ = ++id;
    if (!c.given) {
      checked = qx::db::StorableText();
    } else {
      text = *c.given;
      checked = qx::db::StorableText(text, 64);
      EXPECT_EQ(checked.whole(), c.whole) << id;
      EXPECT_EQ(text, c.stored) << id;  // the string itself is cut
    }
    ASSERT_TRUE(ins.execute(conn_).isValid()) << id;
  }
  id = 0;
  for (const Case& c : cases) {
    ASSERT_TRUE(get(++id));
    EXPECT_EQ(n_[1].isNull(), !c.given) << id;
    if (c.given) {
      EXPECT_EQ(outTxt_.str(), c.stored) << id;
    }
  }
}

// Views hand out the stored bytes of the current row: every byte of a text or
// blob (NULs and high octets included), an integer's text, empty values as
// empty; they stay valid while the rest of the row is read, by position or by
// name, and a NULL leaves the view alone.
TEST_P(RoundTripTest, ViewsGiveTheStoredBytesUntilTheNextRow) {
  const std::string bytes("\0\x01\xff\x80z\0", 6);
  const std::string text =
      "gr\xc3\xbc\xc3\x9f"
      "e";
  id_ = 1;
  u_ = 42;
  txt_ = text;
  at_ = RWDBDateTime::fromMillisOffset(1700000000123, 0);
  data_ = RWDBBlob(bytes.data(), bytes.size());
  ASSERT_TRUE(put().isValid());
  id_ = 2;
  uNull_ = true;
  txt_ = "";
  data_ = RWDBBlob();
  ASSERT_TRUE(put().isValid());

  RWDBSelector sel = db_.selector();
  sel << table_["txt"] << table_["data"] << table_["u"] << table_["at"];
  sel.where(table_["id"] == 1L);
  RWDBReader r = sel.reader(conn_);
  ASSERT_TRUE(r());
  std::string_view txt, data, u;
  r.viewText(txt).viewBlob(data).viewText(u);
  ASSERT_TRUE(r.status().isValid()) << r.status().message();
  // The rest of the row, in every form, before the views are looked at.
  RWCString txtCopy, byName;
  RWDBBlob dataCopy;
  unsigned long number = 0;
  RWDBDateTime at;
  r[0] >> txtCopy >> dataCopy >> number >> at;
  r[2];
  r["TXT"] >> byName;  // not at the position: found by the name
  r[1];
  r["Data"] >> dataCopy;  // at the position
  ASSERT_TRUE(r.status().isValid()) << r.status().message();
  RWCString again;
  r[1];
  r["txt"] >> again;  // another column's name at the position still finds its own column
  EXPECT_EQ(again, text);
  r[0];
  r["tXt"] >> again;
  EXPECT_EQ(again, text);
  EXPECT_EQ(txt, text);
  EXPECT_EQ(byName, text);
  EXPECT_EQ(data, bytes);
  EXPECT_EQ(std::string_view(reinterpret_cast<const char*>(dataCopy.data()), dataCopy.length()),
            bytes);
  EXPECT_EQ(u, "42");
  EXPECT_EQ(number, 42u);
  EXPECT_EQ(at.millisSinceEpoch(), 1700000000123);
  EXPECT_FALSE(r());

  sel.where(table_["id"] == 2L);
  RWDBReader r2 = sel.reader(conn_);
  ASSERT_TRUE(r2());
  std::string_view kept = "kept";
  txt = data = "unset";
  r2.viewText(txt).viewBlob(data).viewText(kept);
  EXPECT_TRUE(r2.status().isValid());
  EXPECT_TRUE(txt.empty());
  EXPECT_TRUE(data.empty());
  EXPECT_EQ(kept, "kept");  // NULL
  r2["nope"].viewText(kept);
  EXPECT_EQ(r2.status().errorCode(), RWDBStatus::invalidPosition);
  EXPECT_EQ(kept, "kept");
}

// A statement run again and again sends its values in other forms than on its first
// runs (on PostgreSQL: numbers and times in binary once the server has said what types
// it takes). Every value reads back the same either way, into columns of every integer
// width, a timestamp with time zone and one without (which keeps no offset: the time
// reads back as the same instant all the same), and texts of every kind of text column
// (empty ones and ones beyond ASCII among them), in a table the caller declared by SQL;
// and a number its column cannot hold is refused however it is sent.
TEST_P(RoundTripTest, RepeatedStatementsKeepEveryValueOfEveryColumnType) {
  const std::string name = "\"" + T("typed") + "\"";
  ASSERT_TRUE(db_.executeSql("CREATE TABLE " + name +
                                 " (id BIGINT, i2 SMALLINT, i4 INTEGER, i8 BIGINT, at " +
                                 (pg() ? "TIMESTAMP(3) WITH TIME ZONE" : "TIMESTAMP") +
                                 ", wall TIMESTAMP(3), vc VARCHAR(20), tx TEXT, ch CHAR(4))",
                             conn_)
                  .isValid());
  RWDBTable t = db_.table(T("typed"));
  long id = 0, i2 = 0, i4 = 0, i8 = 0;
  RWDBDateTime at;
  RWCString vc, tx, ch;
  RWDBInserter ins = t.inserter();
  ins["id"] << RWDBBoundExpr(&id);
  ins["i2"] << RWDBBoundExpr(&i2);
  ins["i4"] << RWDBBoundExpr(&i4);
  ins["i8"] << RWDBBoundExpr(&i8);
  ins["at"] << RWDBBoundExpr(&at);
  ins["wall"] << RWDBBoundExpr(&at);
  ins["vc"] << RWDBBoundExpr(&vc);
  ins["tx"] << RWDBBoundExpr(&tx);
  ins["ch"] << RWDBBoundExpr(&ch);
  struct Row {
    long i2, i4, i8;
    RWDBDateTime at;
    const char* text;  // four characters or fewer, for the CHAR(4) column
  };
  const std::vector<Row> rows = {
      {INT16_MIN, INT32_MIN, LONG_MIN, RWDBDateTime(RWDate(1, 1, 1900), 0, 0, 0, 1), ""},
      {INT16_MAX, INT32_MAX, LONG_MAX, RWDBDateTime(1969, 12, 31, 23, 59, 59, 999), "a"},
      {-1, -1, -1, RWDBDateTime(1999, 12, 31, 23, 59, 59, 999), "gr\xc3\xbc\xc3\x9f"},
      {0, 0, 0, RWDBDateTime(2000, 1, 1, 0, 0, 0, 0), ""},
      {1, 70000, 5000000000L, RWDBDateTime(2000, 1, 1, 1, 0, 0, 1),
       "\xe2\x82\xac \xf0\x9f\x98\x80"},
      {-300, -70000, -5000000000L, RWDBDateTime(2024, 7, 1, 12, 0, 0, 500), "' \\"},
      {7, 7, 7, RWDBDateTime(9999, 12, 31, 23, 59, 59, 999), "abcd"},
  };
  // Twice over: the second pass finds the statement long prepared.
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t k = 0; k < rows.size(); ++k) {
      id = static_cast<long>(pass * 100 + k);
      i2 = rows[k].i2;
      i4 = rows[k].i4;
      i8 = rows[k].i8;
      at = rows[k].at;
      vc = tx = ch = rows[k].text;
      ASSERT_TRUE(ins.execute(conn_).isValid()) << id;
    }
  }
  RWDBSelector sel = db_.selector();
  sel << t["id"] << t["i2"] << t["i4"] << t["i8"] << t["at"] << t["wall"] << t["vc"] << t["tx"]
      << t["ch"];
  sel.orderBy(t["id"]);
  RWDBReader r = sel.reader(conn_);
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t k = 0; k < rows.size(); ++k) {
      ASSERT_TRUE(r()) << pass << " " << k;
      long got_id = -1, got2 = 0, got4 = 0, got8 = 0;
      RWDBDateTime got_at, got_wall;
      RWCString got_vc = "unset", got_tx = "unset", got_ch = "unset";
      RWDBNullIndicator null_vc, null_tx, null_ch;
      r >> got_id >> got2 >> got4 >> got8 >> got_at >> got_wall >> null_vc >> got_vc >> null_tx >>
          got_tx >> null_ch >> got_ch;
      ASSERT_TRUE(r.status().isValid()) << r.status().message();
      SCOPED_TRACE(got_id);
      EXPECT_EQ(got_id, pass * 100 + static_cast<long>(k));
      EXPECT_EQ(got2, rows[k].i2);
      EXPECT_EQ(got4, rows[k].i4);
      EXPECT_EQ(got8, rows[k].i8);
      EXPECT_EQ(got_at.millisSinceEpoch(), rows[k].at.millisSinceEpoch());
      EXPECT_EQ(got_wall.millisSinceEpoch(), rows[k].at.millisSinceEpoch());
      EXPECT_FALSE(null_vc || null_tx || null_ch);  // an empty text is no NULL
      EXPECT_EQ(got_vc, rows[k].text);
      EXPECT_EQ(got_tx, rows[k].text);
      // CHAR pads to its length; what it gives back is the text and its blanks.
      std::string padded = rows[k].text;
      if (pg()) {
        size_t chars = 0;
        for (unsigned char c : padded) chars += (c & 0xC0) != 0x80;
        if (chars < 4) padded.append(4 - chars, ' ');
      }
      EXPECT_EQ(got_ch.str(), padded);
    }
  }
  EXPECT_FALSE(r());
  if (!pg()) return;  // SQLite keeps any integer in any integer column
  i4 = static_cast<long>(INT32_MAX) + 1;
  i2 = 0;
  EXPECT_EQ(ins.execute(conn_).status().errorCode(), RWDBStatus::typeConflict);
  i4 = 0;
  i2 = INT16_MIN - 1;
  EXPECT_EQ(ins.execute(conn_).status().errorCode(), RWDBStatus::typeConflict);
}

// A server may send a query's rows as text or in binary form (PostgreSQL: binary when
// every column is of a type read so, text when one of another type is among them).
// Every column reads alike either way, as text, number, time and blob, with the same
// value or the same refusal: integers at their limits, times with microseconds, before
// 1970 and 2000, infinite, in 1890 (in Berlin, the tests' zone, local mean time: an
// offset with seconds) and in a wall-clock gap, padded and non-ASCII texts, blobs with
// every kind of octet, NULLs.
TEST_P(RoundTripTest, RowsReadAlikeInEitherFormOfTheServers) {
  ASSERT_TRUE(db_.executeSql("CREATE TABLE \"" + T("forms") +
                                 "\" (id INTEGER, i2 SMALLINT, i8 BIGINT, at " +
                                 (pg() ? "TIMESTAMPTZ" : "TIMESTAMP") +
                                 ", wall TIMESTAMP, vc VARCHAR(20), ch CHAR(3), b " +
                                 (pg() ? "BYTEA" : "BLOB") + ", flag BOOLEAN)",
                             conn_)
                  .isValid());
  const std::string blob1 = pg() ? "'\\x00ff80'::bytea" : "X'00FF80'";
  const std::string blob2 = pg() ? "'\\x3132'::bytea" : "X'3132'";
  const std::string empty = pg() ? "''::bytea" : "X''";
  const std::vector<std::string> rows = {
      "1, -32768, -9223372036854775808, '2024-07-01 12:00:00.123456+00', "
      "'2024-03-31 02:30:00', 'gr\xc3\xbc\xc3\x9f', 'a', " +
          blob1 + ", true",
      "2, 32767, 9223372036854775807, '1969-12-31 23:59:59.5+00', "
      "'1999-12-31 23:59:59.999', '', '', " +
          empty + ", false",
      "3, 0, 42, 'infinity', '-infinity', '12', 'abc', " + blob2 + ", NULL",
      "4, NULL, NULL, '1890-01-01 00:00:00+00', '9999-12-31 23:59:59.999999', NULL, NULL, "
      "NULL, NULL",
      "5, -1, -1, '2000-01-01 00:00:00.000001+05:30', '2000-01-01 00:00:00', '-7', 'x', " + blob2 +
          ", true",
  };
  for (const std::string& row : rows) {
    ASSERT_TRUE(
        db_.executeSql("INSERT INTO \"" + T("forms") + "\" VALUES (" + row + ")", conn_).isValid())
        << row;
  }
  const char* const columns[] = {"id", "i2", "i8", "at", "wall", "vc", "ch", "b"};
  // Every column of every row in every form: "text 12 | number 12 | no time | blob 3132".
  auto read_all = [&](bool with_flag) {
    RWDBTable t = db_.table(T("forms"));
    RWDBSelector sel = db_.selector();
    for (const char* c : columns) sel << t[c];
    if (with_flag) sel << t["flag"];
    sel.orderBy(t["id"]);
    RWDBReader r = sel.reader(conn_);
    std::vector<std::string> seen;
    while (r()) {
      for (size_t c = 0; c < std::size(columns); ++c) {
        std::string one = columns[c];
        if (r.isNull(c)) {
          seen.push_back(one + " NULL");
          continue;
        }
        std::string_view text, blob;
        long number = 0;
        RWDBDateTime at;
        r[c].viewText(text);
        one += r.status().isValid() ? " | text " + std::string(text) : " | no text";
        r[c] >> number;
        one += r.status().isValid() ? " | number " + std::to_string(number) : " | no number";
        r[c] >> at;
        one += r.status().isValid() ? " | time " + std::to_string(at.millisSinceEpoch()) + " " +
                                          std::to_string(at.offsetSeconds())
                                    : " | no time";
        r[c].viewBlob(blob);
        std::string octets;
        for (unsigned char o : blob) octets += std::to_string(o) + ".";
        one += r.status().isValid() ? " | blob " + octets : " | no blob";
        seen.push_back(one);
      }
    }
    EXPECT_EQ(seen.size(), rows.size() * std::size(columns));
    return seen;
  };
  const std::vector<std::string> binary = read_all(false);
  EXPECT_EQ(binary, read_all(true));
  // What the rows hold, read in the first form.
  EXPECT_EQ(binary[1], "i2 | text -32768 | number -32768 | no time | blob 45.51.50.55.54.56.");
  EXPECT_EQ(binary[2].substr(0, 50), "i8 | text -9223372036854775808 | number -922337203");
  EXPECT_NE(binary[3].find("| time 1719835200123 "), std::string::npos) << binary[3];
  EXPECT_NE(binary[11].find("| time -500 "), std::string::npos) << binary[11];
  EXPECT_EQ(binary[7], "b | text " +
                           std::string(pg() ? "\\x00ff80" : std::string("\0\xff\x80", 3)) +
                           " | no number | no time | blob 0.255.128.");
  // A column that changes its type under a query read before reads as it reads now.
  if (pg()) {
    ASSERT_TRUE(
        db_.executeSql("ALTER TABLE \"" + T("forms") + "\" ALTER COLUMN i2 TYPE NUMERIC", conn_)
            .isValid());
    EXPECT_EQ(read_all(false), binary);
  }
}

QX_BACKENDS(RoundTripTest);

}  // namespace
}  // namespace qx::test
