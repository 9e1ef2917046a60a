// Builds the 33 skin files from the theme table: skin_maker <output directory>.
// Each theme's few colours become a full palette and a style sheet; every text colour is checked
// for contrast against its background, so an illegible skin stops the build instead of shipping.

#include "skin/skin_format.h"
#include "skin/tools/skin_themes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace tavelin::skin {
namespace {

// ---- colours

struct Rgbf {
    double r, g, b;
};

Rgbf from_hex(std::uint32_t hex) {
    return {double(hex >> 16 & 0xFF), double(hex >> 8 & 0xFF), double(hex & 0xFF)};
}

const Rgbf kWhite{255, 255, 255};
const Rgbf kBlack{0, 0, 0};

/// a moved the fraction t of the way to b.
Rgbf mix(Rgbf a, Rgbf b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb to_rgb(Rgbf c) {
    auto channel = [](double v) { return std::uint8_t(std::clamp(std::lround(v), 0L, 255L)); };
    return {channel(c.r), channel(c.g), channel(c.b)};
}

/// Rounded to bytes, as the file stores it, so that every check sees the shipped colour.
Rgbf rounded(Rgbf c) {
    const Rgb rgb = to_rgb(c);
    return {double(rgb.red), double(rgb.green), double(rgb.blue)};
}

double luminance(Rgbf c) {
    return relative_luminance(c.r, c.g, c.b);
}

double contrast(Rgbf a, Rgbf b) {
    return contrast_ratio(luminance(a), luminance(b));
}

/// The wanted colour, pushed toward black or white (whichever the background calls for) until it
/// reads on the background with the contrast asked for.
Rgbf readable_on(Rgbf background, Rgbf wanted, double ratio = 4.5) {
    const Rgbf far = contrast(background, kBlack) >= contrast(background, kWhite) ? kBlack : kWhite;
    for (double t = 0; t <= 1.0; t += 0.02) {
        const Rgbf c = rounded(mix(wanted, far, t));
        if (contrast(background, c) >= ratio) {
            return c;
        }
    }
    return far;
}

std::string css(Rgbf c) {
    const Rgb rgb = to_rgb(c);
    char out[8];
    std::snprintf(out, sizeof out, "#%02x%02x%02x", rgb.red, rgb.green, rgb.blue);
    return out;
}

// ---- the look derived from a theme

struct Look {
    Rgbf window, text, label, base, edit_text, panel, panel_text, edge, accent, selected_text;
    Rgbf button_top, button_bottom, button_edge, button_text;
    Rgbf hover_top, hover_bottom, pressed_top, pressed_bottom;
    Rgbf disabled_face, disabled_text, disabled_edge;
    bool dark;
    int radius;
};

Look derive(const Theme& theme) {
    Look k{};
    k.window = from_hex(theme.window);
    k.base = from_hex(theme.base);
    k.panel = from_hex(theme.panel);
    k.accent = from_hex(theme.accent);
    k.dark = luminance(k.window) < 0.25;
    k.radius = theme.radius;
    const Rgbf text = from_hex(theme.text);
    k.text = readable_on(k.window, text, 7.0);
    // Captions carry a little of the accent, as long as they stay clearly legible.
    k.label = readable_on(k.window, mix(text, k.accent, 0.35), 7.0);
    k.edit_text = readable_on(k.base, text, 7.0);
    k.panel_text = readable_on(k.panel, text, 7.0);
    k.edge = rounded(mix(k.window, text, k.dark ? 0.30 : 0.35));
    k.selected_text = readable_on(k.accent, k.dark ? kBlack : kWhite);

    const Rgbf lift = k.dark ? kWhite : kBlack;
    switch (theme.shape) {
    case kGloss:
        k.button_top = rounded(mix(k.accent, kWhite, 0.22));
        k.button_bottom = k.accent;
        k.button_edge = rounded(mix(k.accent, kBlack, 0.30));
        k.hover_top = rounded(mix(k.accent, kWhite, 0.32));
        k.hover_bottom = rounded(mix(k.accent, kWhite, 0.08));
        k.pressed_top = rounded(mix(k.accent, kBlack, 0.15));
        k.pressed_bottom = rounded(mix(k.accent, kBlack, 0.03));
        break;
    case kFlat:
        k.button_top = k.button_bottom = k.accent;
        k.button_edge = rounded(mix(k.accent, kBlack, 0.15));
        k.hover_top = k.hover_bottom = rounded(mix(k.accent, kWhite, 0.14));
        k.pressed_top = k.pressed_bottom = rounded(mix(k.accent, kBlack, 0.16));
        break;
    case kOutline: {
        const Rgbf face = rounded(mix(k.window, k.base, 0.6));
        k.button_top = k.button_bottom = face;
        k.button_edge = k.accent;
        k.hover_top = k.hover_bottom = rounded(mix(face, k.accent, 0.10));
        k.pressed_top = k.pressed_bottom = rounded(mix(face, k.accent, 0.22));
        break;
    }
    }
    // White ink on coloured buttons wherever it reads well, as it looks cleanest; else dark ink.
    const Rgbf middle = mix(k.button_top, k.button_bottom, 0.5);
    const Rgbf dark_ink = rounded(mix(k.accent, kBlack, 0.85));
    if (theme.shape == kOutline) {
        k.button_text = readable_on(k.pressed_top, k.accent);
    } else if (contrast(kWhite, middle) >= 4.5 && contrast(kWhite, k.hover_top) >= 3.0) {
        k.button_text = kWhite;
    } else {
        k.button_text = dark_ink;
    }
    k.disabled_face = rounded(mix(k.window, lift, 0.06));
    k.disabled_text = rounded(mix(k.window, text, 0.45));
    k.disabled_edge = rounded(mix(k.window, text, 0.20));
    return k;
}

/// False, with a message, when some text would not read well on its background.
bool legible(const Theme& theme, const Look& k) {
    const Rgbf button_middle = mix(k.button_top, k.button_bottom, 0.5);
    const struct {
        const char* what;
        Rgbf ink, background;
        double least;
    } pairs[] = {
        {"text on window", k.text, k.window, 7.0},
        {"caption on window", k.label, k.window, 7.0},
        {"edit text", k.edit_text, k.base, 7.0},
        {"display box text", k.panel_text, k.panel, 7.0},
        {"button caption", k.button_text, button_middle, 4.5},
        {"button caption, lightest face", k.button_text, k.hover_top, 3.0},
        {"button caption, darkest face", k.button_text, k.pressed_top, 3.0},
        {"selected text", k.selected_text, k.accent, 4.5},
        {"disabled caption", k.disabled_text, k.disabled_face, 2.0},
    };
    bool ok = true;
    for (const auto& pair : pairs) {
        const double ratio = contrast(pair.ink, pair.background);
        if (ratio < pair.least) {
            std::fprintf(stderr, "skin %s: %s has contrast %.2f, below %.1f\n", theme.name,
                         pair.what, ratio, pair.least);
            ok = false;
        }
    }
    return ok;
}

std::vector<Colour> palette(const Look& k) {
    const Rgbf button = rounded(mix(k.button_top, k.button_bottom, 0.5));
    const Rgbf link = readable_on(k.base, k.accent);
    const struct {
        ColourGroup group;
        ColourRole role;
        Rgbf rgb;
    } rows[] = {
        {ColourGroup::kAll, ColourRole::kWindow, k.window},
        {ColourGroup::kAll, ColourRole::kWindowText, k.text},
        {ColourGroup::kAll, ColourRole::kBase, k.base},
        {ColourGroup::kAll, ColourRole::kAlternateBase, mix(k.base, k.window, 0.5)},
        {ColourGroup::kAll, ColourRole::kText, k.edit_text},
        {ColourGroup::kAll, ColourRole::kButton, button},
        {ColourGroup::kAll, ColourRole::kButtonText, k.button_text},
        {ColourGroup::kAll, ColourRole::kBrightText, k.dark ? kBlack : kWhite},
        {ColourGroup::kAll, ColourRole::kHighlight, k.accent},
        {ColourGroup::kAll, ColourRole::kHighlightedText, k.selected_text},
        {ColourGroup::kAll, ColourRole::kToolTipBase, mix(k.base, k.accent, 0.08)},
        {ColourGroup::kAll, ColourRole::kToolTipText, k.edit_text},
        {ColourGroup::kAll, ColourRole::kPlaceholderText, mix(k.base, k.edit_text, 0.5)},
        {ColourGroup::kAll, ColourRole::kLink, link},
        {ColourGroup::kAll, ColourRole::kLinkVisited, mix(link, k.edit_text, 0.4)},
        {ColourGroup::kAll, ColourRole::kLight, mix(k.window, kWhite, k.dark ? 0.15 : 0.6)},
        {ColourGroup::kAll, ColourRole::kMidlight, mix(k.window, kWhite, k.dark ? 0.08 : 0.3)},
        {ColourGroup::kAll, ColourRole::kMid, mix(k.window, kBlack, 0.25)},
        {ColourGroup::kAll, ColourRole::kDark, mix(k.window, kBlack, 0.45)},
        {ColourGroup::kAll, ColourRole::kShadow, mix(k.window, kBlack, 0.7)},
        // The display boxes are disabled edit boxes: their text must stay fully legible.
        {ColourGroup::kDisabled, ColourRole::kBase, k.panel},
        {ColourGroup::kDisabled, ColourRole::kText, k.panel_text},
        {ColourGroup::kDisabled, ColourRole::kWindowText, k.disabled_text},
        {ColourGroup::kDisabled, ColourRole::kButton, k.disabled_face},
        {ColourGroup::kDisabled, ColourRole::kButtonText, k.disabled_text},
    };
    std::vector<Colour> out;
    for (const auto& row : rows) {
        out.push_back({row.group, row.role, to_rgb(row.rgb)});
    }
    return out;
}

/// Replaces each {key} of the template by its value.
std::string fill(std::string sheet, const std::vector<std::pair<std::string, std::string>>& keys) {
    for (const auto& [key, value] : keys) {
        const std::string marker = "{" + key + "}";
        for (std::size_t at = sheet.find(marker); at != std::string::npos;
             at = sheet.find(marker, at + value.size())) {
            sheet.replace(at, marker.size(), value);
        }
    }
    return sheet;
}

// No font is set here: the program chooses its controls' fonts and sizes itself.
constexpr const char* kSheet = R"(QLabel {
    color: {label};
    background: transparent;
}
QLabel:disabled {
    color: {disabled_text};
}
QPushButton, QToolButton {
    color: {button_text};
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 {button_top}, stop:1 {button_bottom});
    border: 1px solid {button_edge};
    border-radius: {radius}px;
    padding: 1px 2px;
}
QPushButton:hover, QToolButton:hover {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 {hover_top}, stop:1 {hover_bottom});
}
QPushButton:pressed, QToolButton:pressed, QPushButton:checked, QToolButton:checked {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 {pressed_top}, stop:1 {pressed_bottom});
    padding-top: 3px;
    padding-bottom: 1px;
}
QPushButton:focus, QToolButton:focus {
    border-color: {focus};
}
QPushButton:disabled, QToolButton:disabled {
    color: {disabled_text};
    background: {disabled_face};
    border-color: {disabled_edge};
}
QPushButton[flat="true"], QToolButton[autoRaise="true"] {
    background: transparent;
    border: 1px solid transparent;
}
QPushButton[flat="true"]:hover, QToolButton[autoRaise="true"]:hover {
    border-color: {edge};
}
QMessageBox QPushButton, QDialogButtonBox QPushButton {
    min-width: 72px;
    min-height: 22px;
}
QLineEdit, QTextEdit, QPlainTextEdit {
    color: {edit_text};
    background: {base};
    border: 1px solid {edge};
    border-radius: {box_radius}px;
    selection-background-color: {accent};
    selection-color: {selected_text};
}
QLineEdit {
    padding: 1px 4px;
}
QLineEdit:focus, QTextEdit:focus, QPlainTextEdit:focus {
    border-color: {accent};
}
QLineEdit:disabled, QTextEdit:disabled, QPlainTextEdit:disabled {
    color: {panel_text};
    background: {panel};
    border: none;
}
QToolTip {
    color: {edit_text};
    background: {tip};
    border: 1px solid {edge};
}
)";

