#ifndef QX_BENCH_ALARM_ATTRIBUTES_H_
#define QX_BENCH_ALARM_ATTRIBUTES_H_

// A typical alarm attribute list: a SET of SEQUENCE {attribute identifier,
// value} with fifteen attributes of an alarm report (identifiers, nested
// sequences, names, strings, times). The benchmarks encode, decode and walk
// it; samples/alarm-attributes.ber holds its encoding (a test checks that
// they agree).

#include "platform/value/asn1_value.h"
#include "platform/value/oid.h"

namespace qx::sample {

inline Asn1Value Prim(long v, Asn1Tag t = TAG_INT) {
  Asn1Value a;
  a.encode_int(v, t);
  return a;
}
inline Asn1Value Text(const char* s, Asn1Tag t = TAG_GRAPHSTR) {
  Asn1Value a;
  a.encode_octets(std::string_view(s), t);
  return a;
}
inline Asn1Value Ident(const char* dotted, Asn1Tag t = TAG_OID) {
  Asn1Value a;
  a.encode_oid(Oid(dotted), t);
  return a;
}
inline Asn1Value Flag(bool b, Asn1Tag t = TAG_BOOL) {
  Asn1Value a;
  a.encode_bool(b, t);
  return a;
}
template <class... C>
Asn1Value Group(Asn1Tag t, const C&... comps) {
  Asn1Value a;
  a.start_construct(t);
  (a.add_component(comps), ...);
  return a;
}
inline Asn1Value Attr(const char* id, const Asn1Value& value) {
  return Group(TAG_SEQ, Ident(id), value);
}
// A distinguished name [2] of three relative names.
inline Asn1Value Name(const char* site, const char* shelf, long port) {
  return Group(TAG_CTX2, Group(TAG_SET, Group(TAG_SEQ, Ident("1.3.6.1.4.1.32473.4.1"), Text(site))),
               Group(TAG_SET, Group(TAG_SEQ, Ident("1.3.6.1.4.1.32473.4.2"), Text(shelf))),
               Group(TAG_SET, Group(TAG_SEQ, Ident("1.3.6.1.4.1.32473.4.3"), Prim(port))));
}

inline Asn1Value AlarmAttributes() {
  return Group(
      TAG_SET, Attr("2.9.3.2.7.14", Ident("2.9.3.2.10.2", TAG_CTX6)),    // eventType
      Attr("2.9.3.2.7.13", Text("20261206083015.25Z", TAG_GENTIME)),     // eventTime
      Attr("2.9.3.2.7.60", Ident("1.3.6.1.4.1.32473.3.1.7", TAG_CTX0)),  // managedObjectClass
      Attr("2.9.3.2.7.61", Name("Berlin-Core-1", "shelf-1", 4)),         // managedObjectInstance
      Attr("2.9.3.2.7.16", Prim(48213)),                                 // notificationIdentifier
      Attr("2.9.3.2.7.18", Ident("2.9.3.2.0.0.29")),                     // probableCause
      Attr("2.9.3.2.7.17", Prim(3, TAG_ENUM)),                           // perceivedSeverity
      Attr("2.9.3.2.7.27",                                               // specificProblems
           Group(TAG_SET, Ident("1.3.6.1.4.1.32473.5.12"), Prim(1042))),
      Attr("2.9.3.2.7.11", Flag(false)),        // backedUpStatus
      Attr("2.9.3.2.7.30", Prim(2, TAG_ENUM)),  // trendIndication
      Attr("2.9.3.2.7.29",                      // thresholdInfo
           Group(TAG_SEQ, Ident("1.3.6.1.4.1.32473.2.9"), Prim(97),
                 Text("20261206080000Z", TAG_CTX2))),
      Attr("2.9.3.2.7.12",  // correlatedNotifications
           Group(TAG_SET, Group(TAG_SEQ, Group(TAG_SET, Prim(48190), Prim(48201)),
                                Name("Berlin-Core-1", "shelf-2", 1)))),
      Attr("2.9.3.2.7.19", Group(TAG_SET, Ident("2.9.3.2.0.2.2"))),  // proposedRepairActions
      Attr("2.9.3.2.7.7",                                            // additionalText
           Text("Loss of signal on port 3/1/4, far end unreachable")),
      Attr("2.9.3.2.7.6",  // additionalInformation
           Group(TAG_SET, Group(TAG_SEQ, Ident("1.3.6.1.4.1.32473.6.1"), Flag(true, TAG_CTX1),
                                Group(TAG_CTX2, Text("ticket TT-2026-1187"))))));
}

}  // namespace qx::sample

#endif  // QX_BENCH_ALARM_ATTRIBUTES_H_
