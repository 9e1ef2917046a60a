#pragma once
// The internet client: open / connect / open-request / send / read / query-headers / close steps
// with the meaning the request routine expects of them, over libcurl, plus the process-wide
// cookie store that every request shares unless it asks for no cookies.
//
// Handles are closed by resetting them; a child handle keeps its own copy of what it needs, so
// closing in any order is safe. Each request transfers the whole response when it is sent and
// hands the body out afterwards. Failures are null handles, false and 0; nothing throws.

#include "runtime/text.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tavelin {

// Request flags, with the values and meanings the request routine passes.
inline constexpr std::uint32_t kInternetFlagReload = 0x80000000;         ///< never from a cache
inline constexpr std::uint32_t kInternetFlagNeedFile = 0x00000010;       ///< no effect here
inline constexpr std::uint32_t kInternetFlagNoCookies = 0x00080000;      ///< cookie store not used
inline constexpr std::uint32_t kInternetFlagNoAutoRedirect = 0x00200000; ///< 3xx returned as is
inline constexpr std::uint32_t kInternetFlagSecure = 0x00800000;         ///< HTTPS
/// Automatic redirects may go from http to https (otherwise they stay on the request's scheme).
inline constexpr std::uint32_t kInternetFlagIgnoreRedirectToHttps = 0x00004000;

/// The agent text sent when a caller gives none.
inline constexpr std::string_view kDefaultAgent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; KORVA; .NET CLR 2.0.50727; .NET CLR "
    "3.0.04506.648; .NET CLR 3.5.21022)";

enum class InternetAccess {
    direct = 1, ///< no proxy, whatever the environment says
    proxy = 3,  ///< the proxy list given to internet_open
};

struct InternetRoot;
struct InternetConnection;
struct InternetRequest;
struct InternetCloser {
    void operator()(InternetRoot* handle) const;
    void operator()(InternetConnection* handle) const;
    void operator()(InternetRequest* handle) const;
};
using InternetRootHandle = std::unique_ptr<InternetRoot, InternetCloser>;
using InternetConnectionHandle = std::unique_ptr<InternetConnection, InternetCloser>;
using InternetRequestHandle = std::unique_ptr<InternetRequest, InternetCloser>;

/// A root handle with the agent text and, for InternetAccess::proxy, a proxy list of entries
/// "scheme=host:port" or "host:port" (every scheme) separated by spaces or ";"; an entry with an
/// empty server means no proxy for its scheme. Null when the client cannot start.
[[nodiscard]] InternetRootHandle internet_open(std::string_view agent, InternetAccess access,
                                               std::string_view proxy_list = {});

/// A connection handle to the server and port (0 = the scheme's default); nothing is resolved
/// yet. Null for an empty server name or a port outside 0..65535.
[[nodiscard]] InternetConnectionHandle internet_connect(const InternetRoot& root,
                                                        std::string_view server, std::int32_t port);

/// A request handle for the verb and object name (path and query) with "HTTP/1.0" or "HTTP/1.1"
/// and the flags above. Null for an empty verb.
[[nodiscard]] InternetRequestHandle
http_open_request(const InternetConnection& connection, std::string_view verb,
                  std::string_view object_name, std::string_view version, std::uint32_t flags);

/// Sends the request with the header lines (separated by "\r\n", sent in their order; lines
/// without a value are left out) and the body (null = none) and receives the whole response. False
/// when no complete response arrived; whatever arrived can still be read and queried.
bool http_send_request(InternetRequest& request, std::string_view headers, const Bytes* body);

/// Copies up to size further bytes of the body into buffer; the count, 0 at the end.
std::uint32_t internet_read_file(InternetRequest& request, char* buffer, std::uint32_t size);

/// How many bytes of the body are left to read.
[[nodiscard]] std::uint32_t internet_query_data_available(const InternetRequest& request);

/// Writes the final response's status line and header lines, joined by "\r\n", with a zero byte
/// after them into buffer, and their length into length. When no response arrived, or the block
/// and its zero byte do not fit into length bytes, writes nothing and returns false (length then
/// holds the size needed, or is unchanged).
bool http_query_raw_headers(const InternetRequest& request, char* buffer, std::uint32_t& length);

/// One plain GET of the address (redirects followed, the cookie store used, the default agent);
/// the body, empty on failure.
[[nodiscard]] Bytes read_web_file_plain(std::string_view url);

// ---- the process-wide cookie store

/// One cookie of the store.
struct Cookie {
    std::string domain;      ///< host name; given without a leading dot (one is ignored)
    bool include_subdomains; ///< false: host-only cookie
    std::string path;
    bool secure;
    std::int64_t expires; ///< unix seconds; 0 = session cookie
    std::string name;
    std::string value;
    bool http_only;
};

/// Puts a cookie into the store, replacing one of the same domain, path and name; a cookie whose
/// expiry lies in the past removes that one. Ignored without a domain or a name, or with a tab
/// or line break in a field.
void import_cookie(const Cookie& cookie);

/// Every cookie the store holds now.
[[nodiscard]] std::vector<Cookie> cookie_store_snapshot();

/// Empties the store.
void clear_cookie_store();

/// The function called, on the thread of the request, for each cookie that a response set,
/// changed or removed in the store (a removed one comes with an expiry in the past, 1). An empty
/// function stops the calls.
void set_cookie_listener(std::function<void(const Cookie&)> listener);

/// Trusts only the certificate authorities of this PEM file for HTTPS; empty (the default, unless
/// TAVELIN_CA_FILE names a file) means the system's store.
void set_certificate_authorities(std::string pem_path);

} // namespace tavelin
