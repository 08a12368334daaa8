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

void RespValue::ElementDeleter::operator()(RespValueElement* e) const {
  if (in_block) {
    // Made in the block as a RespValueElement itself (add): destroyed without a virtual
    // call, which lets the compiler inline the members' destructors.
    e->RespValueElement::~RespValueElement();
  } else {
    delete e;
  }
}

void RespValue::reserve(size_t n) {
  elements_.reserve(n);
  if (n <= elements_.size()) return;
  size_t room = n - elements_.size();
  // A block is replaced only while no element lives in it.
  if (block_used_ != 0 || room <= block_size_) return;
  block_.reset(new (std::nothrow) unsigned char[room * sizeof(RespValueElement)]);
  block_size_ = block_ ? room : 0;
}

void RespValue::clear() {
  index_.clear();
  elements_.clear();
  block_used_ = 0;
  created_ = 0;
}

template <class... Args>
int RespValue::add(Args&&... args) {
  RespValueElement* e;
  bool in_block = block_used_ < block_size_;
  if (in_block) {
    // The block comes from operator new[]: aligned for any element.
    void* at = block_.get() + block_used_ * sizeof(RespValueElement);
    e = new (at) RespValueElement(std::forward<Args>(args)...);
    ++block_used_;
  } else {
    e = new (std::nothrow) RespValueElement(std::forward<Args>(args)...);
    if (e == nullptr) return 0;
  }
  elements_.push_back(
      std::unique_ptr<RespValueElement, ElementDeleter>(e, ElementDeleter{in_block}));
  indexed(e);
  ++created_;
  return 1;
}

int RespValue::create_entry(const Oid& id, const Asn1Value& value, const Asn1Value& old_value) {
  return add(id, value, old_value);
}

int RespValue::adopt_entry(const Oid& id, Asn1Value&& value) { return add(id, std::move(value)); }

int RespValue::adopt_entry(Oid&& id, Asn1Value&& value) {
  return add(std::move(id), std::move(value));
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
