// Damages the file of an embedded store that holds one log with records of every event
// class, then opens it as a management process does at start-up and reads the log
// back: every read path meets the damage (damaged pages, cut or wrong lengths, texts,
// blobs and numbers changed on disk). The input is a series of patches of four octets:
// a 24-bit offset (big-endian, taken modulo the file's size) and the octet to put
// there. Nothing may crash, leak or read out of bounds, whatever the file holds.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "infra/tolk_map/oids.h"
#include "infra/tolk_map/tables/eventlog.h"
#include "infra/tolk_map/testing.h"
#include "platform/value/asn1_value.h"
#include "platform/value/exception.h"
#include "tolk.h"

namespace {

const std::string& store_path() {
  static const std::string path = "/tmp/logmapper-damaged-" + std::to_string(getpid()) + ".db";
  return path;
}

void remove_store() {
  for (const char* suffix : {"", "-wal", "-shm", "-journal"})
    std::remove((store_path() + suffix).c_str());
}

Asn1Value attribute(const Oid& id, const Asn1Value& value) {
  Asn1Value oid, pair;
  oid.encode_oid(id);
  pair.start_construct(TAG_SEQ);
  pair.add_component(oid);
  pair.add_component(value);
  return pair;
}

// The store's file as written: one log (7) with records of the six event classes,
// carrying column values, list values and values kept whole in the blob.
const std::string& pristine() {
  static const std::string image = [] {
    remove_store();
    std::atexit(remove_store);
    setenv("QXDB_URL", ("sqlite:" + store_path()).c_str(), 1);
    {
      Asn1Value id, empty;
      id.encode_int(7);
      empty.start_construct(TAG_SET);
      LogMapper log(id, empty, "", TolkMap::def_owner_id());
      if (!log.created()) std::abort();
      static const Oid* const kClasses[] = {&objcrtOid,     &objdltOid, &relchgOid,
                                            &attrvalchgOid, &secalmOid, &statechgOid};
      std::string dotted = "1.2";
      while (dotted.size() < 300) dotted += ".123456789";
      for (int i = 0; i < 24; ++i) {
        Asn1Value list, n, text, type, source;
        list.start_construct(TAG_SET);
        n.encode_int(i % 3 == 0 ? -i : i);
        text.encode_octets(std::string(static_cast<size_t>(40 * i), 'x'), TAG_GRAPHSTR);
        type.encode_oid(Oid(i % 2 == 0 ? "2.9.3.2.10.6" : dotted.c_str()), TAG_CTX6);
        source.encode_enum(i % 4);
        list.add_component(attribute(notificationIdOid, n));
        list.add_component(attribute(additionalTextOid, text));
        list.add_component(attribute(eventTypeOid, type));
        list.add_component(attribute(sourceIndicatorOid, source));
        const Oid& cls = *kClasses[i % 6];
        auto* entry = new OarInfo;
        if (log.WriteToDB(i, cls, cls, list, entry) != 1) std::abort();
      }
      if (LogMapper::commit() != 1) std::abort();
    }
    qx::tolk_reset_for_tests();  // the last connection goes: the file holds everything
    std::ifstream wal(store_path() + "-wal");
    if (wal.good() && wal.peek() != std::ifstream::traits_type::eof()) std::abort();
    std::ifstream in(store_path(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }();
  return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string image = pristine();
  if (image.empty()) std::abort();
  for (size_t i = 0; i + 4 <= size; i += 4) {
    size_t at = ((size_t{data[i]} << 16) | (size_t{data[i + 1]} << 8) | data[i + 2]) % image.size();
    image[at] = static_cast<char>(data[i + 3]);
  }
  remove_store();
  {
    std::ofstream out(store_path(), std::ios::binary | std::ios::trunc);
    out.write(image.data(), static_cast<std::streamsize>(image.size()));
  }
  std::vector<Asn1Value> logs;  // every log start-up registered, to forget them again
  {
    ExceptionScope scope;
    Callback log_cb(
        [](void* client, void* d) {
          auto* resp = static_cast<RespValue*>(d);
          if (resp == nullptr) return;
          Asn1Value id;
          if (resp->find_value(logIdOid, id))
            static_cast<std::vector<Asn1Value>*>(client)->push_back(id);
          delete resp;
        },
        &logs);
    if (LogMapper::init_log_handles(log_cb, no_op_cb) == 1) {
      for (const Asn1Value& id : logs) {
        LogMapper* m = LogMapper::find_log_handle(id);
        if (m == nullptr) continue;
        Callback each([](void*, void*) {}, nullptr);
        m->get_all_log_recs(each, 0);
        for (int rec = 0; rec < 24; rec += 5) {
          RespValue values;
          m->ReadfromDB(rec, values);
        }
      }
    }
    for (const Asn1Value& id : logs) delete LogMapper::find_log_handle(id);
  }
  qx::tolk_reset_for_tests();
  return 0;
}
