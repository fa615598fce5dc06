// The conversions at the Windows boundary on any bytes: what comes back is
// always well-formed, valid UTF-8 survives the trip to UTF-16 and back
// unchanged, and code page 437 text becomes valid UTF-8 of one character per
// byte.
#include <cstdint>
#include <string>

#include "FuzzInput.h"
#include "system/Utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::wstring wide = Widen(bytes);
    FUZZ_CHECK(wide.size() <= bytes.size());
    for (size_t i = 0; i < wide.size(); ++i) {
        const auto unit = static_cast<uint32_t>(wide[i]);
        FUZZ_CHECK(unit <= 0xFFFF);
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            FUZZ_CHECK(i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF);
            ++i;
        } else {
            FUZZ_CHECK(unit < 0xDC00 || unit > 0xDFFF);
        }
    }
    const std::string back = Narrow(wide);
    FUZZ_CHECK(IsValidUtf8(back));
    if (IsValidUtf8(bytes)) FUZZ_CHECK(back == bytes);

    // The bytes taken as UTF-16 units, unpaired surrogates included.
    std::wstring units;
    for (size_t i = 0; i + 1 < size; i += 2) units += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    const std::string narrowed = Narrow(units);
    FUZZ_CHECK(IsValidUtf8(narrowed));
    FUZZ_CHECK(Narrow(Widen(narrowed)) == narrowed);

    const std::string dos = Cp437ToUtf8(bytes);
    FUZZ_CHECK(IsValidUtf8(dos));
    FUZZ_CHECK(Widen(dos).size() == bytes.size());
    return 0;
}
