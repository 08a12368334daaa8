#include "infra/tolk_map/log_tables.h"

#include "infra/tolk_map/oids.h"

const char* const logid_col = "LogId";
const char* const qxlogid_col = "QxLogId";
const char* const logidtype_col = "LogIdType";
const char* const logidasn_col = "logidasn";
const char* const qxlogname_col = "qxlogName";
const char* const qxlogrectype_col = "qxlogrecordtype";
const char* const qxlog_qxlogid_col = "qxlogid";

namespace {

using qx::ColumnDef;

const ColumnDef kLogColumns[] = {
    {"LogId", RWDBValue::String, 254, false, ATTR_LOG_ID},
    {"QxLogId", RWDBValue::UnsignedLong, 0, true, ATTR_QXLOG_ID},
    {"LogIdType", RWDBValue::String, 8, true, ATTR_LOG_ID_TYPE},
    {"lastLogRecId", RWDBValue::UnsignedLong, 0, true, ATTR_LAST_LOG_REC_ID},
    {"administrativeSt", RWDBValue::String, 13, true, ATTR_ADMIN_STATE},
    {"operationalSt", RWDBValue::String, 10, true, ATTR_OP_STATE},
    // Wide enough for the names joined by ", " that the availability status is
    // stored as (the set of all nine needs 99).
    {"availabilitySt", RWDBValue::String, 128, true, ATTR_AV_STATUS},
    {"logFullAction", RWDBValue::String, 128, true, ATTR_LOG_FULL},
    {"maxLogSize", RWDBValue::UnsignedLong, 0, true, ATTR_MAX_LOG_SIZE},
    {"currentLogSize", RWDBValue::UnsignedLong, 0, true, ATTR_CURRENT_LOG_SIZE},
    {"numberOfRecords", RWDBValue::UnsignedLong, 0, true, ATTR_NUMBER_OF_RECORDS},
    {"startTime", RWDBValue::DateTime, 0, true, ATTR_START_TIME},
    {"stopTime", RWDBValue::DateTime, 0, true, ATTR_STOP_TIME},
    {"intervalsOfDays", RWDBValue::String, 255, true, ATTR_INTERVALS_OF_DAY},
    {"weekMask_s", RWDBValue::String, 255, true, ATTR_WEEK_MASK},
    {"externalScheduler", RWDBValue::String, 255, true, ATTR_EXTERNAL_SCHEDULER},
    {"discrimConstruct", RWDBValue::Blob, 43000, true, ATTR_DISCRIM_CONSTRUCT},
    {"capAlarmThreshold", RWDBValue::String, 255, true, ATTR_CAP_ALARM_THRESHOLD},
    {"logidasn", RWDBValue::Blob, 43000, true, ATTR_LOG_ID_ASN},
};

const ColumnDef kQxLogColumns[] = {
    {"qxlogName", RWDBValue::String, 254, true, ATTR_QXLOG_NAME},
    {"qxlogrecordtype", RWDBValue::String, 255, true, ATTR_QXLOG_RECORD_TYPE},
    {"qxlogid", RWDBValue::UnsignedLong, 0, false, ATTR_QXLOG_ID},
};

// The update codecs are registered under the real column names, so that every
// attribute can be changed; the list-valued schedule attributes keep their formatted
// text in their columns (the log table has no blob for them).
const CodecSpec kLogCodecs[] = {
    {&adminStateOid, pop_adminstate, ins_adminstate, "administrativeSt", ATTR_ADMIN_STATE},
    {&opstateOid, pop_opstate, ins_opstate, "operationalSt", ATTR_OP_STATE},
    {&logfullOid, pop_logfull, ins_logfull, "logFullAction", ATTR_LOG_FULL},
    {&avstatusOid, pop_avstatus, ins_avstatus, "availabilitySt", ATTR_AV_STATUS},
    {&starttmOid, pop_time, ins_time, "startTime", ATTR_START_TIME},
    {&stoptmOid, pop_time, ins_time, "stopTime", ATTR_STOP_TIME},
    {&maxlogszOid, pop_unsigned, ins_unsigned, "maxLogSize", ATTR_MAX_LOG_SIZE},
    {&currlogszOid, pop_unsigned, ins_unsigned, "currentLogSize", ATTR_CURRENT_LOG_SIZE},
    {&numrecsOid, pop_unsigned, ins_unsigned, "numberOfRecords", ATTR_NUMBER_OF_RECORDS},
    {&dayintrvalsOid, pop_qxlist, ins_qxlist, "intervalsOfDays", ATTR_INTERVALS_OF_DAY},
    {&weekmaskOid, pop_qxlist, ins_qxlist, "weekMask_s", ATTR_WEEK_MASK},
    {&externschedOid, pop_formatedVal, ins_formatedVal, "externalScheduler",
     ATTR_EXTERNAL_SCHEDULER},
    {&discrimOid, pop_blob, ins_blob, "discrimConstruct", ATTR_DISCRIM_CONSTRUCT},
    {&capacityAlarmThresholdOid, pop_convert, ins_convert, "capAlarmThreshold",
     ATTR_CAP_ALARM_THRESHOLD},
};

const ReaderSpec kLogReaders[] = {
    {"administrativest", rdr_adminstate, "administrativeSt", &adminStateOid},
    {"operationalst", rdr_opstate, "operationalSt", &opstateOid},
    {"logfullaction", rdr_logfull, "logFullAction", &logfullOid},
    {"availabilityst", rdr_avstatus, "availabilitySt", &avstatusOid},
    {"starttime", rdr_time, "startTime", &starttmOid},
    {"stoptime", rdr_time, "stopTime", &stoptmOid},
    {"maxlogsize", rdr_unsigned, "maxLogSize", &maxlogszOid},
    {"currentlogsize", rdr_unsigned, "currentLogSize", &currlogszOid},
    {"numberofrecords", rdr_unsigned, "numberOfRecords", &numrecsOid},
    {"intervalsofdays", rdr_formatedVal, "intervalsOfDays", &dayintrvalsOid},
    {"weekmask_s", rdr_formatedVal, "weekMask_s", &weekmaskOid},
    {"externalscheduler", rdr_formatedVal, "externalScheduler", &externschedOid},
    {"discrimconstruct", rdr_blob, "discrimConstruct", &discrimOid},
    {"capalarmthreshold", rdr_convert, "capAlarmThreshold", &capacityAlarmThresholdOid},
};

const char* const kStems[NUM_TABLE_TYPES] = {"qxAlm", "ObCre", "ObDel", "relCh", "AVChR",
                                             "secur", "stChg", "qxInt", "ZkvCt", "_blob"};
const char* const kSynonyms[NUM_TABLE_TYPES] = {"qxAlm",  "objcrt", "objdlt", "relChg", "avChg",
                                                "secAlm", "stChg",  "intAlm", "zkvAlm", "blob"};

}  // namespace

LogMapperImpl::LogMapperImpl() : RowImage(columns()) {}
std::span<const qx::ColumnDef> LogMapperImpl::columns() { return kLogColumns; }

QxLogImpl::QxLogImpl() : RowImage(columns()) {}
std::span<const qx::ColumnDef> QxLogImpl::columns() { return kQxLogColumns; }

namespace qx {

std::span<const CodecSpec> log_codec_specs() { return kLogCodecs; }
std::span<const ReaderSpec> log_reader_specs() { return kLogReaders; }

const char* table_stem(TABLE_TYPE type) { return kStems[type]; }
const char* synonym_suffix(TABLE_TYPE type) { return kSynonyms[type]; }

std::string record_table_name(const std::string& prefix, TABLE_TYPE type) {
  return prefix + kStems[type];
}

std::string companion_table_name(const std::string& prefix, TABLE_TYPE type) {
  return type == BLOB_TABLE ? prefix + "_bAlm" : std::string();
}

std::string record_synonym_name(const std::string& log_name, TABLE_TYPE type) {
  return log_name + "_" + kSynonyms[type];
}

const char* const kLogNumberTable = "QxLogNumber";

}  // namespace qx
