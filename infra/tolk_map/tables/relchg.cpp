#include "infra/tolk_map/tables/relchg.h"

namespace {

using qx::ColumnDef;

// The class's definition attribute: kept in the blob, its formatted text in
// "relationChangeDefs".
constexpr ATTRIBUTES kDefinition = ATTRIBUTES(43);
constexpr ATTRIBUTES kAttributeIdList = ATTRIBUTES(2);
constexpr auto kColumns = qx::with_common_columns(std::array<ColumnDef, 5>{{
    {"logRecordId", RWDBValue::UnsignedLong, 0, false, ATTR_LOG_RECORD_ID},
    {"relationChangeDefs", RWDBValue::String, 255, true, kDefinition},
    {"sourceIndicator", RWDBValue::String, 20, true, ATTR_SOURCE_INDICATOR},
    {"attributeIdList_s", RWDBValue::String, 255, true, kAttributeIdList},
    {"blob", RWDBValue::Blob, 33000, true, ATTR_BLOB},
}});

const CodecSpec kCodecs[] = {
    {&relChangeDefOid, pop_qxlist, ins_qxlist, "relationChangeDef", kDefinition},
    {&sourceIndicatorOid, pop_srcind, ins_srcind, "sourceIndicator", ATTR_SOURCE_INDICATOR},
    {&attributeIdListOid, pop_qxlist, ins_qxlist, "attributeIdList", kAttributeIdList},
};

const ReaderSpec kReaders[] = {
    {"relationchangedefs", rdr_qxlist, "relationChangeDefs", &relChangeDefOid},
    {"sourceindicator", rdr_srcind, "sourceIndicator", &sourceIndicatorOid},
    {"attributeidlist_s", rdr_qxlist, "attributeIdList_s", &attributeIdListOid},
};

const qx::IndexDef kIndexes[] = {{"relid", "logRecordId"}};

const qx::EventClass kClass = {
    .class_name = "RelChgT",
    .type = RELCHG_TABLE,
    .stem = "relCh",
    .indexes = kIndexes,
    .synonym_suffix = "relChg",
    .columns = kColumns,
    .codecs = kCodecs,
    .readers = kReaders,
    .messages = {{108, 109}, {110, 111}, {112, 113}},
};

}  // namespace

RelChgT::RelChgT(LogMapper* owner) : EventLogT(owner, kClass) {}

const qx::EventClass& RelChgT::description() { return kClass; }
