#include "app/windows.h"

#include "app/addresses.h"
#include "exam/controls.h"
#include "runtime/codepage.h"

namespace tavelin {
namespace {

constexpr const char* kSong = "宋体";

ControlSpec control(ControlName name, ControlKind kind, int x, int y, int width, int height,
                    std::string_view utf8_text = {}) {
    ControlSpec layout;
    layout.name = std::string(name);
    layout.kind = kind;
    layout.x = x;
    layout.y = y;
    layout.width = width;
    layout.height = height;
    layout.text = cp936(utf8_text);
    return layout;
}

// The question and answer boxes: display only, centred, borderless, 宋体 at 16 pixels.
ControlSpec display_box(ControlName name, int x, int y) {
    ControlSpec layout = control(name, ControlKind::EditBox, x, y, 312, 64);
    layout.enabled = false;
    layout.multiline = true;
    layout.centred = true;
    layout.border = false;
    layout.font = kSong;
    layout.font_pixels = 16;
    return layout;
}

ControlSpec with_font(ControlSpec layout, int pixels, bool hand_cursor = false) {
    layout.font = kSong;
    layout.font_pixels = pixels;
    layout.hand_cursor = hand_cursor;
    return layout;
}

ControlSpec with_picture(ControlSpec layout, const char* resource) {
    layout.picture = resource;
    return layout;
}

} // namespace

WindowSpec main_window() {
    using K = ControlKind;
    WindowSpec w;
    w.name = std::string(kMainWindow);
    w.caption = cp936("TavelinV3.14 卖家考试助手 · Tavelin 工作室出品");
    w.x = 50;
    w.y = 50;
    w.width = 964;
    w.height = 695;
    w.minimize_button = true;
    ControlSpec link = control(kLinkBox, K::EditBox, 304, 8, 489, 22);
    link.text = Text(kSampleExamLink);
    ControlSpec browser = control(kBrowserBox, K::Browser, -15, 184, 975, 488);
    browser.text = Text(kExamHomePage);
    w.controls = {
        display_box(kAnswerBox, 88, 120),
        control(kRetakeButton, K::Button, 424, 32, 96, 32, "重新考试"),
        with_font(control(kAnswerLabel, K::Label, 0, 112, 72, 48, "答案-->"), 19),
        with_font(control(kF3Label, K::Label, 0, 40, 80, 40, "问题-->"), 19),
        control(kF1Label, K::Label, 120, 8, 152, 24, "在此输入你的考试链接-->如"),
        with_picture(control(kAnimation, K::PictureBox, 608, 72, 88, 80), ":/pictures/spinner.gif"),
        with_picture(control(kContactButton, K::PictureButton, 8, -8, 56, 48),
                     ":/pictures/contact.png"),
        control(kGoToExamButton, K::Button, 808, 0, 80, 48, "转到该考试页"),
        link,
        display_box(kQuestionBox, 88, 48),
        control(kReportButton, K::Button, 400, 152, 400, 32,
                "若该问题没有答案！请按此键！我们将尽快更新数据库"),
        control(kHintButton, K::Button, 712, 32, 88, 32, "提示"),
        with_font(control(kNextButton, K::Button, 824, 56, 120, 120, "下一题\r\nF3"), 29, true),
        control(kSendLinkButton, K::Button, 552, 32, 120, 32, "发送链接请求代考"),
        with_font(control(kNextButtonTwin, K::Button, 824, 56, 120, 120, "下一题\r\nF3"), 32, true),
        browser,
    };
    return w;
}

WindowSpec hint_window() {
    WindowSpec w;
    w.name = std::string(kHintWindow);
    w.centred = true;
    w.width = 706;
    w.height = 400;
    w.controls = {with_picture(control(kHintPicture, ControlKind::PictureBox, 0, 0, 720, 376),
                               ":/pictures/hint.png")};
    return w;
}

} // namespace tavelin
