#include "runtime/files.h"

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <glob.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace tavelin {
namespace {

// The name Samba's file server keeps a file's DOS attributes under (its "store dos attributes").
constexpr const char* kDosAttribute = "user.DOSATTRIB";
constexpr int kAttributeMask = 0x27;
constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

// A path for the C library: empty when it cannot be one (empty, or holding a zero byte).
std::string c_path(std::string_view path) {
    if (path.find('\0') != std::string_view::npos) {
        return std::string();
    }
    return std::string(path);
}

bool write_all(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool change_mode(const std::string& path, mode_t from, mode_t to) {
    return from == to || ::chmod(path.c_str(), to) == 0;
}

} // namespace

Text run_directory() {
    std::string exe(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", exe.data(), exe.size());
        if (n < 0) {
            return Text();
        }
        if (static_cast<std::size_t>(n) < exe.size()) {
            exe.resize(static_cast<std::size_t>(n));
            break;
        }
        // The link may have been cut at the buffer's end: retry with room to spare.
        exe.resize(exe.size() * 2);
    }
    const std::size_t slash = exe.rfind('/');
    return slash == std::string::npos ? Text() : Text(exe.substr(0, slash));
}

bool file_exists(std::string_view path) {
    const std::string p = c_path(path);
    if (p.empty()) {
        return false;
    }
    // Like a Windows file search: the backslash escapes nothing, and wildcards also match names
    // that begin with a dot.
    glob_t found{};
    const int rc = ::glob(p.c_str(), GLOB_NOSORT | GLOB_NOESCAPE | GLOB_PERIOD, nullptr, &found);
    const bool matched = rc == 0 && found.gl_pathc > 0;
    ::globfree(&found);
    if (matched) {
        return true;
    }
    // A name holding '[' or ']' is no pattern to the Windows search, so an entry of exactly that
    // name still counts.
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0;
}

bool write_buffers(std::string_view path, std::initializer_list<std::string_view> buffers) {
    const std::string p = c_path(path);
    if (p.empty()) {
        return false;
    }
    // Truncation waits until the lock is ours, so a file another writer holds is left intact.
    const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    // Linux has no share modes; an exclusive advisory lock keeps out every opener that asks for
    // one, which includes every other write_buffers.
    bool ok = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::ftruncate(fd, 0) == 0;
    for (std::string_view buffer : buffers) {
        if (!ok) {
            break;
        }
        ok = write_all(fd, buffer);
    }
    // close() can report a failed delayed write (NFS, full disk).
    if (::close(fd) != 0) {
        ok = false;
    }
    return ok;
}

bool set_file_attributes(std::string_view path, int attributes) {
    const std::string p = c_path(path);
    struct stat st {};
    if (p.empty() || ::stat(p.c_str(), &st) != 0) {
        return false;
    }
    const unsigned bits = static_cast<unsigned>(attributes) & kAttributeMask;

    // "0x", hex digits and a zero byte: the form Samba wrote before its binary versions and
    // still reads back as the bare attribute word. It needs no creation time, and getfattr shows
    // it as it is.
    char value[16];
    const int len = std::snprintf(value, sizeof value, "0x%x", bits);
    const std::size_t size = static_cast<std::size_t>(len) + 1;

    const mode_t mode = st.st_mode & 07777;
    if (bits & kReadOnly) {
        // The attribute first: without write permission an owner may no longer change it.
        return ::setxattr(p.c_str(), kDosAttribute, value, size, 0) == 0 &&
               change_mode(p, mode, mode & ~kWriteBits);
    }
    return change_mode(p, mode, mode | S_IWUSR) &&
           ::setxattr(p.c_str(), kDosAttribute, value, size, 0) == 0;
}

int file_attributes(std::string_view path) {
    const std::string p = c_path(path);
    if (p.empty()) {
        return 0;
    }
    char value[256];
    const ssize_t n = ::getxattr(p.c_str(), kDosAttribute, value, sizeof value);
    if (n < 3 || value[0] != '0' || (value[1] != 'x' && value[1] != 'X')) {
        return 0;
    }
    std::uint32_t bits = 0;
    const auto [end, ec] = std::from_chars(value + 2, value + n, bits, 16);
    if (ec != std::errc() || end == value + 2) {
        return 0;
    }
    return static_cast<int>(bits);
}

} // namespace tavelin
