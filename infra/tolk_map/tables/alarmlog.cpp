#include "infra/tolk_map/tables/alarmlog.h"

#include <algorithm>
#include <iostream>
#include <vector>

#include "infra/tolk_map/tables/alarm_history.h"
#include "infra/tolk_map/oids.h"
#include "infra/tolk_map/trace.h"
#include "infra/tolk_map/util.h"
#include "platform/db/rwdb_connection.h"
#include "platform/db/rwdb_database.h"
#include "platform/db/rwdb_reader.h"
#include "platform/db/rwdb_result.h"
#include "platform/db/rwdb_table.h"
#include "platform/value/exception.h"
#include "platform/value/oid_name_registry.h"

const Oid probableCauseOid("2.9.3.2.7.18");
const Oid perceivedSeverityOid("2.9.3.2.7.17");
const Oid specificProblemsOid("2.9.3.2.7.27");
const Oid backedUpStatusOid("2.9.3.2.7.11");
const Oid backUpObjectOid("2.9.3.2.7.41");
const Oid trendIndicationOid("2.9.3.2.7.30");
const Oid thresholdInfoOid("2.9.3.2.7.29");
const Oid monitoredAttributesOid("2.9.3.2.7.15");
const Oid proposedRepairActionsOid("2.9.3.2.7.19");

