#ifndef QX_PLATFORM_DB_RW_TVAL_SLIST_H_
#define QX_PLATFORM_DB_RW_TVAL_SLIST_H_

#include <list>

// A singly linked list of values, with the list operations callers use.
template <class T>
class RWTValSlist : public std::list<T> {
 public:
  void append(const T& v) { this->push_back(v); }
  void insert(const T& v) { this->push_back(v); }
  void prepend(const T& v) { this->push_front(v); }
  size_t entries() const { return this->size(); }
  bool isEmpty() const { return this->empty(); }
};

#endif  // QX_PLATFORM_DB_RW_TVAL_SLIST_H_
