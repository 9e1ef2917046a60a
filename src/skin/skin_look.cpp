#include "skin/skin_look.h"

#include "skin/skin_library.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>
#include <QThread>
#include <memory>

namespace tavelin::skin {
namespace {

QPalette::ColorRole qt_role(ColourRole role) {
    switch (role) {
    case ColourRole::kWindow:
        return QPalette::Window;
    case ColourRole::kWindowText:
        return QPalette::WindowText;
    case ColourRole::kBase:
        return QPalette::Base;
    case ColourRole::kAlternateBase:
        return QPalette::AlternateBase;
    case ColourRole::kText:
        return QPalette::Text;
    case ColourRole::kButton:
        return QPalette::Button;
    case ColourRole::kButtonText:
        return QPalette::ButtonText;
    case ColourRole::kBrightText:
        return QPalette::BrightText;
    case ColourRole::kHighlight:
        return QPalette::Highlight;
    case ColourRole::kHighlightedText:
        return QPalette::HighlightedText;
    case ColourRole::kToolTipBase:
        return QPalette::ToolTipBase;
    case ColourRole::kToolTipText:
        return QPalette::ToolTipText;
    case ColourRole::kPlaceholderText:
        return QPalette::PlaceholderText;
    case ColourRole::kLink:
        return QPalette::Link;
    case ColourRole::kLinkVisited:
        return QPalette::LinkVisited;
    case ColourRole::kLight:
        return QPalette::Light;
    case ColourRole::kMidlight:
        return QPalette::Midlight;
    case ColourRole::kMid:
        return QPalette::Mid;
    case ColourRole::kDark:
        return QPalette::Dark;
    case ColourRole::kShadow:
        return QPalette::Shadow;
    }
    return QPalette::NoRole;
}

QColor qt_colour(Rgb rgb) {
    return QColor(rgb.red, rgb.green, rgb.blue);
}

QColor find_colour(const Skin& skin, ColourRole role) {
    for (const Colour& colour : skin.colours) {
        if (colour.group == ColourGroup::kAll && colour.role == role) {
            return qt_colour(colour.rgb);
        }
    }
    return QColor();
}

} // namespace

QPalette skin_palette(const Skin& skin) {
    QPalette palette(find_colour(skin, ColourRole::kButton),
                     find_colour(skin, ColourRole::kWindow));
    // Colours for all groups first, so that a group's own colour wins whatever the file order.
    for (const Colour& colour : skin.colours) {
        if (colour.group == ColourGroup::kAll) {
            palette.setColor(qt_role(colour.role), qt_colour(colour.rgb));
        }
    }
    for (const Colour& colour : skin.colours) {
        if (colour.group != ColourGroup::kAll) {
            const auto group =
                colour.group == ColourGroup::kDisabled ? QPalette::Disabled : QPalette::Inactive;
            palette.setColor(group, qt_role(colour.role), qt_colour(colour.rgb));
        }
    }
    return palette;
}

std::int32_t apply_skin(const Skin& skin) {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app == nullptr || QThread::currentThread() != app->thread()) {
        return kNoApplication;
    }
    // Everything that can fail is settled before the application is touched.
    std::unique_ptr<QStyle> style;
    if (!skin.style.empty()) {
        style.reset(QStyleFactory::create(QString::fromLatin1(skin.style)));
        if (!style) {
            return kUnknownStyle;
        }
    }
    const QPalette palette = skin_palette(skin);
    if (style) {
        QApplication::setStyle(style.release());
    }
    QApplication::setPalette(palette);
    app->setStyleSheet(QString::fromUtf8(skin.style_sheet));
    return kOk;
}

} // namespace tavelin::skin
