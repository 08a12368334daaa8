#include "infra/tolk_map/tables/statechg.h"

namespace {

using qx::ColumnDef;

// The class's definition attribute: kept in the blob, its formatted text in
// "stateChangeDef_s".
constexpr ATTRIBUTES kDefinition = ATTRIBUTES(11);
constexpr ATTRIBUTES kAttributeIdList = ATTRIBUTES(2);
constexpr auto kColumns = qx::with_common_columns(std::array<ColumnDef, 5>{{
    {"logRecordId", RWDBValue::UnsignedLong, 0, false, ATTR_LOG_RECORD_ID},
    {"stateChangeDef_s", RWDBValue::String, 255, true, kDefinition},
    {"sourceIndicator", RWDBValue::String, 20, true, ATTR_SOURCE_INDICATOR},
    {"attributeIdList_s", RWDBValue::String, 255, true, kAttributeIdList},
    {"blob", RWDBValue::Blob, 33000, true, ATTR_BLOB},
}});

const CodecSpec kCodecs[] = {
    {&stateChangeDefOid, pop_qxlist, ins_qxlist, "stateChangeDef", kDefinition},
    {&sourceIndicatorOid, pop_srcind, ins_srcind, "sourceIndicator", ATTR_SOURCE_INDICATOR},
    {&attributeIdListOid, pop_qxlist, ins_qxlist, "attributeIdList", kAttributeIdList},
};

const ReaderSpec kReaders[] = {
    {"statechangedef_s", rdr_qxlist, "stateChangeDef_s", &stateChangeDefOid},
    {"sourceindicator", rdr_srcind, "sourceIndicator", &sourceIndicatorOid},
    {"attributeidlist_s", rdr_qxlist, "attributeIdList_s", &attributeIdListOid},
};

const qx::IndexDef kIndexes[] = {{"stcid", "logRecordId"}};

const qx::EventClass kClass = {
    .class_name = "StateChgT",
    .type = STATECHG_TABLE,
    .stem = "stChg",
    .indexes = kIndexes,
    .synonym_suffix = "stChg",
    .columns = kColumns,
    .codecs = kCodecs,
    .readers = kReaders,
    .messages = {{122, 123}, {124, 125}, {126, 127}},
    .single_row_read = true,
};

}  // namespace

StateChgT::StateChgT(LogMapper* owner) : EventLogT(owner, kClass) {}

const qx::EventClass& StateChgT::description() { return kClass; }