namespace qx {
namespace {

const CodecSpec kStateCodecs[] = {
    {&ackStateOid, pop_ackState, ins_ackState, "ackState", ATTR_ACK_STATE},
    {&ackTimeOid, pop_time, ins_time, "ackTime", ATTR_ACK_TIME},
    {&ackOperatorOid, pop_text, ins_text, "ackOperator", ATTR_ACK_OPERATOR},
    {&ackTextOid, pop_text, ins_text, "ackText", ATTR_ACK_TEXT},
    {&clearStateOid, pop_clearState, ins_clearState, "clearState", ATTR_CLEAR_STATE},
    {&clearTimeOid, pop_time, ins_time, "clearTime", ATTR_CLEAR_TIME},
    {&clearOperatorOid, pop_text, ins_text, "clearOperator", ATTR_CLEAR_OPERATOR},
    {&clearTextOid, pop_text, ins_text, "clearText", ATTR_CLEAR_TEXT},
    {&displayStateOid, pop_displayState, ins_displayState, "displayState", ATTR_DISPLAY_STATE},
    {&displayTimeOid, pop_time, ins_time, "displayTime", ATTR_DISPLAY_TIME},
    {&displayOperatorOid, pop_text, ins_text, "displayOperator", ATTR_DISPLAY_OPERATOR},
    {&displayTextOid, pop_text, ins_text, "displayText", ATTR_DISPLAY_TEXT},
};

// The times read back as [0] time or [1] NULL (none). The operators and comments are
// GraphicStrings, the type the platform gives them, so that they read back as written.
const ReaderSpec kStateReaders[] = {
    {"ackstate", rdr_ackState, "ackState", &ackStateOid},
    {"acktime", rdr_qx_time, "ackTime", &ackTimeOid},
    {"ackoperator", rdr_additionaltext, "ackOperator", &ackOperatorOid},
    {"acktext", rdr_additionaltext, "ackText", &ackTextOid},
    {"clearstate", rdr_clearState, "clearState", &clearStateOid},
    {"cleartime", rdr_qx_time, "clearTime", &clearTimeOid},
    {"clearoperator", rdr_additionaltext, "clearOperator", &clearOperatorOid},
    {"cleartext", rdr_additionaltext, "clearText", &clearTextOid},
    {"displaystate", rdr_displayState, "displayState", &displayStateOid},
    {"displaytime", rdr_qx_time, "displayTime", &displayTimeOid},
    {"displayoperator", rdr_additionaltext, "displayOperator", &displayOperatorOid},
    {"displaytext", rdr_additionaltext, "displayText", &displayTextOid},
};

// The X.733 attributes. The list-valued ones travel in the blob: their column names
// only name them, and their text columns keep the formatted text written with the
// record.
const CodecSpec kX733Codecs[] = {
    {&probableCauseOid, pop_qxlist, ins_qxlist, "probableCause", ATTR_PROBABLE_CAUSE},
    {&perceivedSeverityOid, pop_perceivedSeverity, ins_perceivedSeverity, "perceivedSeverity",
     ATTR_PERCEIVED_SEVERITY},
    {&specificProblemsOid, pop_qxlist, ins_qxlist, "specificProblems", ATTR_SPECIFIC_PROBLEMS},
    {&backedUpStatusOid, pop_backedUpStatus, ins_backedUpStatus, "backedUpStatus",
     ATTR_BACKED_UP_STATUS},
    {&backUpObjectOid, pop_formatedVal, ins_formatedVal, "backUpObject", ATTR_BACK_UP_OBJECT},
    {&trendIndicationOid, pop_trendIndication, ins_trendIndication, "trendIndication",
     ATTR_TREND_INDICATION},
    {&thresholdInfoOid, pop_qxlist, ins_qxlist, "thresholdInfo", ATTR_THRESHOLD_INFO},
    {&stateChangeDefOid, pop_qxlist, ins_qxlist, "stateChangeDef", ATTR_STATE_CHANGE_DEF},
    {&monitoredAttributesOid, pop_qxlist, ins_qxlist, "monitoredAttribs",
     ATTR_MONITORED_ATTRIBUTES},
    {&proposedRepairActionsOid, pop_qxlist, ins_qxlist, "proposedRprActs",
     ATTR_PROPOSED_REPAIR_ACTIONS},
};

const ReaderSpec kX733Readers[] = {
    {"probablecause_s", rdr_qxlist, "probableCause_s", &probableCauseOid},
    {"perceivedseverity", rdr_perceivedSeverity, "perceivedSeverity", &perceivedSeverityOid},
    {"specificproblems_s", rdr_qxlist, "specificProblems_s", &specificProblemsOid},
    {"backedupstatus", rdr_backedUpStatus, "backedUpStatus", &backedUpStatusOid},
    {"backupobject", rdr_formatedVal, "backUpObject", &backUpObjectOid},
    {"trendindication", rdr_trendIndication, "trendIndication", &trendIndicationOid},
    {"thresholdinfo_s", rdr_qxlist, "thresholdInfo_s", &thresholdInfoOid},
    {"statechangedef_s", rdr_qxlist, "stateChangeDef_s", &stateChangeDefOid},
    {"monitoredattribs", rdr_qxlist, "monitoredAttribs", &monitoredAttributesOid},
    {"proposedrpractions", rdr_qxlist, "proposedRprActions", &proposedRepairActionsOid},
};

}  // namespace

std::span<const CodecSpec> x733_alarm_codecs() { return kX733Codecs; }
std::span<const ReaderSpec> x733_alarm_readers() { return kX733Readers; }
std::span<const CodecSpec> alarm_state_codecs() { return kStateCodecs; }
std::span<const ReaderSpec> alarm_state_readers() { return kStateReaders; }

}  // namespace qx

// ---- The images.

void QxAckImpl::set_defvals() {
  logRecordId = 0;
  ackState = "";
  ackTime = invalid_rw_db_date_time;
  ackOperator = "";
  ackText = "";
}

void* QxAckImpl::myAckColumn(ATTRIBUTES attr) {
  switch (attr) {
    case ATTR_LOG_RECORD_ID:
      return &logRecordId;
    case ATTR_ACK_STATE:
      return &ackState;
    case ATTR_ACK_TIME:
      return &ackTime;
    case ATTR_ACK_OPERATOR:
      return &ackOperator;
    case ATTR_ACK_TEXT:
      return &ackText;
    default:
      return nullptr;
  }
}

void QxClearImpl::set_defvals() {
  logRecordId = 0;
  moi_id = 0;
  eventName = "";
  probableCause = "%";
  specificProblems = "";
  clearState = uncleared_state;
  clearTime = invalid_rw_db_date_time;
  clearOperator = "";
  clearText = "";
}

