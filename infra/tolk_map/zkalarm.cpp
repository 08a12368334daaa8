#include "infra/tolk_map/zkalarm.h"

#include "platform/value/private_arc.h"

const Oid mosiSeverityOid(QX_PRIVATE_ARC ".2.2.2.8.7.21");
const Oid mosiStateOid(QX_PRIVATE_ARC ".2.2.2.8.7.22");

namespace {

using qx::ColumnDef;

constexpr ATTRIBUTES kMosiSeverity = ATTRIBUTES(40);
constexpr ATTRIBUTES kMosiState = ATTRIBUTES(41);

constexpr auto kColumns = qx::concat(
    qx::kCommonEventColumns,
    std::array<ColumnDef, 12>{{
        {"logRecordId", RWDBValue::UnsignedLong, 0, false, ATTR_LOG_RECORD_ID},
        {"moi_id", RWDBValue::UnsignedLong, 0, true, ATTR_MOI_ID},
        {"probableCause_s", RWDBValue::String, 255, true, ATTR_PROBABLE_CAUSE},
        {"perceivedSeverity", RWDBValue::String, 14, true, ATTR_PERCEIVED_SEVERITY},
        {"specificProblems_s", RWDBValue::String, 255, true, ATTR_SPECIFIC_PROBLEMS},
        {"backedUpStatus", RWDBValue::String, 13, true, ATTR_BACKED_UP_STATUS},
        {"backUpObject", RWDBValue::String, 255, true, ATTR_BACK_UP_OBJECT},
        {"trendIndication", RWDBValue::String, 11, true, ATTR_TREND_INDICATION},
        {"thresholdInfo_s", RWDBValue::String, 255, true, ATTR_THRESHOLD_INFO},
        {"stateChangeDef_s", RWDBValue::String, 255, true, ATTR_STATE_CHANGE_DEF},
        {"monitoredAttribs", RWDBValue::String, 255, true, ATTR_MONITORED_ATTRIBUTES},
        {"proposedRprActions", RWDBValue::String, 255, true, ATTR_PROPOSED_REPAIR_ACTIONS},
    }},
    qx::kAlarmStateColumns,
    std::array<ColumnDef, 3>{{
        {"mosiSeverity", RWDBValue::Long, 0, true, kMosiSeverity},
        {"mosiStateID", RWDBValue::Long, 0, true, kMosiState},
        {"blob", RWDBValue::Blob, 33000, true, ATTR_BLOB},
    }});

// The X.733 attributes as the alarm table keeps them, and the two integers.
const CodecSpec kCodecs[] = {
    {&mosiSeverityOid, pop_int, ins_int, "mosiSeverity", kMosiSeverity},
    {&mosiStateOid, pop_int, ins_int, "mosiStateID", kMosiState},
};
const ReaderSpec kReaders[] = {
    {"mosiseverity", rdr_int, "mosiSeverity", &mosiSeverityOid},
    {"mosistateid", rdr_int, "mosiStateID", &mosiStateOid},
};

const qx::IndexDef kIndexes[] = {{"zkaid", "logRecordId"}, {"zmoid", "moi_id"}};

const qx::EventClass kEventClass = {
    .class_name = "ZKAlarmT",
    .type = ZKALARM_TABLE,
    .stem = "ZkvCt",
    .indexes = kIndexes,
    .synonym_suffix = "zkvAlm",
    .columns = kColumns,
    .codecs = kCodecs,
    .readers = kReaders,
    .messages = {{88, 89}, {90, 91}, {92, 93}},
    .initial_texts = qx::kAlarmInitialTexts,
};

const qx::AlarmClass kClass = {
    .event = kEventClass,
    .specific_problems_column = "specificProblems_s",
    .lookup_selects_clear_state = false,
    .clear_messages = {94, 95},
    .report_lookup = true,
    .x733 = true,
};

}  // namespace

ZKAlarmT::ZKAlarmT(LogMapper* owner) : AlarmLogT(owner, kClass) {}

const qx::AlarmClass& ZKAlarmT::description() { return kClass; }
