// The only file that talks to ICU. windows-936-2000 is the converter that matches the Windows
// code page: 0x80 is the euro sign and characters it cannot map become '?'.
#include "runtime/codepage.h"

#include <memory>
#include <unicode/ucnv.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>

namespace tavelin::codepage {
namespace {

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// A converter carries conversion state, so each call opens its own; opening is cheap after the
// first time because ICU caches the shared table.
Converter open_cp936() {
    UErrorCode status = U_ZERO_ERROR;
    Converter conv(ucnv_open("windows-936-2000", &status));
    if (U_FAILURE(status))
        return nullptr;
    status = U_ZERO_ERROR;
    ucnv_setSubstChars(conv.get(), "?", 1, &status);
    return conv;
}

const UChar* as_uchar(std::u16string_view s) {
    return reinterpret_cast<const UChar*>(s.data());
}
UChar* as_uchar(std::u16string& s) {
    return reinterpret_cast<UChar*>(s.data());
}

std::u16string compose(std::u16string_view in) {
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* nfc = unorm2_getNFCInstance(&status);
    if (U_FAILURE(status))
        return std::u16string(in);
    if (unorm2_isNormalized(nfc, as_uchar(in), static_cast<int32_t>(in.size()), &status) &&
        U_SUCCESS(status))
        return std::u16string(in);
    status = U_ZERO_ERROR;
    std::u16string out(in.size() + 16, u'\0');
    int32_t n = unorm2_normalize(nfc, as_uchar(in), static_cast<int32_t>(in.size()), as_uchar(out),
                                 static_cast<int32_t>(out.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        status = U_ZERO_ERROR;
        out.assign(static_cast<size_t>(n), u'\0');
        n = unorm2_normalize(nfc, as_uchar(in), static_cast<int32_t>(in.size()), as_uchar(out), n,
                             &status);
    }
    if (U_FAILURE(status))
        return std::u16string(in);
    out.resize(static_cast<size_t>(n));
    return out;
}

} // namespace

std::u16string utf16_from_cp936(std::string_view cp936) {
    Converter conv = open_cp936();
    if (!conv || cp936.empty())
        return {};
    // Each byte yields at most one unit.
    std::u16string out(cp936.size(), u'\0');
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = ucnv_toUChars(conv.get(), as_uchar(out), static_cast<int32_t>(out.size()),
                              cp936.data(), static_cast<int32_t>(cp936.size()), &status);
    if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING)
        return {};
    out.resize(static_cast<size_t>(n));
    return out;
}

Bytes cp936_from_utf16(std::u16string_view utf16) {
    Converter conv = open_cp936();
    if (!conv || utf16.empty())
        return {};
    const std::u16string composed = compose(utf16);
    // Each unit yields at most two bytes.
    Bytes out(composed.size() * 2, '\0');
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = ucnv_fromUChars(conv.get(), out.data(), static_cast<int32_t>(out.size()),
                                as_uchar(composed), static_cast<int32_t>(composed.size()), &status);
    if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING)
        return {};
    out.resize(static_cast<size_t>(n));
    return out;
}

std::u16string utf16_from_utf8(std::string_view utf8) {
    if (utf8.empty())
        return {};
    std::u16string out(utf8.size(), u'\0');
    int32_t n = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(as_uchar(out), static_cast<int32_t>(out.size()), &n, utf8.data(),
                         static_cast<int32_t>(utf8.size()), 0xFFFD, nullptr, &status);
    if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING)
        return {};
    out.resize(static_cast<size_t>(n));
    return out;
}

std::string utf8_from_utf16(std::u16string_view utf16) {
    if (utf16.empty())
        return {};
    std::string out(utf16.size() * 3, '\0');
    int32_t n = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &n, as_uchar(utf16),
                       static_cast<int32_t>(utf16.size()), 0xFFFD, nullptr, &status);
    if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING)
        return {};
    out.resize(static_cast<size_t>(n));
    return out;
}

std::string utf8_from_cp936(std::string_view cp936) {
    return utf8_from_utf16(utf16_from_cp936(cp936));
}

Bytes cp936_from_utf8(std::string_view utf8) {
    return cp936_from_utf16(utf16_from_utf8(utf8));
}

} // namespace tavelin::codepage