void* QxClearImpl::myClearColumn(ATTRIBUTES attr) {
  switch (attr) {
    case ATTR_LOG_RECORD_ID:
      return &logRecordId;
    case ATTR_MOI_ID:
      return &moi_id;
    case ATTR_EVENT_NAME:
      return &eventName;
    case ATTR_PROBABLE_CAUSE:
      return &probableCause;
    case ATTR_SPECIFIC_PROBLEMS:
      return has_specific_problems_ ? &specificProblems : nullptr;
    case ATTR_CLEAR_STATE:
      return &clearState;
    case ATTR_CLEAR_TIME:
      return &clearTime;
    case ATTR_CLEAR_OPERATOR:
      return &clearOperator;
    case ATTR_CLEAR_TEXT:
      return &clearText;
    default:
      return nullptr;
  }
}

void QxOarImpl::set_defvals() {
  moi_id = 0;
  specificProblems = "";
  clearState = uncleared_state;
  eventName = "";
  probableCause = "%";
  perceivedSeverity = "";
  logRecordId = 0;
}

void* QxOarImpl::myOarColumn(ATTRIBUTES attr) {
  switch (attr) {
    case ATTR_MOI_ID:
      return &moi_id;
    case ATTR_SPECIFIC_PROBLEMS:
      return has_specific_problems_ ? &specificProblems : nullptr;
    case ATTR_CLEAR_STATE:
      return &clearState;
    case ATTR_EVENT_NAME:
      return &eventName;
    case ATTR_PROBABLE_CAUSE:
      return &probableCause;
    case ATTR_PERCEIVED_SEVERITY:
      return &perceivedSeverity;
    case ATTR_LOG_RECORD_ID:
      return &logRecordId;
    default:
      return nullptr;
  }
}

// ---- Taking an operation's list apart.

