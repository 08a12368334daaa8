#include "infra/tolk_map/tables/attrvalchg.h"

namespace {

using qx::ColumnDef;

// The class's definition attribute: kept in the blob, its formatted text in
// "attrValChangeDefs".
constexpr ATTRIBUTES kDefinition = ATTRIBUTES(0);
constexpr ATTRIBUTES kAttributeIdList = ATTRIBUTES(2);
constexpr auto kColumns = qx::with_common_columns(std::array<ColumnDef, 5>{{
    {"logRecordId", RWDBValue::UnsignedLong, 0, false, ATTR_LOG_RECORD_ID},
    {"attrValChangeDefs", RWDBValue::String, 255, true, kDefinition},
    {"sourceIndicator", RWDBValue::String, 20, true, ATTR_SOURCE_INDICATOR},
    {"attributeIdList_s", RWDBValue::String, 255, true, kAttributeIdList},
    {"blob", RWDBValue::Blob, 33000, true, ATTR_BLOB},
}});

const CodecSpec kCodecs[] = {
    {&attrValChangeDefOid, pop_qxlist, ins_qxlist, "attrValChangeDef", kDefinition},
    {&sourceIndicatorOid, pop_srcind, ins_srcind, "sourceIndicator", ATTR_SOURCE_INDICATOR},
    {&attributeIdListOid, pop_qxlist, ins_qxlist, "attributeIdList", kAttributeIdList},
};

const ReaderSpec kReaders[] = {
    {"attrvalchangedefs", rdr_qxlist, "attrValChangeDefs", &attrValChangeDefOid},
    {"sourceindicator", rdr_srcind, "sourceIndicator", &sourceIndicatorOid},
    {"attributeidlist_s", rdr_qxlist, "attributeIdList_s", &attributeIdListOid},
};

const qx::IndexDef kIndexes[] = {{"attid", "logRecordId"}};

const qx::EventClass kClass = {
    .class_name = "AttrValChgT",
    .type = ATTRVALCHG_TABLE,
    .stem = "AVChR",
    .indexes = kIndexes,
    .synonym_suffix = "avChg",
    .columns = kColumns,
    .codecs = kCodecs,
    .readers = kReaders,
    .messages = {{65, 66}, {67, 68}, {69, 70}},
};

}  // namespace

AttrValChgT::AttrValChgT(LogMapper* owner) : EventLogT(owner, kClass) {}

const qx::EventClass& AttrValChgT::description() { return kClass; }
