#include "platform/db/rwdb_phrase_book.h"

RWCString RWDBPhraseBook::operator[](Phrase p) const {
  switch (p) {
    case serverType:
      return server_;
    case stringType:
      return string_;
    case blobType:
      return blob_;
    case integerType:
      return integer_;
    case dateTimeType:
      return dateTime_;
    case likeEscape:
      return server_.isNull() ? RWCString() : RWCString("\\");
  }
  return RWCString();
}
