#ifndef QX_PLATFORM_DB_RWDB_PHRASE_BOOK_H_
#define QX_PLATFORM_DB_RWDB_PHRASE_BOOK_H_

#include "platform/db/rw_cstring.h"

// The server's words for the statements the layer writes: type names and
// keywords that differ between servers. Belongs to its database; immutable.
class RWDBPhraseBook {
 public:
  enum Phrase { serverType, stringType, blobType, integerType, dateTimeType, likeEscape };

  RWDBPhraseBook() = default;
  RWDBPhraseBook(const RWCString& server, const RWCString& stringT, const RWCString& blobT,
                 const RWCString& integerT, const RWCString& dateTimeT)
      : server_(server), string_(stringT), blob_(blobT), integer_(integerT), dateTime_(dateTimeT) {}
  // The phrase; empty for an unopened database.
  RWCString operator[](Phrase p) const;

 private:
  RWCString server_, string_, blob_, integer_, dateTime_;
};

#endif  // QX_PLATFORM_DB_RWDB_PHRASE_BOOK_H_