namespace {

// A text for an operator or comment column: the octets of a string value, whole. The
// empty text is a text (it empties the column); a NUL cannot be kept in a text column.
// Too long a text is refused by the statement, with the column's length.
bool set_text(void* field, Oid& id, Asn1Value& value) {
  Asn1Tag t = value.tag();
  bool string_type = t == TAG_OCTSTR || t == TAG_UTF8STR || t == TAG_GRAPHSTR ||
                     (t.cls == Asn1Tag::UNIVERSAL && t.number >= 18 && t.number <= 30 &&
                      t.number != 23 && t.number != 24 && t.number != 29);
  std::string octets;
  ExceptionScope scope;
  if (!value || !string_type || !value.decode_octets(octets)) {
    InvalidX::raise("%s is not a text", id.format().c_str());
    return false;
  }
  if (octets.find('\0') != std::string::npos) {
    InvalidX::raise("%s holds a NUL octet", id.format().c_str());
    return false;
  }
  *static_cast<RWCString*>(field) = RWCString(std::move(octets));
  return true;
}

// A lookup criterion: the column's text of the value, as the record's write stored it.
bool set_criterion(void* field, Oid& id, Asn1Value& value) {
  static_cast<RWCString*>(field)->str().clear();
  return ins_formatedVal(nullptr, field, id, value);
}

bool set_event_name(void* field, Oid& id, Asn1Value& value) {
  if (!set_criterion(field, id, value)) return false;
  fix_event_name(field);
  return true;
}

// An attribute's registered name for a message, or its dotted identifier.
std::string name_of(const Oid& id) {
  const char* name = OidNameRegistry::find_name_by_oid(id);
  return name != nullptr ? name : id.format();
}

// How an operation takes one attribute: the function that decodes its value into the
// image field of attribute number `field`.
struct Setter {
  const Oid* attr;
  SetFunc set;
  ATTRIBUTES field;
};

const Setter kAckSetters[] = {
    {&ackStateOid, pop_ack_state, ATTR_ACK_STATE},
    {&ackTimeOid, pop_ack_time, ATTR_ACK_TIME},
    {&ackOperatorOid, set_text, ATTR_ACK_OPERATOR},
    {&ackTextOid, set_text, ATTR_ACK_TEXT},
};

// The clear attributes, then the criteria of the clear-all and the alarm lookup.
const Setter kClearSetters[] = {
    {&clearStateOid, pop_clear_clearState, ATTR_CLEAR_STATE},
    {&clearTimeOid, pop_clear_time, ATTR_CLEAR_TIME},
    {&clearOperatorOid, set_text, ATTR_CLEAR_OPERATOR},
    {&clearTextOid, set_text, ATTR_CLEAR_TEXT},
    {&probableCauseOid, set_criterion, ATTR_PROBABLE_CAUSE},
    {&eventTypeOid, set_event_name, ATTR_EVENT_NAME},
    {&specificProblemsOid, set_criterion, ATTR_SPECIFIC_PROBLEMS},
};
const std::span<const Setter> kClearOneSetters(kClearSetters, 4);
const std::span<const Setter> kClearAllSetters(kClearSetters);
const std::span<const Setter> kLookupSetters(kClearSetters + 4, 3);

// One attribute an operation took: reported back with its fixed old value.
struct Taken {
  Oid id;
  Asn1Value value;
  ATTRIBUTES field;
};

// Sets every attribute of `list` into its field of an image (`locate` gives the field of
// an attribute number, null when the image has none), checking the whole list before
// anything runs. False, with the reason raised, for a malformed list, an attribute the
// operation does not take, or a value its field cannot hold. The list is read in place:
// identifiers are compared as octets with the operation's own, and one is decoded only
// to name it in a refusal.
template <class Locate>
bool fill_image(const Asn1Value& list, const char* operation, std::span<const Setter> setters,
                Locate locate, std::vector<Taken>& taken) {
  if (!list || !list.constructed()) {
    ResourceLimX::raise("attribute list is not a SET or SEQUENCE");
    return false;
  }
  taken.reserve(setters.size());  // room for each attribute the operation takes, once
  const auto items = list.components();
  for (auto it = items.begin(); it != items.end(); ++it) {
    qx::PairParts parts;
    if (!qx::read_pair(it.encoding(), parts)) {
      ResourceLimX::raise("attribute list component is not an attribute");
      return false;
    }
    auto s = std::find_if(setters.begin(), setters.end(), [&](const Setter& x) {
      return x.attr->contents().view() == parts.id;
    });
    void* field = s == setters.end() ? nullptr : locate(s->field);
    if (field == nullptr) {
      Oid id;
      if (!qx::pair_identifier(parts, id)) return false;
      InvalidX::raise("%s is not an attribute of %s", name_of(id).c_str(), operation);
      return false;
    }
    Oid id = *s->attr;
    Asn1Value value = list.element_at(parts.value);
    if (!s->set(field, id, value)) {
      InvalidX::raise("%s: not a value its column takes", name_of(id).c_str());
      return false;
    }
    taken.push_back({std::move(id), std::move(value), s->field});
  }
  return true;
}

bool took(const std::vector<Taken>& taken, ATTRIBUTES field) {
  return std::any_of(taken.begin(), taken.end(), [&](const Taken& t) { return t.field == field; });
}

// The old value an acknowledge or clear reports for each attribute it sets: the state
// ENUMERATED 0, the time [1] NULL (none), a text an empty GraphicString form holding a
// NULL. Built once.
const Asn1Value& fixed_old_value(ATTRIBUTES field) {
  static const Asn1Value kState = [] {
    Asn1Value v;
    v.encode_enum(0);
    return v;
  }();
  auto holding_null = [](Asn1Tag tag) {
    Asn1Value null;
    null.encode_null();
    Asn1Value v;
    v.start_construct(tag);
    v.add_component(null);
    return v;
  };
  static const Asn1Value kTime = holding_null(TAG_CTX1);
  static const Asn1Value kText = holding_null(TAG_GRAPHSTR);
  switch (field) {
    case ATTR_ACK_STATE:
    case ATTR_CLEAR_STATE:
      return kState;
    case ATTR_ACK_TIME:
    case ATTR_CLEAR_TIME:
      return kTime;
    default:
      return kText;
  }
}

void report(const std::vector<Taken>& taken, RespValue& response) {
  response.reserve(response.size() + taken.size());  // the elements in one block
  for (const Taken& t : taken) response.create_entry(t.id, t.value, fixed_old_value(t.field));
}

// Prints an operation's two failure lines; 0.
int failed(int first, int second, const char* what) {
  tolk_error.print(first, "%s", what);
  tolk_error.print(second, "Attribute List not in correct format \n");
  return 0;
}

}  // namespace

