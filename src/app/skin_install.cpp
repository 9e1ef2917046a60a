#include "app/skin_install.h"

#include "runtime/codepage.h"
#include "runtime/files.h"
#include "skin/skin_data.h"
#include "skin/skin_library.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <dlfcn.h>
#include <fcntl.h>
#include <random>
#include <span>
#include <string>
#include <unistd.h>

namespace tavelin {
namespace {

Text library_path(const Text& directory) {
    return concat_text(directory, kPathSeparator, skin::kSkinLibraryFile);
}

bool write_all(int fd, std::span<const unsigned char> bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(n));
    }
    return true;
}

// A new file of a name no other writer uses, in the target's directory so that it can take the
// target's name without a copy. Its name begins with a dot: not even a leftover shows.
int create_temporary(const Text& directory, Text& path) {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        char suffix[64];
        std::snprintf(suffix, sizeof suffix, ".%ld.%u.%08x.tmp", static_cast<long>(::getpid()),
                      counter.fetch_add(1), random());
        path = concat_text(directory, kPathSeparator, ".", skin::kSkinLibraryFile, suffix);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// Gives the finished file the target's name only while no file has that name, so a copy another
// start put there first (or any file the user keeps there) stays as it is.
bool place_without_replacing(const Text& from, const Text& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // A file system without the no-replace rename: a hard link refuses an existing name too.
    if (::link(from.c_str(), to.c_str()) != 0) {
        return false;
    }
    ::unlink(from.c_str());
    return true;
}

// Loaded from the program's directory first, then by bare name through the system's search; the
// library stays loaded until the program ends. Null when either step fails.
SkinAttachRes bind_attach_res(const Text& directory) {
    void* library = nullptr;
    if (!directory.empty()) {
        library = ::dlopen(library_path(directory).c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (library == nullptr) {
        library = ::dlopen(skin::kSkinLibraryFile, RTLD_NOW | RTLD_LOCAL);
    }
    if (library == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<SkinAttachRes>(::dlsym(library, skin::kSkinAttachExport));
}

// The format's "%s" markers replaced in order; '%' is never part of a double-byte character.
Text format_names(Text format, std::string_view first, std::string_view second) {
    for (std::string_view name : {first, second}) {
        const std::size_t at = format.find("%s");
        if (at != Text::npos) {
            format.replace(at, 2, name);
        }
    }
    return format;
}

} // namespace

namespace skin_detail {

void install_skin_library_in(const Text& directory) {
    // Without a known directory the path would name the root directory's file instead.
    if (directory.empty()) {
        return;
    }
    const Text path = library_path(directory);
    if (file_exists(path)) {
        return;
    }
    // Written in full under a temporary name and only then given its own, so that a second copy
    // of the program starting now never loads a half-written library.
    Text temporary;
    const int fd = create_temporary(directory, temporary);
    if (fd < 0) {
        return;
    }
    // Flushed before it takes the name: after a crash the name must not hold an empty file,
    // which would never be replaced.
    bool ok = write_all(fd, skin_library_bytes()) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok) {
        // Hidden before it appears: both names share the one file and its attributes.
        (void)set_file_attributes(temporary, kHidden);
        ok = place_without_replacing(temporary, path);
    }
    if (!ok) {
        ::unlink(temporary.c_str());
    }
}

void attach_skin_in(Desktop& desktop, int number, const Text& directory) {
    install_skin_library_in(directory);
    const std::span<const unsigned char> skin = skin_bytes(number);
    const SkinAttachRes attach = bind_attach_res(directory);
    if (attach == nullptr) {
        desktop.fatal_error(format_names(cp936("无法找到指定DLL库文件“%s”中的输出命令“%s”"),
                                         skin::kSkinLibraryFile, skin::kSkinAttachExport));
    }
    // The empty text and the three zeros are reserved by the library; its result is not needed.
    (void)attach(skin.empty() ? nullptr : skin.data(), static_cast<std::int32_t>(skin.size()), "",
                 0, 0, 0);
}

} // namespace skin_detail

void install_skin_library() {
    skin_detail::install_skin_library_in(run_directory());
}

void attach_skin(Desktop& desktop, int number) {
    skin_detail::attach_skin_in(desktop, number, run_directory());
}

} // namespace tavelin
