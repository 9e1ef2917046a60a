#include "skin/skin_data.h"
#include "skin/skin_format.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

namespace tavelin::skin {
namespace {

using Buffer = std::vector<unsigned char>;

Skin small_skin() {
    Skin skin;
    skin.name = "Test";
    skin.style = "Fusion";
    unsigned char shade = 10;
    for (ColourRole role : kRequiredRoles) {
        skin.colours.push_back({ColourGroup::kAll, role, Rgb{shade, 20, 30}});
        shade += 20;
    }
    skin.colours.push_back({ColourGroup::kDisabled, ColourRole::kText, Rgb{1, 2, 3}});
    skin.style_sheet = "QLabel {\n\tcolor: #123456;\n}\n";
    return skin;
}

void put_u32(Buffer& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<unsigned char>(value >> shift));
    }
}

Buffer record(std::uint8_t tag, const std::string& value) {
    Buffer out{tag};
    put_u32(out, static_cast<std::uint32_t>(value.size()));
    out.insert(out.end(), value.begin(), value.end());
    return out;
}

Buffer colour_record(std::uint8_t group, std::uint8_t role) {
    return record(kTagColour, std::string{char(group), char(role), 'r', 'g', 'b'});
}

/// The required colours' records, all but `left_out` (0: none).
Buffer required_colours(int left_out = 0) {
    Buffer out;
    for (ColourRole role : kRequiredRoles) {
        if (static_cast<int>(role) != left_out) {
            const Buffer r = colour_record(0, static_cast<std::uint8_t>(role));
            out.insert(out.end(), r.begin(), r.end());
        }
    }
    return out;
}

/// A whole file around the payload, with a correct length and checksum.
Buffer seal(const Buffer& payload) {
    return seal_payload(payload);
}