// ---- Construction.

// The display change of one record, as its history row tells it.
struct AlarmLogT::HistoryStatements {
  RWDBInserter ack;       // ackState given
  RWDBInserter ack_keep;  // the state stays
  RWDBInserter clear;
  RWDBInserter clear_all;
  RWDBInserter display;       // displayState given
  RWDBInserter display_keep;  // the state stays
  unsigned long display_id = 0;
  RWCString display_state;
  RWDBDateTime display_time;
  RWCString display_operator;
  RWCString display_text;
};

AlarmLogT::AlarmLogT(LogMapper* owner, const qx::AlarmClass& cls)
    : EventLogT(owner, cls.event),
      alarm_(cls),
      clear_(cls.specific_problems_column != nullptr),
      clear_all_(cls.specific_problems_column != nullptr),
      oar_(cls.specific_problems_column != nullptr),
      mo_(cls.specific_problems_column != nullptr) {
  if (cls.x733) {
    register_codecs(*pop_hash_, qx::x733_alarm_codecs());
    register_readers(*rdr_hash_, qx::x733_alarm_readers());
  }
  register_codecs(*pop_hash_, qx::alarm_state_codecs());
  register_readers(*rdr_hash_, qx::alarm_state_readers());
  bind_clear_variables();
  bind_allclear_variables();
  bind_ack_variables();
  bind_oar_selvariables();
  bind_mo_selvariables();
  init_alarmsvc_variables();
  if (owner_->alarm_history() != nullptr) bind_history_variables();
}

AlarmLogT::~AlarmLogT() = default;

void AlarmLogT::bind_history_variables() {
  qx::AlarmHistory& h = *owner_->alarm_history();
  const RWDBTable& t = *table_;
  const Oid& cls = record_class_of(cls_.type);
  history_ = std::make_unique<HistoryStatements>();
  HistoryStatements& hs = *history_;
  RWDBCriterion by_ack = t[logrecid_col] == RWDBBoundExpr(&ack_.logRecordId);
  hs.ack = h.from_rows(t, cls, qx::kActionAcknowledge, "ackstate", nullptr,
                       RWDBBoundExpr(&ack_.ackState), RWDBBoundExpr(&ack_.ackTime),
                       RWDBBoundExpr(&ack_.ackOperator), RWDBBoundExpr(&ack_.ackText), by_ack);
  hs.ack_keep = h.from_rows(t, cls, qx::kActionAcknowledge, "ackstate", "ackstate", RWDBExpr(),
                            RWDBBoundExpr(&ack_.ackTime), RWDBBoundExpr(&ack_.ackOperator),
                            RWDBBoundExpr(&ack_.ackText), by_ack);
  hs.clear = h.from_rows(t, cls, qx::kActionClear, "clearstate", nullptr,
                         RWDBBoundExpr(&clear_.clearState), RWDBBoundExpr(&clear_.clearTime),
                         RWDBBoundExpr(&clear_.clearOperator), RWDBBoundExpr(&clear_.clearText),
                         t[logrecid_col] == RWDBBoundExpr(&clear_.logRecordId));
  hs.clear_all = h.from_rows(t, cls, qx::kActionClearAll, "clearstate", nullptr,
                             RWDBBoundExpr(&clear_all_.clearState),
                             RWDBBoundExpr(&clear_all_.clearTime),
                             RWDBBoundExpr(&clear_all_.clearOperator),
                             RWDBBoundExpr(&clear_all_.clearText), clear_all_where_);
  RWDBCriterion by_display = t[logrecid_col] == RWDBBoundExpr(&hs.display_id);
  hs.display = h.from_rows(t, cls, qx::kActionDisplay, "displaystate", nullptr,
                           RWDBBoundExpr(&hs.display_state), RWDBBoundExpr(&hs.display_time),
                           RWDBBoundExpr(&hs.display_operator), RWDBBoundExpr(&hs.display_text),
                           by_display);
  hs.display_keep = h.from_rows(t, cls, qx::kActionDisplay, "displaystate", "displaystate",
                                RWDBExpr(), RWDBBoundExpr(&hs.display_time),
                                RWDBBoundExpr(&hs.display_operator),
                                RWDBBoundExpr(&hs.display_text), by_display);
}

