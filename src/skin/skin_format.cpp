#include "skin/skin_format.h"

#include <algorithm>
#include <bitset>
#include <cmath>

namespace tavelin::skin {
namespace {

constexpr std::size_t kRecordHeader = 5;

std::uint32_t read_u32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

void put_u32(std::vector<unsigned char>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<unsigned char>(value >> shift));
    }
}

// Well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF), no zero bytes, and
// no control characters unless `multiline` allows tab, line feed and carriage return.
bool valid_utf8(std::string_view text, bool multiline) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            const bool allowed_control =
                multiline && (lead == '\t' || lead == '\n' || lead == '\r');
            if ((lead < 0x20 || lead == 0x7F) && !allowed_control) {
                return false;
            }
            ++i;
            continue;
        }
        int extra = 0;
        std::uint32_t code = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            code = lead & 0x07;
        } else {
            return false;
        }
        if (text.size() - i <= static_cast<std::size_t>(extra)) {
            return false;
        }
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = code << 6 | (next & 0x3F);
        }
        const std::uint32_t smallest[] = {0, 0x80, 0x800, 0x10000};
        if (code < smallest[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

bool valid_name(std::string_view name) {
    return !name.empty() && name.size() <= kMaxName && valid_utf8(name, false);
}

bool valid_style(std::string_view style) {
    return !style.empty() && style.size() <= kMaxStyle &&
           std::all_of(style.begin(), style.end(), [](char c) {
               return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
           });
}

bool valid_style_sheet(std::string_view sheet) {
    return sheet.size() <= kMaxStyleSheet && valid_utf8(sheet, true);
}

bool valid_colour(std::uint8_t group, std::uint8_t role) {
    return group < kGroupCount && role >= 1 && role <= kRoleCount;
}

int colour_slot(const Colour& colour) {
    return static_cast<int>(colour.group) * kRoleCount + static_cast<int>(colour.role) - 1;
}

// The payload's records, checked one by one; kOk with `skin` filled in when all are sound.
SkinError parse_records(std::span<const unsigned char> payload, Skin& skin) {
    std::bitset<kGroupCount * kRoleCount> seen_colours;
    bool seen_name = false;
    bool seen_style = false;
    bool seen_sheet = false;
    std::size_t at = 0;
    while (at < payload.size()) {
        if (payload.size() - at < kRecordHeader) {
            return kBadRecord;
        }
        const std::uint8_t tag = payload[at];
        const std::uint32_t length = read_u32(payload.data() + at + 1);
        at += kRecordHeader;
        if (length > payload.size() - at) {
            return kBadRecord;
        }
        const auto value = payload.subspan(at, length);
        const std::string_view text(reinterpret_cast<const char*>(value.data()), value.size());
        at += length;
        switch (tag) {
        case kTagName:
            if (seen_name || !valid_name(text)) {
                return kBadRecord;
            }
            seen_name = true;
            skin.name = text;
            break;
        case kTagStyle:
            if (seen_style || !valid_style(text)) {
                return kBadRecord;
            }
            seen_style = true;
            skin.style = text;
            break;
        case kTagStyleSheet:
            if (seen_sheet || !valid_style_sheet(text)) {
                return kBadRecord;
            }
            seen_sheet = true;
            skin.style_sheet = text;
            break;
        case kTagColour: {
            if (length != 5 || !valid_colour(value[0], value[1])) {
                return kBadRecord;
            }
            const Colour colour{ColourGroup(value[0]), ColourRole(value[1]),
                                Rgb{value[2], value[3], value[4]}};
            const int slot = colour_slot(colour);
            if (seen_colours.test(slot)) {
                return kBadRecord;
            }
            seen_colours.set(slot);
            skin.colours.push_back(colour);
            break;
        }
        default:
            return kBadRecord;
        }
    }
    if (!seen_name) {
        return kIncomplete;
    }
    for (ColourRole role : kRequiredRoles) {
        if (!seen_colours.test(colour_slot(Colour{ColourGroup::kAll, role, {}}))) {
            return kIncomplete;
        }
    }
    return kOk;
}

void put_record(std::vector<unsigned char>& out, Tag tag, std::span<const unsigned char> value) {
    out.push_back(tag);
    put_u32(out, static_cast<std::uint32_t>(value.size()));
    out.insert(out.end(), value.begin(), value.end());
}

std::span<const unsigned char> as_bytes(const std::string& text) {
    return {reinterpret_cast<const unsigned char*>(text.data()), text.size()};
}

} // namespace

std::uint32_t crc32(std::span<const unsigned char> bytes) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc = table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

ParsedSkin parse_skin(std::span<const unsigned char> bytes) {
    ParsedSkin result;
    if (bytes.data() == nullptr || bytes.empty()) {
        result.error = kNoSkin;
        return result;
    }
    if (bytes.size() < kSkinMagic.size() ||
        !std::equal(kSkinMagic.begin(), kSkinMagic.end(), bytes.begin())) {
        result.error = kForeign;
        return result;
    }
    if (bytes.size() < kHeaderSize || bytes.size() > kMaxSkinSize) {
        result.error = kBadLength;
        return result;
    }
    if (bytes[5] != kSkinVersion || bytes[6] != 0 || bytes[7] != 0) {
        result.error = kBadVersion;
        return result;
    }
    const std::uint32_t payload_length = read_u32(bytes.data() + 8);
    if (payload_length != bytes.size() - kHeaderSize) {
        result.error = kBadLength;
        return result;
    }
    const auto payload = bytes.subspan(kHeaderSize);
    if (crc32(payload) != read_u32(bytes.data() + 12)) {
        result.error = kBadChecksum;
        return result;
    }
    Skin skin;
    result.error = parse_records(payload, skin);
    if (result.error == kOk) {
        result.skin = std::move(skin);
    }
    return result;
}

std::vector<unsigned char> encode_skin(const Skin& skin) {
    std::vector<unsigned char> payload;
    put_record(payload, kTagName, as_bytes(skin.name));
    if (!skin.style.empty()) {
        put_record(payload, kTagStyle, as_bytes(skin.style));
    }
    for (const Colour& colour : skin.colours) {
        const unsigned char value[] = {static_cast<unsigned char>(colour.group),
                                       static_cast<unsigned char>(colour.role), colour.rgb.red,
                                       colour.rgb.green, colour.rgb.blue};
        put_record(payload, kTagColour, value);
    }
    if (!skin.style_sheet.empty()) {
        put_record(payload, kTagStyleSheet, as_bytes(skin.style_sheet));
    }

    std::vector<unsigned char> out = seal_payload(payload);
    // Whatever the reader would refuse is not written at all.
    if (parse_skin(out).error != kOk) {
        return {};
    }
    return out;
}

std::vector<unsigned char> seal_payload(std::span<const unsigned char> payload) {
    std::vector<unsigned char> out(kSkinMagic.begin(), kSkinMagic.end());
    out.push_back(kSkinVersion);
    out.push_back(0);
    out.push_back(0);
    put_u32(out, static_cast<std::uint32_t>(payload.size()));
    put_u32(out, crc32(payload));
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

double relative_luminance(double red, double green, double blue) {
    auto linear = [](double v) {
        v /= 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(red) + 0.7152 * linear(green) + 0.0722 * linear(blue);
}

double contrast_ratio(double luminance_a, double luminance_b) {
    return (std::max(luminance_a, luminance_b) + 0.05) /
           (std::min(luminance_a, luminance_b) + 0.05);
}

} // namespace tavelin::skin
