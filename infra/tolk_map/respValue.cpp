#include "resp_value.h"

#include <algorithm>
#include <new>

RespValueElement* RespValue::find(const Oid& id) const {
  auto it = index_.find(id);
  return it == index_.end() ? nullptr : it->second;
}

int RespValue::create_entry(const Oid& id, const Asn1Value& value, const Asn1Value& old_value) {
  auto element =
      std::unique_ptr<RespValueElement>(new (std::nothrow) RespValueElement(id, value, old_value));
  if (!element) return 0;
  index_[id] = element.get();
  elements_.push_back(std::move(element));
  ++created_;
  return 1;
}

int RespValue::adopt_entry(const Oid& id, Asn1Value&& value) {
  auto element =
      std::unique_ptr<RespValueElement>(new (std::nothrow) RespValueElement(id, std::move(value)));
  if (!element) return 0;
  index_[id] = element.get();
  elements_.push_back(std::move(element));
  ++created_;
  return 1;
}

int RespValue::find_value(const Oid& id, Asn1Value& value) const {
  const RespValueElement* e = find(id);
  if (e == nullptr) return 0;
  value = e->value_;
  return 1;
}

int RespValue::find_old_value(const Oid& id, Asn1Value& old_value) const {
  const RespValueElement* e = find(id);
  if (e == nullptr) return 0;
  old_value = e->old_value_;
  return 1;
}

int RespValue::update_value(const Oid& id, const Asn1Value& value) {
  RespValueElement* e = find(id);
  if (e == nullptr) return create_entry(id, value, Asn1Value());
  e->old_value_ = e->value_;
  e->value_ = value.copy();
  return 1;
}

int RespValue::remove(const Oid& id) {
  if (index_.erase(id) == 0) return 1;
  elements_.erase(std::remove_if(elements_.begin(), elements_.end(),
                                 [&](const auto& e) { return e->id() == id; }),
                  elements_.end());
  return 1;
}
