#pragma once
// Names of the windows and controls the exam logic works with (their object names).

#include "runtime/desktop.h"

namespace tavelin {

inline constexpr ControlName kMainWindow = "启动窗口";
inline constexpr ControlName kHintWindow = "提示窗口";

inline constexpr ControlName kQuestionBox = "编辑框1";
inline constexpr ControlName kAnswerBox = "编辑框2";
inline constexpr ControlName kLinkBox = "编辑框链接";
inline constexpr ControlName kBrowserBox = "超文本浏览框1";
inline constexpr ControlName kGoToExamButton = "按钮2";
inline constexpr ControlName kNextButton = "按钮1";
inline constexpr ControlName kNextButtonTwin = "按钮3";
inline constexpr ControlName kReportButton = "按钮6";
inline constexpr ControlName kSendLinkButton = "按钮4";
inline constexpr ControlName kHintButton = "按钮5";
inline constexpr ControlName kRetakeButton = "按钮7";
inline constexpr ControlName kF1Label = "标签1";
inline constexpr ControlName kF3Label = "标签2";
inline constexpr ControlName kAnswerLabel = "标签3";
inline constexpr ControlName kAnimation = "图片框2";
inline constexpr ControlName kContactButton = "图形按钮1";
inline constexpr ControlName kHintPicture = "图片框1";

} // namespace tavelin
