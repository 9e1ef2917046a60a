// The export of SkinH_EL.dll.

#include "skin/skin_library.h"

#include "skin/skin_format.h"
#include "skin/skin_look.h"

#include <cstddef>
#include <span>

extern "C" __attribute__((visibility("default"))) std::int32_t
SkinH_AttachRes(const unsigned char* skin, std::int32_t length, const char* options,
                std::int32_t reserved1, std::int32_t reserved2, std::int32_t reserved3) {
    using namespace tavelin::skin;
    if ((options != nullptr && options[0] != '\0') || reserved1 != 0 || reserved2 != 0 ||
        reserved3 != 0) {
        return kReservedNotZero;
    }
    if (skin == nullptr || length <= 0) {
        return kNoSkin;
    }
    // No exception may leave a C entry point; a failed allocation is a refusal like any other.
    try {
        const ParsedSkin parsed =
            parse_skin(std::span<const unsigned char>(skin, static_cast<std::size_t>(length)));
        if (parsed.error != kOk) {
            return parsed.error;
        }
        return apply_skin(parsed.skin);
    } catch (...) {
        return kNoApplication;
    }
}
