#include "infra/tolk_map/tables/zkalarm.h"

#include "platform/value/private_arc.h"

const Oid mosiSeverityOid(QX_PRIVATE_ARC ".2.2.2.8.7.21");
const Oid mosiStateOid(QX_PRIVATE_ARC ".2.2.2.8.7.22");

namespace {

using qx::ColumnDef;

constexpr ATTRIBUTES kMosiSeverity = ATTRIBUTES(40);
constexpr ATTRIBUTES kMosiState = ATTRIBUTES(41);

constexpr auto kColumns =
    qx::concat(qx::kCommonEventColumns, qx::kAlarmKeyColumns,
               qx::x733_columns("specificProblems_s", "proposedRprActions"), qx::kAlarmStateColumns,
               std::array<ColumnDef, 2>{{
                   {"mosiSeverity", RWDBValue::Long, 0, true, kMosiSeverity},
                   {"mosiStateID", RWDBValue::Long, 0, true, kMosiState},
               }},
               qx::kBlobColumn);

// Besides the X.733 attributes, the two integers.
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
    .changed_in_place = qx::kAckClearAttributes,
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