Buffer join(std::initializer_list<Buffer> parts) {
    Buffer out;
    for (const Buffer& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

TEST(SkinCrc32, MatchesTheStandardCheckValue) {
    const std::string check = "123456789";
    EXPECT_EQ(crc32({reinterpret_cast<const unsigned char*>(check.data()), check.size()}),
              0xCBF43926u);
    EXPECT_EQ(crc32({}), 0u);
}

TEST(SkinFormat, EncodedSkinReadsBackUnchanged) {
    const Skin skin = small_skin();
    const Buffer bytes = encode_skin(skin);
    ASSERT_FALSE(bytes.empty());
    EXPECT_TRUE(std::equal(kSkinMagic.begin(), kSkinMagic.end(), bytes.begin()));
    const ParsedSkin parsed = parse_skin(bytes);
    ASSERT_EQ(parsed.error, kOk);
    EXPECT_EQ(parsed.skin, skin);
}

TEST(SkinFormat, SkinTheReaderWouldRefuseIsNotEncoded) {
    Skin nameless = small_skin();
    nameless.name.clear();
    EXPECT_TRUE(encode_skin(nameless).empty());
    Skin incomplete = small_skin();
    incomplete.colours.erase(incomplete.colours.begin());
    EXPECT_TRUE(encode_skin(incomplete).empty());
}

TEST(SkinFormat, DamagedOrForeignFilesAreRefusedWithTheirReason) {
    const Buffer good = encode_skin(small_skin());
    const Buffer name = record(kTagName, "Test");
    auto changed = [&](std::size_t at, unsigned char value) {
        Buffer b = good;
        b[at] = value;
        return b;
    };
    struct Case {
        const char* what;
        Buffer bytes;
        SkinError expected;
    };
    const Case cases[] = {
        {"empty", {}, kNoSkin},
        {"an executable", {'M', 'Z', 0x90, 0, 3, 0, 0, 0, 4, 0, 0, 0, 0xFF, 0xFF, 0, 0}, kForeign},
        {"magic without its zero byte", changed(4, 'X'), kForeign},
        {"only the magic", Buffer(kSkinMagic.begin(), kSkinMagic.end()), kBadLength},
        {"header cut short", Buffer(good.begin(), good.begin() + 12), kBadLength},
        {"last byte missing", Buffer(good.begin(), good.end() - 1), kBadLength},
        {"a byte too many", join({good, {0}}), kBadLength},
        {"newer version", changed(5, kSkinVersion + 1), kBadVersion},
        {"reserved bits set", changed(7, 1), kBadVersion},
        {"payload byte changed", changed(good.size() - 3, good[good.size() - 3] ^ 0x20),
         kBadChecksum},
        {"checksum changed", changed(12, good[12] ^ 1), kBadChecksum},
        {"unknown record", seal(join({name, required_colours(), record(9, "x")})), kBadRecord},
        {"record longer than the file",
         seal(join({name, required_colours(), Buffer{kTagStyleSheet, 0xFF, 0, 0, 0, 'a'}})),
         kBadRecord},
        {"record header cut short", seal(join({name, required_colours(), Buffer{kTagName, 1}})),
         kBadRecord},
        {"two names", seal(join({name, name, required_colours()})), kBadRecord},
        {"empty name", seal(join({record(kTagName, ""), required_colours()})), kBadRecord},
        {"name too long", seal(join({record(kTagName, std::string(65, 'n')), required_colours()})),
         kBadRecord},
        {"control character in name", seal(join({record(kTagName, "a\nb"), required_colours()})),
         kBadRecord},
        {"style with a space", seal(join({name, record(kTagStyle, "Fu sion"), required_colours()})),
         kBadRecord},
        {"colour of four bytes",
         seal(join({name, required_colours(), record(kTagColour, std::string(4, '\1'))})),
         kBadRecord},
        {"colour role 0", seal(join({name, required_colours(), colour_record(0, 0)})), kBadRecord},
        {"colour role past the last",
         seal(join({name, required_colours(), colour_record(0, kRoleCount + 1)})), kBadRecord},
        {"unknown colour group", seal(join({name, required_colours(), colour_record(3, 1)})),
         kBadRecord},
        {"colour given twice", seal(join({name, required_colours(), colour_record(0, 1)})),
         kBadRecord},
        {"style sheet not UTF-8",
         seal(join({name, required_colours(), record(kTagStyleSheet, "a\xC3(b")})), kBadRecord},
        {"style sheet with a zero byte",
         seal(join({name, required_colours(), record(kTagStyleSheet, std::string("a\0b", 3))})),
         kBadRecord},
        {"overlong UTF-8 in name", seal(join({record(kTagName, "\xC0\xAF"), required_colours()})),
         kBadRecord},
        {"no name", seal(required_colours()), kIncomplete},
        {"no highlight colour",
         seal(join({name, required_colours(static_cast<int>(ColourRole::kHighlight))})),
         kIncomplete},
        {"highlight only for disabled",
         seal(join({name, required_colours(static_cast<int>(ColourRole::kHighlight)),
                    colour_record(1, static_cast<std::uint8_t>(ColourRole::kHighlight))})),
         kIncomplete},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ParsedSkin parsed = parse_skin(c.bytes);
        EXPECT_EQ(parsed.error, c.expected);
        EXPECT_EQ(parsed.skin, Skin{});
    }
    // The crafted files are sound apart from the one fault each carries.
    EXPECT_EQ(parse_skin(seal(join({name, required_colours()}))).error, kOk);
}

TEST(SkinFormat, EveryTruncationAndEverySingleBitFlipIsRefused) {
    const auto shipped = skin_bytes(4);
    const Buffer good(shipped.begin(), shipped.end());
    ASSERT_EQ(parse_skin(good).error, kOk);
    for (std::size_t length = 0; length < good.size(); ++length) {
        ASSERT_NE(parse_skin(std::span(good).first(length)).error, kOk) << "length " << length;
    }
    Buffer damaged = good;
    for (std::size_t at = 0; at < damaged.size(); ++at) {
        for (int bit = 0; bit < 8; ++bit) {
            damaged[at] ^= static_cast<unsigned char>(1 << bit);
            ASSERT_NE(parse_skin(damaged).error, kOk) << "byte " << at << " bit " << bit;
            damaged[at] = good[at];
        }
    }
}

double contrast(Rgb a, Rgb b) {
    return contrast_ratio(relative_luminance(a.red, a.green, a.blue),
                          relative_luminance(b.red, b.green, b.blue));
}

Rgb colour_of(const Skin& skin, ColourGroup group, ColourRole role) {
    for (const Colour& c : skin.colours) {
        if (c.group == group && c.role == role) {
            return c.rgb;
        }
    }
    ADD_FAILURE() << "no colour " << int(role) << " in group " << int(group);
    return {};
}

TEST(ShippedSkins, AllThirtyThreeAreSoundDistinctAndLegible) {
    std::set<std::string> names;
    std::set<std::tuple<int, int, int, int, int, int>> looks;
    for (int number = 1; number <= kSkinCount; ++number) {
        SCOPED_TRACE(number);
        const ParsedSkin parsed = parse_skin(skin_bytes(number));
        ASSERT_EQ(parsed.error, kOk);
        const Skin& skin = parsed.skin;
        names.insert(skin.name);
        EXPECT_EQ(skin.style, "Fusion");
        EXPECT_NE(skin.style_sheet.find("QPushButton"), std::string::npos);
        const auto all = ColourGroup::kAll;
        const Rgb window = colour_of(skin, all, ColourRole::kWindow);
        const Rgb button = colour_of(skin, all, ColourRole::kButton);
        looks.insert(
            {window.red, window.green, window.blue, button.red, button.green, button.blue});
        const struct {
            ColourGroup group;
            ColourRole ink, background;
            double least;
        } pairs[] = {
            {all, ColourRole::kWindowText, ColourRole::kWindow, 7.0},
            {all, ColourRole::kText, ColourRole::kBase, 7.0},
            {all, ColourRole::kButtonText, ColourRole::kButton, 4.5},
            {all, ColourRole::kHighlightedText, ColourRole::kHighlight, 4.5},
            // The question and answer boxes are disabled edit boxes.
            {ColourGroup::kDisabled, ColourRole::kText, ColourRole::kBase, 7.0},
        };
        for (const auto& pair : pairs) {
            EXPECT_GE(contrast(colour_of(skin, pair.group, pair.ink),
                               colour_of(skin, pair.group, pair.background)),
                      pair.least)
                << "roles " << int(pair.ink) << " on " << int(pair.background);
        }
    }
    EXPECT_EQ(names.size(), 33u);
    EXPECT_EQ(looks.size(), 33u);
}

TEST(ShippedSkins, NumbersOutsideOneToThirtyThreeHaveNoSkin) {
    for (int number : {-1, 0, 34, 1000}) {
        SCOPED_TRACE(number);
        EXPECT_TRUE(skin_bytes(number).empty());
    }
    EXPECT_FALSE(skin_bytes(1).empty());
    EXPECT_FALSE(skin_bytes(33).empty());
}

} // namespace
} // namespace tavelin::skin