RWDBResult AlarmLogT::run(RWDBUpdater& up, RWDBInserter* history) {
  if (history == nullptr) return up.execute(aConnection());
  owner_->alarm_history()->next_action();
  return aConnection().execute({*history, up});
}

void AlarmLogT::bind_clear_variables() {
  const RWDBTable& t = *table_;
  clear_updater_ = t.updater();
  clear_updater_ << t["clearstate"].assign(RWDBBoundExpr(&clear_.clearState))
                 << t["cleartime"].assign(RWDBBoundExpr(&clear_.clearTime))
                 << t["clearoperator"].assign(RWDBBoundExpr(&clear_.clearOperator))
                 << t["cleartext"].assign(RWDBBoundExpr(&clear_.clearText));
  clear_updater_.where(t[logrecid_col] == RWDBBoundExpr(&clear_.logRecordId));
}

void AlarmLogT::bind_allclear_variables() {
  const RWDBTable& t = *table_;
  clear_all_updater_ = t.updater();
  clear_all_updater_ << t["clearstate"].assign(RWDBBoundExpr(&clear_all_.clearState))
                     << t["cleartime"].assign(RWDBBoundExpr(&clear_all_.clearTime))
                     << t["clearoperator"].assign(RWDBBoundExpr(&clear_all_.clearOperator))
                     << t["cleartext"].assign(RWDBBoundExpr(&clear_all_.clearText));
  RWDBCriterion where = t["moi_id"] == RWDBBoundExpr(&clear_all_.moi_id) &&
                        t["eventname"] == RWDBBoundExpr(&clear_all_.eventName) &&
                        t["probablecause_s"].like(RWDBBoundExpr(&clear_all_.probableCause)) &&
                        t["clearstate"] == RWDBExpr(uncleared_state);
  if (const char* sp = alarm_.specific_problems_column) {
    where = where && (t[sp].isNull() || t[sp] == RWDBBoundExpr(&clear_all_.specificProblems));
  }
  clear_all_updater_.where(where);
  clear_all_where_ = where;
}

void AlarmLogT::bind_ack_variables() {
  const RWDBTable& t = *table_;
  ack_updater_ = t.updater();
  ack_keep_state_updater_ = t.updater();
  ack_updater_ << t["ackstate"].assign(RWDBBoundExpr(&ack_.ackState));
  for (RWDBUpdater* up : {&ack_updater_, &ack_keep_state_updater_}) {
    *up << t["acktime"].assign(RWDBBoundExpr(&ack_.ackTime))
        << t["ackoperator"].assign(RWDBBoundExpr(&ack_.ackOperator))
        << t["acktext"].assign(RWDBBoundExpr(&ack_.ackText));
    up->where(t[logrecid_col] == RWDBBoundExpr(&ack_.logRecordId));
  }
}

void AlarmLogT::bind_oar_selvariables() {
  const RWDBTable& t = *table_;
  oar_selector_ = aDB_().selector();
  oar_selector_ << t[logrecid_col] << t["perceivedseverity"];
  if (alarm_.lookup_selects_clear_state) oar_selector_ << t["clearstate"];
  RWDBCriterion where = t["moi_id"] == RWDBBoundExpr(&oar_.moi_id) &&
                        t["clearstate"] == RWDBBoundExpr(&oar_.clearState) &&
                        t["eventname"] == RWDBBoundExpr(&oar_.eventName) &&
                        t["probablecause_s"].like(RWDBBoundExpr(&oar_.probableCause));
  if (const char* sp = alarm_.specific_problems_column) {
    where = where && (t[sp].isNull() || t[sp] == RWDBBoundExpr(&oar_.specificProblems));
  }
  oar_selector_.where(where);
}

