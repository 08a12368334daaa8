// The small services: name cache, storage extents, quoting of names, the event-name
// fix-up, distinguished-name parts, and the RespValue / OarInfo containers.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <map>
#include <thread>
#include <vector>

#include "infra/tolk_map/fdn_cache.h"
#include "infra/tolk_map/storage.h"
#include "infra/tolk_map/util.h"
#include "oar_info.h"
#include "resp_value.h"
#include "tests/tolk_map/store_fixture.h"

namespace qx::test {
namespace {

class FdnCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FdnCache::reset();
    unsetenv("QX_LOG_MPA_FDN_CACHE_MAX_SIZE");
    unsetenv("QX_LOG_MPA_FDN_CACHE_FLUSH_SIZE");
  }
  void TearDown() override { FdnCache::reset(); }
  // A miss as the formatted-value encoder handles it: flush, then a new entry.
  void Miss(long n) {
    FdnCache::flush();
    new FdnCache(Int(n), DataUnit(std::to_string(n).c_str()));
  }
};

TEST_F(FdnCacheTest, FlushesTheOldestWhenOverTheLimit) {
  ASSERT_NE(FdnCache::init(), nullptr);
  EXPECT_EQ(FdnCache::init(), nullptr);  // once only
  for (long i = 0; i < 2001; ++i) Miss(i);
  EXPECT_EQ(FdnCache::num_entries, 2001u);
  Miss(5000);  // the 2002nd miss removes the 1000 oldest first
  EXPECT_EQ(FdnCache::num_entries, 1002u);
  EXPECT_EQ(FdnCache::lookup(Int(999)), nullptr);
  ASSERT_NE(FdnCache::lookup(Int(1000)), nullptr);
  EXPECT_EQ(FdnCache::lookup(Int(1000))->get_fdn(), DataUnit("1000"));
  EXPECT_EQ(FdnCache::hits, 2u);
  EXPECT_EQ(FdnCache::attempts, 3u);
}

TEST_F(FdnCacheTest, LimitsComeFromTheEnvironment) {
  setenv("QX_LOG_MPA_FDN_CACHE_MAX_SIZE", "2", 1);
  setenv("QX_LOG_MPA_FDN_CACHE_FLUSH_SIZE", "0", 1);
  ASSERT_NE(FdnCache::init(), nullptr);
  for (long i = 0; i < 10; ++i) Miss(i);
  EXPECT_EQ(FdnCache::num_entries, 10u);  // a flush of 0 never removes anything
}

TEST_F(FdnCacheTest, AHitDoesNotMoveTheEntry) {
  setenv("QX_LOG_MPA_FDN_CACHE_MAX_SIZE", "2", 1);
  setenv("QX_LOG_MPA_FDN_CACHE_FLUSH_SIZE", "1", 1);
  ASSERT_NE(FdnCache::init(), nullptr);
  Miss(1);
  Miss(2);
  Miss(3);
  ASSERT_NE(FdnCache::lookup(Int(1)), nullptr);
  Miss(4);
  EXPECT_EQ(FdnCache::lookup(Int(1)), nullptr);
  EXPECT_NE(FdnCache::lookup(Int(2)), nullptr);
}

TEST_F(FdnCacheTest, ReplacedAndDeletedEntriesLeaveMapAndQueueConsistent) {
  setenv("QX_LOG_MPA_FDN_CACHE_MAX_SIZE", "3", 1);
  setenv("QX_LOG_MPA_FDN_CACHE_FLUSH_SIZE", "1", 1);
  ASSERT_NE(FdnCache::init(), nullptr);
  Miss(1);
  Miss(2);
  Miss(3);
  // A second entry under instance 2 takes over the map; the first stays queued.
  auto* again = new FdnCache(Int(2), DataUnit("two"));
  EXPECT_EQ(FdnCache::lookup(Int(2)), again);
  delete FdnCache::lookup(Int(3));  // out of the middle of the queue
  EXPECT_EQ(FdnCache::p_q->size(), 3u);
  EXPECT_EQ(FdnCache::p_fdn_cache->entries(), 2u);
  // Deleting the older entry of instance 2 keeps the newer one in the map.
  Miss(4);  // 4 entries queued: 1, 2 (old), 2 (new), 4
  Miss(5);  // over the limit: 1 goes
  Miss(6);  // and the old 2
  EXPECT_EQ(FdnCache::lookup(Int(1)), nullptr);
  ASSERT_EQ(FdnCache::lookup(Int(2)), again);
  EXPECT_EQ(again->get_fdn(), DataUnit("two"));
  Miss(7);
  Miss(8);  // the newer 2 and 4 go
  EXPECT_EQ(FdnCache::lookup(Int(2)), nullptr);
  EXPECT_EQ(FdnCache::lookup(Int(4)), nullptr);
  EXPECT_NE(FdnCache::lookup(Int(8)), nullptr);
  EXPECT_EQ(FdnCache::p_q->size(), FdnCache::num_entries);
}

