#pragma once
// Every address the program has built in. The hosts are under a reserved domain so that tests
// can map them to a local server.

#include <string_view>

namespace tavelin {

/// The exam site's home page, shown first in the browser box.
inline constexpr std::string_view kExamHomePage = "http://exam.tavelin.example/";
/// The sample exam link the link box starts with.
inline constexpr std::string_view kSampleExamLink =
    "http://exam.tavelin.example/exam/exam-3f2a9c4e8b7d41e6a05c92f1d6e8b3a7-7.htm?spm=a1z0e.3.0.0";
/// The maker's instant-messenger contact page.
inline constexpr std::string_view kContactPage = "http://www.tavelin.example/contact.htm";
/// The page read once at start-up.
inline constexpr std::string_view kPingPage = "http://www.tavelin.example/ping.htm";
/// The report mail server and mailbox.
inline constexpr std::string_view kReportServer = "smtp.tavelin.example";
inline constexpr std::string_view kReportMailbox = "report@tavelin.example";

} // namespace tavelin