void AlarmLogT::bind_mo_selvariables() {
  const RWDBTable& t = *table_;
  mo_selector_ = aDB_().selector();
  mo_selector_ << t[logrecid_col] << t["perceivedseverity"] << t["clearstate"];
  mo_selector_.where(t["moi_id"] == RWDBBoundExpr(&mo_.moi_id) &&
                     t["clearstate"] == RWDBBoundExpr(&mo_.clearState));
}

void AlarmLogT::init_alarmsvc_variables() {
  const RWDBTable& t = *table_;
  alarmsvc_selector_ = aDB_().selector();
  alarmsvc_selector_ << t[logrecid_col] << t["moi_id"] << t["clearstate"] << t["perceivedseverity"];
}

// ---- Acknowledging and clearing.

namespace {

// The result of an update of one record: false (ProcessFailX raised) when the statement
// is refused or the record has no row.
bool updated_record(const RWDBResult& res, int id, const std::string& table) {
  if (!res.isValid()) {
    ProcessFailX::raise("update of record %d in %s refused: %s", id, table.c_str(),
                        res.status().message().data());
    return false;
  }
  if (res.rowCount() == 0) {
    ProcessFailX::raise("record %d has no row in %s", id, table.c_str());
    return false;
  }
  return true;
}

}  // namespace

int AlarmLogT::UpdateDBAck(const int& id, const Asn1Value& attributes, RespValue& response) {
  ExceptionScope scope;
  const char* what = "Error in performing the ack operation.\n";
  ack_.set_defvals();
  ack_.logRecordId = static_cast<unsigned int>(id);
  std::vector<Taken> taken;
  if (!fill_image(
          attributes, "an acknowledgement", kAckSetters,
          [&](ATTRIBUTES a) { return ack_.myAckColumn(a); }, taken)) {
    return failed(78, 79, what);
  }
  if (taken.empty()) return 1;
  bool state = took(taken, ATTR_ACK_STATE);
  RWDBUpdater& up = state ? ack_updater_ : ack_keep_state_updater_;
  RWDBInserter* history = history_ ? (state ? &history_->ack : &history_->ack_keep) : nullptr;
  if (!updated_record(run(up, history), id, table_name_)) return failed(78, 79, what);
  report(taken, response);
  return 1;
}

int AlarmLogT::UpdateDBClear(const int& id, const Asn1Value& attributes, RespValue& response) {
  ExceptionScope scope;
  const char* what = "Error in performing the clear operation.\n";
  const int(&numbers)[2] = alarm_.clear_messages;
  clear_.set_defvals();
  clear_.logRecordId = static_cast<unsigned int>(id);
  std::vector<Taken> taken;
  if (!fill_image(
          attributes, "a clear", kClearOneSetters,
          [&](ATTRIBUTES a) { return clear_.myClearColumn(a); }, taken)) {
    return failed(numbers[0], numbers[1], what);
  }
  if (taken.empty()) return 1;
  RWDBResult res = run(clear_updater_, history_ ? &history_->clear : nullptr);
  if (!updated_record(res, id, table_name_)) return failed(numbers[0], numbers[1], what);
  // The cache follows the state the row now has.
  owner_->update_logrec_clear_state(static_cast<unsigned int>(id),
                                    clear_.clearState == cleared_state ? 1 : 0);
  report(taken, response);
  return 1;
}

int AlarmLogT::UpdateDBClearAlarms(const int moiId, const Oid&, const Asn1Value& attributes) {
  ExceptionScope scope;
  const char* what = "Error in performing the Clear operation.\n";
  clear_all_.set_defvals();
  clear_all_.moi_id = static_cast<unsigned int>(moiId);
  std::vector<Taken> taken;
  if (!fill_image(
          attributes, "a clear of all alarms of this class", kClearAllSetters,
          [&](ATTRIBUTES a) { return clear_all_.myClearColumn(a); }, taken)) {
    return failed(78, 79, what);
  }
  if (taken.empty()) {
    InvalidX::raise("a clear of all alarms names no clear attribute and no criterion");
    return failed(78, 79, what);
  }
  RWDBResult res = run(clear_all_updater_, history_ ? &history_->clear_all : nullptr);
  if (!res.isValid()) {
    ProcessFailX::raise("clear of the alarms of managed object %d in %s refused: %s", moiId,
                        table_name_.c_str(), res.status().message().data());
    return failed(78, 79, what);
  }
  return 1;
}