// The map against a plain model through many stores and removals, so that every
// probe chain is broken and mended in every order.
// 31 keys keep the smallest table (64 slots) nearly half full, ten of them with a
// home among its last four slots, so that chains wrap around its end; 600 make it grow.
class FdnCacheMapTest : public ::testing::TestWithParam<long> {};

TEST_P(FdnCacheMapTest, AgreesWithAModelThroughStoresAndRemovals) {
  std::vector<Asn1Value> keys;
  int near_end = 0;
  for (long i = 0; static_cast<long>(keys.size()) < GetParam(); ++i) {
    Asn1Value k = Int(i * 7919);
    bool at_end = (Asn1ValueFdnCache_hash::hash_of(k) & 63) >= 60;
    if (GetParam() < 64 && near_end < 10 && !at_end) continue;
    near_end += at_end;
    keys.push_back(k);
  }
  Asn1ValueFdnCache_hash map;
  std::map<size_t, FdnCache*> model;
  auto fake = [](size_t n) { return reinterpret_cast<FdnCache*>((n + 1) * 16); };
  uint64_t state = 12345;
  auto next = [&state] {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<size_t>(state >> 33);
  };
  for (size_t step = 0; step < 60000; ++step) {
    size_t k = next() % keys.size();
    switch (next() % 4) {
      case 0:
      case 1:
        map.store(&keys[k], fake(step));
        model[k] = fake(step);
        break;
      case 2:
        map.destroy(&keys[k]);
        model.erase(k);
        break;
      default: {
        // Only the entry stored under the key goes.
        FdnCache* guess = next() % 2 != 0 && model.count(k) ? model[k] : fake(step);
        map.destroy_entry(Asn1ValueFdnCache_hash::hash_of(keys[k]), guess);
        if (model.count(k) && model[k] == guess) model.erase(k);
        break;
      }
    }
    ASSERT_EQ(map.entries(), model.size()) << step;
    size_t probe = next() % keys.size();
    FdnCache* want = model.count(probe) ? model[probe] : nullptr;
    ASSERT_EQ(map.fetch(&keys[probe]), want) << step;
  }
  for (size_t k = 0; k < keys.size(); ++k)
    EXPECT_EQ(map.fetch(&keys[k]), model.count(k) ? model[k] : nullptr);
}

INSTANTIATE_TEST_SUITE_P(Sizes, FdnCacheMapTest, ::testing::Values(31L, 600L));

TEST(StorageTest, LogSpecificBeforeKindDefaultBeforeSixteen) {
  unsetenv("QX_LOG_MPA_ABC_BLOB_FIRST_EXTENT");
  unsetenv("QX_LOG_MPA_DEFAULT_BLOB_FIRST_EXTENT");
  Storage s;
  get_storage("abc", "qxi3_blob", s);
  EXPECT_EQ(s.first_extent, 16);
  EXPECT_EQ(s.next_extent, 16);
  setenv("QX_LOG_MPA_DEFAULT_BLOB_FIRST_EXTENT", "64", 1);
  EXPECT_EQ(get_extent("abc", "qxi3_blob", "FIRST"), 64);
  setenv("QX_LOG_MPA_ABC_BLOB_FIRST_EXTENT", "128", 1);
  EXPECT_EQ(get_extent("abc", "qxi3_blob", "FIRST"), 128);
  EXPECT_EQ(get_extent("abc", "qxi3_blob", "NEXT"), 16);
  unsetenv("QX_LOG_MPA_ABC_BLOB_FIRST_EXTENT");
  unsetenv("QX_LOG_MPA_DEFAULT_BLOB_FIRST_EXTENT");
  EXPECT_EQ(get_extent("abc", "Log", "FIRST"), 16);  // a short name is its own suffix
}

