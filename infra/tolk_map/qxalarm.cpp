#include "infra/tolk_map/qxalarm.h"

// The X.733 alarm attributes in columns of their own; the list-valued ones also travel
// in the blob, which keeps them exact. probableCauseOid is a column no attribute fills:
// a new row holds the empty text there.
namespace {

using qx::ColumnDef;

constexpr auto kColumns = qx::concat(
    qx::kCommonEventColumns,
    std::array<ColumnDef, 13>{{
        {"logRecordId", RWDBValue::UnsignedLong, 0, false, ATTR_LOG_RECORD_ID},
        // The managed-object number of the record's cache entry; never read back as an
        // attribute.
        {"moi_id", RWDBValue::UnsignedLong, 0, true, ATTR_MOI_ID},
        {"probableCause_s", RWDBValue::String, 255, true, ATTR_PROBABLE_CAUSE},
        {"probableCauseOid", RWDBValue::String, 255, true, ATTR_PROBABLE_CAUSE_OID},
        {"perceivedSeverity", RWDBValue::String, 14, true, ATTR_PERCEIVED_SEVERITY},
        {"specificProblems", RWDBValue::String, 255, true, ATTR_SPECIFIC_PROBLEMS},
        {"backedUpStatus", RWDBValue::String, 13, true, ATTR_BACKED_UP_STATUS},
        {"backUpObject", RWDBValue::String, 255, true, ATTR_BACK_UP_OBJECT},
        {"trendIndication", RWDBValue::String, 11, true, ATTR_TREND_INDICATION},
        {"thresholdInfo_s", RWDBValue::String, 255, true, ATTR_THRESHOLD_INFO},
        {"stateChangeDef_s", RWDBValue::String, 255, true, ATTR_STATE_CHANGE_DEF},
        {"monitoredAttribs", RWDBValue::String, 255, true, ATTR_MONITORED_ATTRIBUTES},
        {"proposedRprActs", RWDBValue::String, 255, true, ATTR_PROPOSED_REPAIR_ACTIONS},
    }},
    qx::kAlarmStateColumns,
    std::array<ColumnDef, 1>{{{"blob", RWDBValue::Blob, 33000, true, ATTR_BLOB}}});

constexpr auto kInitialTexts = qx::concat(
    qx::kAlarmInitialTexts, std::array<qx::InitialText, 1>{{{ATTR_PROBABLE_CAUSE_OID, ""}}});

const qx::IndexDef kIndexes[] = {{"elaid", "logRecordId"}, {"qxoid", "moi_id"}};

const qx::EventClass kEventClass = {
    .class_name = "QxAlarmT",
    .type = QXALARM_TABLE,
    .stem = "qxAlm",
    .indexes = kIndexes,
    .synonym_suffix = "qxAlm",
    .columns = kColumns,
    .codecs = {},
    .readers = {},
    .messages = {{72, 73}, {74, 75}, {76, 77}},
    .initial_texts = kInitialTexts,
    .schema_failure_text = "QxAlarmT::ERROR: schema fetch failed",
};

const qx::AlarmClass kClass = {
    .event = kEventClass,
    .specific_problems_column = "specificProblems",
    .lookup_selects_clear_state = false,
    .clear_messages = {78, 79},
    .x733 = true,
};

}  // namespace

QxAlarmT::QxAlarmT(LogMapper* owner) : AlarmLogT(owner, kClass) {}

const qx::AlarmClass& QxAlarmT::description() { return kClass; }
