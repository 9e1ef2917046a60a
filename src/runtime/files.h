#pragma once
// The program's directory and the few file operations that installing the skin library needs.

#include "runtime/text.h"

#include <initializer_list>

namespace tavelin {

/// The directory holding the running executable, without a trailing separator; empty if unknown.
[[nodiscard]] Text run_directory();

/// The separator to put between run_directory() and a file name.
inline constexpr std::string_view kPathSeparator = "/";

/// True when a file or directory matches the path; shell wildcards (*, ?, [...]) match.
[[nodiscard]] bool file_exists(std::string_view path);

/// Creates or truncates the file, holding it exclusively, and writes the non-empty buffers in
/// order. False when the path is empty or on any failure (a partly written file may remain).
[[nodiscard]] bool write_buffers(std::string_view path,
                                 std::initializer_list<std::string_view> buffers);

/// write_buffers with the buffers as separate arguments.
template <class... Buffers>
[[nodiscard]] bool write_file(std::string_view path, const Buffers&... buffers) {
    return write_buffers(path, {std::string_view(buffers)...});
}

/// DOS attribute bits that set_file_attributes passes on.
enum FileAttribute : int {
    kReadOnly = 0x01,
    kHidden = 0x02,
    kSystem = 0x04,
    kArchive = 0x20,
};

/// Sets the attribute bits (masked with 0x27), kept as Samba keeps them in the user.DOSATTRIB
/// extended attribute; read-only also clears the write permission bits. False when refused.
[[nodiscard]] bool set_file_attributes(std::string_view path, int attributes);

/// The attribute bits last set on the path, 0 when none are recorded or it cannot be read.
[[nodiscard]] int file_attributes(std::string_view path);

} // namespace tavelin
