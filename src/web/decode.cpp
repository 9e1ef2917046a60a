#include "web/decode.h"

#include "runtime/codepage.h"

namespace tavelin {

Bytes utf8_to_utf16(std::string_view utf8) {
    const std::u16string units = codepage::utf16_from_utf8(utf8);
    Bytes out;
    out.reserve(units.size() * 2);
    for (const char16_t unit : units) {
        out.push_back(static_cast<char>(unit & 0xFF));
        out.push_back(static_cast<char>(unit >> 8));
    }
    return out;
}

Bytes utf8_to_cp936(std::string_view utf8) {
    // Straight through the units; the little-endian bytes are only the public form.
    return codepage::cp936_from_utf16(codepage::utf16_from_utf8(utf8));
}

} // namespace tavelin
