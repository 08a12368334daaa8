// The value notation on the values the alarm tables print for every record:
// a managed object instance (a distinguished name of three relative names),
// a probable cause and specific problems. Formatting runs as the mapper runs
// it (format_value into its work buffer; oi2fdn for the instance), parsing
// as reading a column back runs it (Morf).

#include <benchmark/benchmark.h>

#include <string>

#include "platform/value/asn1_type.h"
#include "platform/value/morf.h"
#include "platform/value/oi2fdn.h"
#include "platform/value/oid_name_registry.h"
#include "platform/value/value_notation.h"

namespace {

struct Sample {
  const char* attribute;
  const char* text;
};

const Sample kInstance{"managedObjectInstance",
                       "distinguishedName:/systemId=\"ne-17\"/logId=\"alarms\"/"
                       "discriminatorId=42"};
const Sample kProbableCause{"probableCause", "globalValue:powerProblem"};
const Sample kSpecificProblems{"specificProblems", "{oi:repairActionRequired, int:1204, int:7}"};

Asn1Value parse(const Sample& s) {
  Oid attr;
  OidNameRegistry::find_oid_by_name(s.attribute, attr);
  Asn1Value v;
  parse_attribute(attr, s.text, v);
  return v;
}

void Format(benchmark::State& state, const Sample& s) {
  Oid attr;
  OidNameRegistry::find_oid_by_name(s.attribute, attr);
  Asn1Value key;
  key.encode_oid(attr);
  const Asn1Type* type =
      Asn1Type::lookup_type(DataUnit("attributeValue"), DataUnit("attributeId"), key);
  Asn1Value v = parse(s);
  static char buffer[65536];
  for (auto _ : state) {
    char* p = buffer;
    type->format_value(v, p, 65535, 0, 0, DataUnit(), 19);
    benchmark::DoNotOptimize(p);
  }
}

void Parse(benchmark::State& state, const Sample& s) {
  Morf syntax(s.attribute, Platform::def_platform);
  std::string text = format_attribute(syntax.get_syntax().attribute(), parse(s));
  DataUnit unit(text);
  for (auto _ : state) {
    Morf m(syntax.get_syntax(), unit);
    benchmark::DoNotOptimize(m.valid());
  }
}

void BM_FormatInstanceFdn(benchmark::State& state) {
  Asn1Value oi = parse(kInstance);
  for (auto _ : state) benchmark::DoNotOptimize(oi2fdn(oi));
}

void BM_ParseInstanceFdn(benchmark::State& state) {
  std::string text = oi2fdn(parse(kInstance));
  for (auto _ : state) {
    Asn1Value out;
    benchmark::DoNotOptimize(fdn2oi(text, out));
  }
}

void BM_FormatInstance(benchmark::State& state) { Format(state, kInstance); }
void BM_ParseInstance(benchmark::State& state) { Parse(state, kInstance); }
void BM_FormatProbableCause(benchmark::State& state) { Format(state, kProbableCause); }
void BM_ParseProbableCause(benchmark::State& state) { Parse(state, kProbableCause); }
void BM_FormatSpecificProblems(benchmark::State& state) { Format(state, kSpecificProblems); }
void BM_ParseSpecificProblems(benchmark::State& state) { Parse(state, kSpecificProblems); }

// The event type's read-back: the bare name left after "globalForm:".
void BM_FindOidByName(benchmark::State& state) {
  for (auto _ : state) {
    Oid oid;
    benchmark::DoNotOptimize(OidNameRegistry::find_oid_by_name("communicationsAlarm", oid));
  }
}

BENCHMARK(BM_FormatInstanceFdn);
BENCHMARK(BM_ParseInstanceFdn);
BENCHMARK(BM_FormatInstance);
BENCHMARK(BM_ParseInstance);
BENCHMARK(BM_FormatProbableCause);
BENCHMARK(BM_ParseProbableCause);
BENCHMARK(BM_FormatSpecificProblems);
BENCHMARK(BM_ParseSpecificProblems);
BENCHMARK(BM_FindOidByName);

}  // namespace

BENCHMARK_MAIN();
