#pragma once
// The SMTP mail client: one connection for the whole process, opened by smtp_connect, used by
// smtp_send_mail and left open until the next smtp_connect or smtp_quit. Every operation holds
// the connection's lock from start to end, so calls from several threads take turns.
//
// Texts are code page 936. Address texts are lists of items separated by "," or ";", each a
// bare address or a display name followed by the address in angle brackets.

#include "runtime/text.h"

#include <optional>
#include <string_view>

namespace tavelin {

/// Ends an open connection with QUIT, then connects to the server (a dotted IPv4 address or a
/// host name; port 25 when absent or 0), awaits the greeting and logs in with LOGIN or PLAIN
/// when both account and password are non-empty and the server offers one of them. The reply
/// time-out (2000 ms when absent, below 1 taken as 1) bounds each wait for a reply; the TCP
/// connection attempt is bounded to 20 s. True when the connection is open and greeted and the
/// login, when one was made, succeeded; false leaves the connection closed.
bool smtp_connect(std::string_view server, std::optional<int> port = std::nullopt,
                  std::optional<std::string_view> account = std::nullopt,
                  std::optional<std::string_view> password = std::nullopt,
                  std::optional<int> reply_timeout_ms = std::nullopt);

/// Sends one mail over the open connection to every To, Cc and Bcc address (Bcc in no header),
/// with the body in Base64 and the subject and display names as encoded words when not ASCII;
/// Reply-To is the From text when absent or empty. Empty when the server accepted the mail,
/// otherwise the reason it failed. The connection stays open either way.
Text smtp_send_mail(std::string_view subject, std::string_view body, std::string_view to,
                    std::optional<std::string_view> cc, std::optional<std::string_view> bcc,
                    std::string_view from, std::optional<std::string_view> reply_to = std::nullopt);

/// Ends an open connection with QUIT, awaiting the reply up to the reply time-out, and closes
/// it; does nothing when none is open. Called once at program exit.
void smtp_quit();

/// The reason the last smtp_connect or smtp_send_mail failed, in the texts smtp_send_mail
/// returns; empty when it succeeded.
[[nodiscard]] Text smtp_last_error();

} // namespace tavelin
