#include "infra/tolk_map/tables/secalm.h"

// The record's managed-object number goes into moi_id from the OarInfo given to
// WriteToDB (0 without one); the second index serves lookups by managed object.
namespace {

using qx::ColumnDef;

constexpr ATTRIBUTES kCauses = ATTRIBUTES(44);
constexpr ATTRIBUTES kSeverity = ATTRIBUTES(45);
constexpr ATTRIBUTES kDetectors = ATTRIBUTES(46);
constexpr ATTRIBUTES kServiceUser = ATTRIBUTES(47);
constexpr ATTRIBUTES kServiceProvider = ATTRIBUTES(48);
constexpr auto kColumns = qx::with_common_columns(std::array<ColumnDef, 8>{{
    {"logRecordId", RWDBValue::UnsignedLong, 0, false, ATTR_LOG_RECORD_ID},
    // The managed-object number of the record's cache entry; never read back as an
    // attribute.
    {"moi_id", RWDBValue::UnsignedLong, 0, true, ATTR_MOI_ID},
    {"securityAlmCauses", RWDBValue::String, 255, true, kCauses},
    {"securityAlmSeverty", RWDBValue::String, 14, true, kSeverity},
    {"securityAlmDtectrs", RWDBValue::String, 255, true, kDetectors},
    {"serviceUser_s", RWDBValue::String, 255, true, kServiceUser},
    {"serviceProvider_s", RWDBValue::String, 255, true, kServiceProvider},
    {"blob", RWDBValue::Blob, 33000, true, ATTR_BLOB},
}});

const CodecSpec kCodecs[] = {
    {&securityAlarmCauseOid, pop_qxlist, ins_qxlist, "securityAlmCauses", kCauses},
    {&securityAlarmSeverityOid, pop_perceivedSeverity, ins_perceivedSeverity, "securityAlmSeverty",
     kSeverity},
    {&securityAlarmDetectorOid, pop_qxlist, ins_qxlist, "securityAlmDtectrs", kDetectors},
    {&serviceUserOid, pop_qxlist, ins_qxlist, "serviceUser", kServiceUser},
    {&serviceProviderOid, pop_qxlist, ins_qxlist, "serviceProvider", kServiceProvider},
};

const ReaderSpec kReaders[] = {
    {"securityalmcauses", rdr_qxlist, "securityAlmCauses", &securityAlarmCauseOid},
    {"securityalmseverty", rdr_perceivedSeverity, "securityAlmSeverty", &securityAlarmSeverityOid},
    {"securityalmdtectrs", rdr_qxlist, "securityAlmDtectrs", &securityAlarmDetectorOid},
    {"serviceuser_s", rdr_qxlist, "serviceUser_s", &serviceUserOid},
    {"serviceprovider_s", rdr_qxlist, "serviceProvider_s", &serviceProviderOid},
};

const qx::IndexDef kIndexes[] = {{"secid", "logRecordId"}, {"smoid", "moi_id"}};

const qx::EventClass kClass = {
    .class_name = "SecAlmT",
    .type = SECALM_TABLE,
    .stem = "secur",
    .indexes = kIndexes,
    .synonym_suffix = "secAlm",
    .columns = kColumns,
    .codecs = kCodecs,
    .readers = kReaders,
    .messages = {{114, 115}, {116, 117}, {118, 119}},
};

}  // namespace

SecAlmT::SecAlmT(LogMapper* owner) : EventLogT(owner, kClass) {}

const qx::EventClass& SecAlmT::description() { return kClass; }