TEST(NameTest, QuotesAreDoubled) {
  RWCString out("LOG_");
  ASSERT_TRUE(dbobject_strfmt("/a=\"x\"", "\"", out, '"'));
  EXPECT_EQ(out.str(), "LOG_/a=\"\"x\"\"");
  RWCString plain;
  ASSERT_TRUE(dbobject_strfmt("abc", "\"", plain, '"'));
  EXPECT_EQ(plain.str(), "abc");
  RWCString untouched("u");
  EXPECT_FALSE(dbobject_strfmt("", "\"", untouched, '"'));
  EXPECT_EQ(untouched.str(), "u");
  EXPECT_EQ(qx::quote_identifier("Ab\"c"), "\"ab\"\"c\"");
}

TEST(NameTest, EventNameLosesItsGlobalFormMarker) {
  RWCString s("globalForm:2.9.3.2.10.1");
  fix_event_name(&s);
  EXPECT_EQ(s.str(), "2.9.3.2.10.1");
  RWCString plain("communicationsAlarm");
  fix_event_name(&plain);
  EXPECT_EQ(plain.str(), "communicationsAlarm");
}

TEST(NameTest, SeverityWordsAndTheirDefault) {
  const char* const words[] = {"indeterminate", "critical", "major", "minor", "warning", "cleared"};
  RWCString text;
  for (long n = 0; n < 6; ++n) {
    convert_severity(n, text);
    EXPECT_EQ(text, words[n]);
  }
  for (long n : {-1L, 6L, 7L, 1L << 40}) {
    convert_severity(n, text);
    EXPECT_EQ(text, "indeterminate") << n;
  }
}

TEST(NameTest, LastComponentOfADistinguishedName) {
  Asn1Value dn;
  dn.start_construct(TAG_CTX2);
  dn.add_component(IntSet({1}));
  dn.add_component(IntSet({2}));
  dn.add_component(IntSet({3}));
  Asn1Value out;
  EXPECT_TRUE(log_find_ava(dn, out));
  EXPECT_EQ(out, IntSet({3}));
  EXPECT_FALSE(log_find_ava(Int(7), out));
  EXPECT_EQ(out, Int(7));
}

TEST(RespValueTest, ValuesOldValuesAndCount) {
  RespValue r;
  Oid a("1.2.3");
  Oid b("1.2.4");
  ASSERT_EQ(r.update_value(a, Int(1)), 1);
  Asn1Value v;
  ASSERT_EQ(r.find_old_value(a, v), 1);
  EXPECT_FALSE(v);
  ASSERT_EQ(r.update_value(a, Int(2)), 1);
  ASSERT_EQ(r.find_old_value(a, v), 1);
  EXPECT_EQ(v, Int(1));
  ASSERT_EQ(r.find_value(a, v), 1);
  EXPECT_EQ(v, Int(2));
  EXPECT_EQ(r.find_value(b, v), 0);
  r.create_entry(b, Int(3), Asn1Value());
  EXPECT_EQ(r.remove(b), 1);
  EXPECT_EQ(r.remove(b), 1);
  EXPECT_EQ(r.count(), 2u);
  EXPECT_EQ(r.size(), 1u);
}

