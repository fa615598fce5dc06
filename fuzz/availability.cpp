// The availability reply on any bytes.
#include "FuzzInput.h"
#include "documents/AvailabilityHandler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    AvailabilityHandler handler;
    ReadReply(data, size, handler);
    FUZZ_CHECK(handler.message.size() <= XmlEventReader::kMaxRunBytes);
    return 0;
}
