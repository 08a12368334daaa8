#include "resp_value.h"

#include <algorithm>
#include <new>

namespace {

// A record's RespValue holds a few dozen elements at most; up to this many, lookups scan
// the elements (newest first) and index_ stays empty, which saves a hash node per element.
// Past it, index_ maps every id to its newest element.
constexpr size_t kScanLimit = 24;

}  // namespace

RespValueElement* RespValue::find(const Oid& id) const {
  if (!index_.empty()) {
    auto it = index_.find(id);
    return it == index_.end() ? nullptr : it->second;
  }
  for (auto it = elements_.rbegin(); it != elements_.rend(); ++it)
    if ((*it)->id() == id) return it->get();
  return nullptr;
}

void RespValue::indexed(RespValueElement* element) {
  if (!index_.empty()) {
    index_[element->id()] = element;
  } else if (elements_.size() > kScanLimit) {
    for (const auto& e : elements_) index_[e->id()] = e.get();
  }
}

int RespValue::create_entry(const Oid& id, const Asn1Value& value, const Asn1Value& old_value) {
  auto element =
      std::unique_ptr<RespValueElement>(new (std::nothrow) RespValueElement(id, value, old_value));
  if (!element) return 0;
  RespValueElement* added = element.get();
  elements_.push_back(std::move(element));
  indexed(added);
  ++created_;
  return 1;
}

int RespValue::adopt_entry(const Oid& id, Asn1Value&& value) {
  auto element =
      std::unique_ptr<RespValueElement>(new (std::nothrow) RespValueElement(id, std::move(value)));
  if (!element) return 0;
  RespValueElement* added = element.get();
  elements_.push_back(std::move(element));
  indexed(added);
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
  if (find(id) == nullptr) return 1;
  index_.erase(id);
  elements_.erase(std::remove_if(elements_.begin(), elements_.end(),
                                 [&](const auto& e) { return e->id() == id; }),
                  elements_.end());
  return 1;
}