// Small values are searched element by element, large ones through an index; both must
// find the newest element of a repeated id and forget every element of a removed one,
// whether the elements live in a reserved block, on their own, or some in each.
TEST(RespValueTest, LookupsAgreeBelowAndAboveTheIndexThresholdAndWithReservedRoom) {
  auto Id = [](int i) { return Oid(("1.5." + std::to_string(i)).c_str()); };
  for (auto [n, reserved] : {std::pair{3, 0}, {60, 0}, {3, 2}, {60, 30}, {60, 70}}) {
    SCOPED_TRACE(std::to_string(n) + " reserved " + std::to_string(reserved));
    RespValue r;
    if (reserved != 0) r.reserve(static_cast<size_t>(reserved));
    for (int i = 0; i < n; ++i) r.create_entry(Id(i), Int(i), Asn1Value());
    r.create_entry(Oid("1.5.1"), Int(100), Asn1Value());
    Asn1Value v;
    ASSERT_EQ(r.find_value(Oid("1.5.1"), v), 1);
    EXPECT_EQ(v, Int(100));
    ASSERT_EQ(r.find_value(Id(n - 1), v), 1);
    EXPECT_EQ(v, Int(n - 1));
    EXPECT_EQ(r.find_value(Id(n), v), 0);
    EXPECT_EQ(r.remove(Oid("1.5.1")), 1);
    EXPECT_EQ(r.find_value(Oid("1.5.1"), v), 0);
    EXPECT_EQ(r.size(), static_cast<size_t>(n - 1));
    ASSERT_EQ(r.update_value(Oid("1.5.2"), Int(7)), 1);
    ASSERT_EQ(r.find_old_value(Oid("1.5.2"), v), 1);
    EXPECT_EQ(v, Int(2));
    ASSERT_EQ(r.update_value(Oid("1.6"), Int(8)), 1);
    ASSERT_EQ(r.find_value(Oid("1.6"), v), 1);
    EXPECT_EQ(v, Int(8));
    EXPECT_EQ(r.count(), static_cast<unsigned long>(n + 2));
  }
}

// A walk reuses one RespValue for its rows: cleared, it must look new (no elements, count
// 0, lookups fail) and take more elements than before, within its room and beyond.
TEST(RespValueTest, ClearedValueIsLikeANewOne) {
  auto Id = [](int i) { return Oid(("1.7." + std::to_string(i)).c_str()); };
  RespValue r;
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    int n = 10 + 20 * round;  // past the index threshold in the last round
    r.clear();
    EXPECT_TRUE(r.empty());
    EXPECT_EQ(r.count(), 0u);
    Asn1Value v;
    EXPECT_EQ(r.find_value(Id(0), v), 0);
    r.reserve(static_cast<size_t>(n - 5));
    for (int i = 0; i < n; ++i) r.adopt_entry(Id(i), Int(round * 100 + i));
    ASSERT_EQ(r.find_value(Id(n - 1), v), 1);
    EXPECT_EQ(v, Int(round * 100 + n - 1));
    ASSERT_EQ(r.find_value(Id(0), v), 1);
    EXPECT_EQ(v, Int(round * 100));
    EXPECT_EQ(r.count(), static_cast<unsigned long>(n));
  }
}

TEST(OarInfoTest, ClearStateAndSeverityShareOneByte) {
  OarInfo o;
  EXPECT_EQ(o.get_table_type(), 1);
  unsigned char state = 1, severity = 5;
  o.set_clear_severity(state, severity);
  EXPECT_EQ(o.get_state_byte(), 0x85);
  unsigned char zero = 0;
  o.set_clear_state(zero);
  EXPECT_EQ(o.get_state_byte(), 0x05);
  unsigned char s = 9, v = 9;
  o.get_clear_severity(s, v);
  EXPECT_EQ(s, 0);
  EXPECT_EQ(v, 5);
  EXPECT_LE(sizeof(OarInfo), 8u);
}

// Entries come from one pool for the whole process and are made and deleted on any
// thread. Each thread below keeps a few thousand entries alive at once, each marked with
// a number of its own, while the others make and delete theirs: no entry is handed out
// twice (a mark would be overwritten), and deleted ones are made again.
TEST(OarInfoTest, EntriesMadeAndDeletedOnManyThreadsStayDistinct) {
  constexpr unsigned long kThreads = 4, kLive = 3000, kRounds = 30;
  std::atomic<bool> intact{true};
  auto work = [&](unsigned long base) {
    std::vector<OarInfo*> live;
    for (unsigned long round = 0; round < kRounds; ++round) {
      for (unsigned long i = 0; i < kLive; ++i) {
        auto* entry = new OarInfo;
        unsigned long mark = base + i;
        entry->set_moiid(mark);
        live.push_back(entry);
      }
      for (unsigned long i = 0; i < kLive; ++i) {
        if (live[i]->get_moiid() != base + i) intact = false;
      }
      for (OarInfo* entry : live) delete entry;
      live.clear();
    }
  };
  std::vector<std::thread> threads;
  for (unsigned long t = 0; t < kThreads; ++t) threads.emplace_back(work, t * 1000000);
  for (std::thread& t : threads) t.join();
  EXPECT_TRUE(intact);
}

}  // namespace
}  // namespace qx::test
