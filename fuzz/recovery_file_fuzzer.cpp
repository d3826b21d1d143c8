// The recovery file reader on arbitrary bytes, as the next run of the editor meets what a crash
// left: it refuses them with a reason and leaves the record as it was, or gives a record whose
// network is sound and which the recovery dialog can list; written again, that record reads back
// the same.

#include "document/recovery.h"
#include "fuzzcheck.h"
#include "model/network.h"
#include "model/snapshot.h"
#include "networkcheck.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using namespace vantry;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    RecoveryRecord record;
    record.title = "untouched";
    std::string why;
    if (!decodeRecoveryFile(bytes, record, why)) {
        FUZZ_CHECK(!why.empty());
        FUZZ_CHECK(record.title == "untouched" && record.snapshot.empty());
        return 0;
    }
    Network net;
    FUZZ_CHECK(decodeSnapshot(record.snapshot, net, &why));
    checkNetwork(net);
    FUZZ_CHECK(recoveryListing(record).starts_with(record.title + ", changed at "));

    RecoveryRecord again;
    FUZZ_CHECK(decodeRecoveryFile(encodeRecoveryFile(record), again, why));
    FUZZ_CHECK(again.originalPath == record.originalPath && again.title == record.title &&
               again.format == record.format && again.savedAt == record.savedAt &&
               again.snapshot == record.snapshot);
    return 0;
}