RWDBResult AlarmLogT::execute_update(RWDBUpdater& up, unsigned long id,
                                     const std::vector<qx::Attribute>& attrs) {
  if (!history_) return up.execute(aConnection());
  HistoryStatements& hs = *history_;
  hs.display_id = id;
  hs.display_state = RWCString();
  hs.display_time = RWDBDateTime();
  hs.display_operator = RWCString();
  hs.display_text = RWCString();
  bool display = false, state = false;
  ExceptionScope scope;  // the update's codecs have checked every value already
  for (const qx::Attribute& a : attrs) {
    Oid id_copy = a.id;
    Asn1Value value = a.value;
    if (a.id == displayStateOid) {
      state = display = ins_displayState(this, &hs.display_state, id_copy, value);
    } else if (a.id == displayTimeOid) {
      display |= pop_ack_time(&hs.display_time, id_copy, value);
    } else if (a.id == displayOperatorOid) {
      display |= set_text(&hs.display_operator, id_copy, value);
    } else if (a.id == displayTextOid) {
      display |= set_text(&hs.display_text, id_copy, value);
    }
  }
  scope.close();
  if (!display) return up.execute(aConnection());
  return run(up, state ? &hs.display : &hs.display_keep);
}

// ---- Lookups.

int AlarmLogT::getOarInfo(const int moiId, const Oid&, const Asn1Value& attributes,
                          RWDBReader& reader) {
  ExceptionScope scope;
  const char* what = "Error in performing the OAR read operation.\n";
  oar_.set_defvals();
  oar_.moi_id = static_cast<unsigned int>(moiId);
  std::vector<Taken> taken;
  if (!fill_image(
          attributes, "an alarm lookup of this class", kLookupSetters,
          [&](ATTRIBUTES a) { return oar_.myOarColumn(a); }, taken)) {
    return failed(78, 79, what);
  }
  if (taken.empty()) return 1;
  RWDBReader r = oar_selector_.reader(aConnection());
  if (!r.isValid()) {
    ProcessFailX::raise("alarm lookup in %s refused: %s", table_name_.c_str(),
                        r.status().message().data());
    return failed(78, 79, what);
  }
  if (alarm_.report_lookup) {
    std::cout << "The selectors result is : " << (r.isValid() ? 1 : 0);
    outputStatus(r.status());
  } else if (tolk_map_debug != 0) {
    outputStatus(r.status());
  }
  reader = r;
  return 1;
}

int AlarmLogT::getOarInfo(const int moiId, const Oid&, RWDBReader& reader) {
  mo_.set_defvals();
  mo_.moi_id = static_cast<unsigned int>(moiId);
  RWDBReader r = mo_selector_.reader(aConnection());
  if (!r.isValid()) return 0;
  reader = r;
  return 1;
}

// ---- Start-up.

int AlarmLogT::get_all_almsvc_recs(Callback& cb, int flag) {
  RWDBReader r = alarmsvc_selector_.reader(aConnection());
  if (!r.isValid()) return 0;
  RWCString moi_col = "moi_id";
  RWCString state_col = "clearstate";
  RWCString severity_col = "perceivedseverity";
  while (r()) {
    if (flag == 0) continue;
    unsigned long id = 0;
    unsigned long moi = 0;
    if (!qx::read_unsigned(r, logrecid_col, id)) continue;
    qx::read_unsigned(r, moi_col, moi);
    unsigned char cleared = 0;
    unsigned char severity = 0;
    rdr_clear_severity(r, state_col, severity_col, cleared, severity);
    update_log_record_hash(id, cls_.type, moi, cleared, severity);
  }
  if (!qx::walk_complete(r, table_name_.c_str())) return 0;
  LogRespValue lrv(owner_->get_log_id_value(), nullptr);
  cb.exec(&lrv);
  return 1;
}
