#include "skin/skin_data.h"
#include "skin/skin_format.h"
#include "skin/skin_library.h"
#include "skin_test_app.h"

#include <QCoreApplication>
#include <QTextEdit>
#include <cmath>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace tavelin::skin {
namespace {

using Buffer = std::vector<unsigned char>;

Buffer shipped(int number) {
    const auto bytes = skin_bytes(number);
    return Buffer(bytes.begin(), bytes.end());
}

Rgb window_of(const Buffer& bytes) {
    const ParsedSkin parsed = parse_skin(bytes);
    for (const Colour& c : parsed.skin.colours) {
        if (c.group == ColourGroup::kAll && c.role == ColourRole::kWindow) {
            return c.rgb;
        }
    }
    return {};
}

QColor qt(Rgb rgb) {
    return QColor(rgb.red, rgb.green, rgb.blue);
}

std::int32_t attach(SkinAttachRes function, const Buffer& bytes) {
    return function(bytes.data(), static_cast<std::int32_t>(bytes.size()), "", 0, 0, 0);
}

/// What a skin changes in the application.
struct Look {
    QPalette palette;
    QString style_sheet;
    bool operator==(const Look&) const = default;
};

Look current_look() {
    return {QApplication::palette(), qApp->styleSheet()};
}

class SkinLibrary : public ::testing::Test {
protected:
    test::OffscreenApp app_;
    SkinAttachRes attach_ = test::built_attach_res();

    void SetUp() override { ASSERT_NE(attach_, nullptr) << ::dlerror(); }
};

TEST_F(SkinLibrary, ValidSkinGivesTheApplicationItsLook) {
    const Buffer skin = shipped(4);
    ASSERT_EQ(attach(attach_, skin), kOk);
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), qt(window_of(skin)));
    EXPECT_EQ(qApp->styleSheet().toStdString(), parse_skin(skin).skin.style_sheet);
}

TEST_F(SkinLibrary, LaterSkinReplacesTheEarlierOne) {
    ASSERT_EQ(attach(attach_, shipped(4)), kOk);
    ASSERT_EQ(attach(attach_, shipped(5)), kOk);
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), qt(window_of(shipped(5))));
    EXPECT_EQ(qApp->styleSheet().toStdString(), parse_skin(shipped(5)).skin.style_sheet);
}

TEST_F(SkinLibrary, RefusedCallsLeaveTheApplicationAsItWas) {
    ASSERT_EQ(attach(attach_, shipped(7)), kOk);
    const Look before = current_look();

    const Buffer good = shipped(4);
    Buffer damaged = good;
    damaged[damaged.size() / 2] ^= 0x04;
    const Buffer foreign = {'M', 'Z', 0x90, 0, 3, 0, 0, 0, 4, 0, 0, 0, 0xFF, 0xFF, 0, 0};
    Skin unknown_style = parse_skin(good).skin;
    unknown_style.style = "NoSuchStyle";
    const Buffer strange = encode_skin(unknown_style);
    ASSERT_FALSE(strange.empty());
    struct Case {
        const char* what;
        const unsigned char* skin;
        std::int32_t length;
        const char* options;
        std::int32_t reserved;
        std::int32_t expected;
    } cases[] = {
        {"no address", nullptr, 100, "", 0, kNoSkin},
        {"length 0", good.data(), 0, "", 0, kNoSkin},
        {"negative length", good.data(), -5, "", 0, kNoSkin},
        {"damaged", damaged.data(), std::int32_t(damaged.size()), "", 0, kBadChecksum},
        {"truncated", good.data(), std::int32_t(good.size() - 1), "", 0, kBadLength},
        {"foreign", foreign.data(), std::int32_t(foreign.size()), "", 0, kForeign},
        {"text not empty", good.data(), std::int32_t(good.size()), "x", 0, kReservedNotZero},
        {"integer not 0", good.data(), std::int32_t(good.size()), "", 1, kReservedNotZero},
        {"unknown style", strange.data(), std::int32_t(strange.size()), "", 0, kUnknownStyle},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(attach_(c.skin, c.length, c.options, 0, c.reserved, 0), c.expected);
        EXPECT_TRUE(current_look() == before);
    }
    // A null text counts as empty.
    EXPECT_EQ(attach_(good.data(), std::int32_t(good.size()), nullptr, 0, 0, 0), kOk);
}

TEST_F(SkinLibrary, CallFromAnotherThreadIsRefused) {
    const Look before = current_look();
    std::int32_t result = kOk;
    std::thread([&] { result = attach(attach_, shipped(4)); }).join();
    EXPECT_EQ(result, kNoApplication);
    EXPECT_TRUE(current_look() == before);
}

double contrast(const QColor& a, const QColor& b) {
    return contrast_ratio(relative_luminance(a.red(), a.green(), a.blue()),
                          relative_luminance(b.red(), b.green(), b.blue()));
}

TEST_F(SkinLibrary, DisabledDisplayBoxesStayLegibleInEverySkin) {
    for (int number = 1; number <= kSkinCount; ++number) {
        SCOPED_TRACE(number);
        ASSERT_EQ(attach(attach_, shipped(number)), kOk);
        QTextEdit box;
        box.setEnabled(false);
        box.ensurePolished();
        const QPalette palette = box.palette();
        EXPECT_GE(contrast(palette.color(QPalette::Disabled, QPalette::Text),
                           palette.color(QPalette::Disabled, QPalette::Base)),
                  7.0);
    }
}

TEST(SkinLibraryWithoutWidgets, RefusesWithoutAQApplication) {
    const SkinAttachRes attach_res = test::built_attach_res();
    ASSERT_NE(attach_res, nullptr);
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    EXPECT_EQ(attach(attach_res, shipped(4)), kNoApplication);

    int argc = 1;
    char name[] = "skin_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication core(argc, argv);
    EXPECT_EQ(attach(attach_res, shipped(4)), kNoApplication);
}

} // namespace
} // namespace tavelin::skin
