// web_request against the curl command, both fetching the same 1 MB page from a loopback server
// in the same run. Prints the medians and their ratio; the goal is a ratio of at most 1.2.
//
// The curl command pays for starting a process; its own transfer time (-w %{time_total}) is
// printed too, as the stricter comparison.

#include "support/http_server.h"
#include "web/request.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Runs curl on the address; its wall time, and its own transfer time in *transfer.
double run_curl(const std::string& url, double* transfer) {
    int out[2];
    if (::pipe(out) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<std::string> args = {
        "curl", "-s", "-o", "/dev/null", "--noproxy", "*", "-w", "%{time_total}", url};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    const auto start = Clock::now();
    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, "curl", &actions, nullptr, argv.data(), environ);
    ::close(out[1]);
    std::string printed;
    char buffer[256];
    ssize_t n;
    while ((n = ::read(out[0], buffer, sizeof buffer)) > 0)
        printed.append(buffer, static_cast<std::size_t>(n));
    int status = 0;
    if (spawned == 0)
        ::waitpid(pid, &status, 0);
    const double wall = seconds_since(start);
    ::close(out[0]);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    *transfer = std::stod(printed);
    return wall;
}

bool compare(const char* what, const std::string& url, std::size_t expected_size, int rounds) {
    std::vector<double> ours, curl_wall, curl_transfer;
    for (int i = 0; i < rounds + 3; ++i) {
        const auto start = Clock::now();
        const tavelin::Bytes page = tavelin::web_request(url);
        const double t = seconds_since(start);
        if (page.size() != expected_size) {
            std::fprintf(stderr, "web_request returned %zu bytes, not %zu\n", page.size(),
                         expected_size);
            return false;
        }
        double transfer = 0;
        const double wall = run_curl(url, &transfer);
        if (wall < 0) {
            std::fprintf(stderr, "the curl command failed\n");
            return false;
        }
        if (i < 3)
            continue; // warming up
        ours.push_back(t);
        curl_wall.push_back(wall);
        curl_transfer.push_back(transfer);
    }
    const double m_ours = median(ours), m_wall = median(curl_wall),
                 m_transfer = median(curl_transfer);
    std::printf("%s, %d rounds, medians:\n", what, rounds);
    std::printf("  web_request          %8.3f ms\n", m_ours * 1000);
    std::printf("  curl command (wall)  %8.3f ms   ratio web_request / curl = %.2f\n",
                m_wall * 1000, m_ours / m_wall);
    std::printf("  curl time_total      %8.3f ms   ratio web_request / curl = %.2f\n",
                m_transfer * 1000, m_ours / m_transfer);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 31;
    constexpr std::size_t kPageSize = 1 << 20;

    std::string ascii_page = "<html><body>";
    while (ascii_page.size() < kPageSize - 16)
        ascii_page += "<p>question 0123456789 abcdefghijklmnopqrstuvwxyz</p>\n";
    ascii_page.resize(kPageSize - 14, 'x');
    ascii_page += "</body></html>";

    // The same size in UTF-8 with a declaration, so that the page is converted to code page 936.
    std::string utf8_page = "<meta charset=utf-8>";
    while (utf8_page.size() < kPageSize - 64)
        utf8_page += "<p>\xE9\x97\xAE\xE9\xA2\x98 question</p>\n"; // 问题
    utf8_page.resize(kPageSize, 'x');

    tavelin::test::HttpServer server([&](const tavelin::test::HttpRecord& request) {
        const bool utf8 = request.request_line().find("/utf8") != std::string::npos;
        return tavelin::test::http_reply("HTTP/1.1 200 OK", "Content-Type: text/html",
                                         utf8 ? utf8_page : ascii_page);
    });
    if (server.port() == 0) {
        std::fprintf(stderr, "no loopback server\n");
        return 1;
    }
    const std::size_t utf8_decoded_size = tavelin::web_request(server.url("/utf8")).size();
    const bool ok = compare("1 MB ASCII page", server.url("/page"), kPageSize, rounds) &&
                    compare("1 MB UTF-8 page (decoded to code page 936)", server.url("/utf8"),
                            utf8_decoded_size, rounds);
    return ok ? 0 : 1;
}
