#include "infra/tolk_map/tables/qxalarm.h"

// The X.733 alarm attributes in columns of their own; the list-valued ones also travel
// in the blob, which keeps them exact. probableCauseOid is a column no attribute fills:
// a new row holds the empty text there.
namespace {

using qx::ColumnDef;

constexpr auto kColumns =
    qx::concat(qx::kCommonEventColumns, qx::kAlarmKeyColumns,
               std::array<ColumnDef, 1>{{
                   {"probableCauseOid", RWDBValue::String, 255, true, ATTR_PROBABLE_CAUSE_OID},
               }},
               qx::x733_columns("specificProblems", "proposedRprActs"), qx::kAlarmStateColumns,
               qx::kBlobColumn);

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
    .changed_in_place = qx::kAckClearAttributes,
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
