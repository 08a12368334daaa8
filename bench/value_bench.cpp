// The value library on the write path: encode, decode and walk a typical
// alarm attribute list (fifteen attributes; bench/alarm_attributes.h).

#include <benchmark/benchmark.h>

#include <string>

#include "bench/alarm_attributes.h"
#include "platform/value/exception.h"
#include "platform/value/generalized_time.h"

namespace {

// Building the list from scratch: every value encoded and added.
void BM_EncodeAlarmAttributes(benchmark::State& state) {
  for (auto _ : state) {
    Asn1Value v = qx::sample::AlarmAttributes();
    benchmark::DoNotOptimize(v.encoding());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EncodeAlarmAttributes);

// Building when the identifiers are made once (as the mapper keeps them).
void BM_EncodeWithKnownIdentifiers(benchmark::State& state) {
  const Oid ids[] = {Oid("2.9.3.2.7.14"), Oid("2.9.3.2.7.13"), Oid("2.9.3.2.7.16"),
                     Oid("2.9.3.2.7.17"), Oid("2.9.3.2.7.7")};
  for (auto _ : state) {
    Asn1Value set;
    set.start_construct(TAG_SET);
    for (int round = 0; round < 3; ++round) {
      for (const Oid& id : ids) {
        Asn1Value attr, idv, value;
        attr.start_construct(TAG_SEQ);
        idv.encode_oid(id);
        value.encode_octets(std::string_view("a typical text of some length"), TAG_GRAPHSTR);
        attr.add_component(idv);
        attr.add_component(value);
        set.add_component(attr);
      }
    }
    benchmark::DoNotOptimize(set.encoding());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EncodeWithKnownIdentifiers);

// From a stored blob: validation and a copy of the octets.
void BM_DecodeAlarmAttributes(benchmark::State& state) {
  DataUnit blob = qx::sample::AlarmAttributes().to_data_unit();
  for (auto _ : state) {
    Asn1Value v(blob);
    benchmark::DoNotOptimize(v.encoding());
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(blob.size()));
}
BENCHMARK(BM_DecodeAlarmAttributes);

// The same list in indefinite-length form: the re-encoding path.
void BM_DecodeIndefinite(benchmark::State& state) {
  Asn1Value list = qx::sample::AlarmAttributes();
  std::string in = "\x31\x80";
  for (const Asn1Value& attr : list.components()) {
    in += "\x30\x80";
    in += attr.contents();
    in += std::string("\0\0", 2);
  }
  in += std::string("\0\0", 2);
  for (auto _ : state) {
    Asn1Value v;
    Asn1Value::decode(in.data(), in.size(), v);
    benchmark::DoNotOptimize(v.encoding());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeIndefinite);

// What a record table does per record: walk the list, take each attribute's
// identifier and decode its value by type.
void Walk(const Asn1Value& v, long& sum) {
  for (const Asn1Value& c : v.components()) {
    if (c.constructed()) {
      Walk(c, sum);
      continue;
    }
    switch (c.tag().number) {
      case 2:
      case 10: {
        long n;
        if (c.decode_int(n)) sum += n;
        break;
      }
      case 6: {
        Oid oid;
        if (c.decode_oid(oid)) sum += static_cast<long>(oid.contents().size());
        break;
      }
      default:
        sum += static_cast<long>(c.contents().size());
    }
  }
}

void BM_WalkAlarmAttributes(benchmark::State& state) {
  Asn1Value list = qx::sample::AlarmAttributes();
  for (auto _ : state) {
    long sum = 0;
    Walk(list, sum);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WalkAlarmAttributes);

// The cursor interface the record tables use, with attribute lookups by
// identifier (no decoding of the values).
void BM_CursorWalk(benchmark::State& state) {
  Asn1Value list = qx::sample::AlarmAttributes();
  const Oid severity("2.9.3.2.7.17");
  for (auto _ : state) {
    long found = 0;
    for (Asn1Value attr = list.first_component(); attr; attr = list.next_component()) {
      Asn1Value id = attr.first_component();
      std::string_view c = id.contents();
      if (c == severity.contents().view()) ++found;
    }
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CursorWalk);

void BM_GeneralizedTimeParse(benchmark::State& state) {
  Asn1Value t = GeneralizedTime(TimeStamp(1796548215, 250), GeneralizedTime::UTC).to_asn1();
  for (auto _ : state) {
    GeneralizedTime gt(t);
    benchmark::DoNotOptimize(gt.to_time_stamp().seconds());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GeneralizedTimeParse);

}  // namespace

BENCHMARK_MAIN();