std::string style_sheet(const Look& k) {
    const Rgbf focus = k.dark ? mix(k.accent, kWhite, 0.5) : mix(k.accent, kBlack, 0.45);
    return fill(kSheet, {
                            {"label", css(k.label)},
                            {"disabled_text", css(k.disabled_text)},
                            {"disabled_face", css(k.disabled_face)},
                            {"disabled_edge", css(k.disabled_edge)},
                            {"button_text", css(k.button_text)},
                            {"button_top", css(k.button_top)},
                            {"button_bottom", css(k.button_bottom)},
                            {"button_edge", css(k.button_edge)},
                            {"hover_top", css(k.hover_top)},
                            {"hover_bottom", css(k.hover_bottom)},
                            {"pressed_top", css(k.pressed_top)},
                            {"pressed_bottom", css(k.pressed_bottom)},
                            {"focus", css(focus)},
                            {"radius", std::to_string(k.radius)},
                            {"box_radius", std::to_string(std::min(k.radius, 4))},
                            {"edge", css(k.edge)},
                            {"edit_text", css(k.edit_text)},
                            {"base", css(k.base)},
                            {"accent", css(k.accent)},
                            {"selected_text", css(k.selected_text)},
                            {"panel_text", css(k.panel_text)},
                            {"panel", css(k.panel)},
                            {"tip", css(mix(k.base, k.accent, 0.08))},
                        });
}

} // namespace
} // namespace tavelin::skin

int main(int argc, char** argv) {
    using namespace tavelin::skin;
    if (argc != 2) {
        std::fprintf(stderr, "usage: skin_maker <output directory>\n");
        return 2;
    }
    bool ok = true;
    for (std::size_t i = 0; i < kThemes.size(); ++i) {
        const Theme& theme = kThemes[i];
        const Look look = derive(theme);
        if (!legible(theme, look)) {
            ok = false;
            continue;
        }
        const Skin skin{theme.name, "Fusion", palette(look), style_sheet(look)};
        const std::vector<unsigned char> bytes = encode_skin(skin);
        char name[32];
        std::snprintf(name, sizeof name, "/skin%02zu.she", i + 1);
        std::ofstream out(std::string(argv[1]) + name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (bytes.empty() || !out.flush()) {
            std::fprintf(stderr, "skin %s: cannot be written\n", theme.name);
            ok = false;
        }
    }
    return ok ? 0 : 1;
}
