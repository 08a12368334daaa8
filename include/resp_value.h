// RespValue: the container of every read and every change report of the mapper. It maps
// attribute identifiers to a pair (value, old value) and keeps its elements in the order
// they were created, so that a record reads back column attributes first, in table order,
// then its list-valued attributes in stored order.
//
// Thread-safety: none; a RespValue belongs to whoever allocated it.
#pragma once

#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/value/asn1_value.h"
#include "platform/value/oid.h"

// One attribute of a RespValue. Owned by the RespValue that created it.
class RespValueElement {
 public:
  RespValueElement(const Oid& id, const Asn1Value& value, const Asn1Value& old_value)
      : RespValueElement(id, Asn1Value::copy_pair(value, old_value)) {}
  // Takes the value as it is, sharing its buffer (see RespValue::adopt_entry).
  RespValueElement(const Oid& id, Asn1Value&& value) : id_(id), value_(std::move(value)) {}
  RespValueElement(Oid&& id, Asn1Value&& value) : id_(std::move(id)), value_(std::move(value)) {}
  virtual ~RespValueElement() = default;

  const Oid& id() const { return id_; }
  const Asn1Value& value() const { return value_; }
  const Asn1Value& old_value() const { return old_value_; }

 private:
  RespValueElement(const Oid& id, std::pair<Asn1Value, Asn1Value>&& values)
      : id_(id), value_(std::move(values.first)), old_value_(std::move(values.second)) {}

  friend class RespValue;
  Oid id_;
  Asn1Value value_;
  Asn1Value old_value_;
};

class RespValue {
 public:
  RespValue() = default;
  virtual ~RespValue() = default;
  RespValue(const RespValue&) = delete;
  RespValue& operator=(const RespValue&) = delete;

  // Adds an element holding copies of the three values and counts it. Creating a
  // second element under an identifier keeps both in the walk; the lookups below then
  // find the later one. Returns 1 (0 only when the element cannot be allocated).
  int create_entry(const Oid& id, const Asn1Value& value, const Asn1Value& old_value);

  // As create_entry(id, value, empty old value), but the element takes `value` as it is
  // instead of a deep copy: it may go on sharing its buffer with the values it was
  // walked from (a value read from a row and its components). For the reading paths,
  // whose values nobody else holds once the row is read, so the RespValue alone owns
  // them and may be handed to another thread as a whole.
  int adopt_entry(const Oid& id, Asn1Value&& value);
  // The same, taking the identifier as well.
  int adopt_entry(Oid&& id, Asn1Value&& value);

  // Copy the element's value / old value out; 0 (out-parameter untouched) when there
  // is no element under `id`.
  int find_value(const Oid& id, Asn1Value& value) const;
  int find_old_value(const Oid& id, Asn1Value& old_value) const;

  // With an element: its value becomes its old value and `value` its value. Without:
  // create_entry(id, value, empty). Returns 1.
  int update_value(const Oid& id, const Asn1Value& value);

  // Removes and deletes every element under `id`; returns 1 whether or not there was
  // one. The counter of created entries does not go down.
  int remove(const Oid& id);

  // Makes room for n elements in all. The memory of that many elements is also set aside
  // in one block, so that adding them allocates no element of its own.
  void reserve(size_t n);
  // Removes every element and sets the count back to 0, as a new RespValue; the room
  // made for elements is kept for the next ones.
  void clear();

  // Entries created so far (never decreases).
  unsigned long count() const { return created_; }
  // Elements present now.
  size_t size() const { return elements_.size(); }
  bool empty() const { return elements_.empty(); }

  // Deletes an element made with new, or only destroys one made in the reserved block.
  struct ElementDeleter {
    bool in_block = false;
    void operator()(RespValueElement* e) const;
  };
  // The elements in creation order. Pointers stay valid until the element is removed.
  using Elements = std::vector<std::unique_ptr<RespValueElement, ElementDeleter>>;
  Elements::const_iterator begin() const { return elements_.begin(); }
  Elements::const_iterator end() const { return elements_.end(); }

 private:
  RespValueElement* find(const Oid& id) const;
  // Keeps index_ up to date after `element` was appended to elements_.
  void indexed(RespValueElement* element);
  // Appends a new element, in the reserved block while it has room.
  template <class... Args>
  int add(Args&&... args);

  // The reserved block: room for block_size_ elements, block_used_ of them taken. It
  // outlives the elements (they are destroyed first).
  std::unique_ptr<unsigned char[]> block_;
  size_t block_size_ = 0;
  size_t block_used_ = 0;
  Elements elements_;
  // Empty while the value is small (find scans elements_); see respValue.cpp.
  std::unordered_map<Oid, RespValueElement*> index_;
  unsigned long created_ = 0;
};

// A log identifier value with the RespValue of one record, as the start-up walks hand it
// to the caller's callbacks. It owns the RespValue.
class LogRespValue {
 public:
  LogRespValue(const Asn1Value& log_id, RespValue* resp) : log_id_(log_id.copy()), resp_(resp) {}
  ~LogRespValue() { delete resp_; }
  LogRespValue(const LogRespValue&) = delete;
  LogRespValue& operator=(const LogRespValue&) = delete;

  const Asn1Value& get_log_id() const { return log_id_; }
  RespValue* get_resp_value() const { return resp_; }

 private:
  Asn1Value log_id_;
  RespValue* resp_;
};
