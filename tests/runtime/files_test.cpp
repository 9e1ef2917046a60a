#include "runtime/files.h"
#include "support/temp_dir.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace tavelin {
namespace {

namespace fs = std::filesystem;

class Files : public testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(dir_.empty()); }

    std::string path(const std::string& name) const { return dir_ + "/" + name; }

    static std::string read(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    static void touch(const std::string& p) { std::ofstream(p, std::ios::binary) << "x"; }

    static mode_t mode_of(const std::string& p) {
        struct stat st {};
        EXPECT_EQ(::stat(p.c_str(), &st), 0);
        return st.st_mode & 07777;
    }

    static std::string dos_xattr(const std::string& p) {
        char value[64];
        const ssize_t n = ::getxattr(p.c_str(), "user.DOSATTRIB", value, sizeof value);
        return n < 0 ? std::string("<none>") : std::string(value, static_cast<std::size_t>(n));
    }

    // Some file systems (tmpfs on older kernels, a few overlays) keep no user attributes.
    bool xattrs_supported() const {
        const std::string probe = path("probe");
        touch(probe);
        const bool ok = ::setxattr(probe.c_str(), "user.tavelin-probe", "1", 1, 0) == 0 ||
                        (errno != ENOTSUP && errno != EOPNOTSUPP);
        fs::remove(probe);
        return ok;
    }

    test::TempDir temp_{"tavelin-files"};
    const std::string dir_ = temp_.path();
};

TEST_F(Files, RunDirectoryIsTheTestProgramsDirectory) {
    const Text dir = run_directory();
    ASSERT_FALSE(dir.empty());
    EXPECT_NE(dir.back(), '/');
    EXPECT_EQ(fs::path(dir), fs::canonical(fs::path(TAVELIN_BINARY_DIR) / "tests" / "runtime"));
    EXPECT_TRUE(file_exists(concat_text(dir, kPathSeparator, "runtime_tests")));
}

TEST_F(Files, WriteFileCreatesThenTruncates) {
    const std::string p = path("out.bin");
    ASSERT_TRUE(write_file(p, "hello world"));
    EXPECT_EQ(read(p), "hello world");
    ASSERT_TRUE(write_file(p, "hi"));
    EXPECT_EQ(read(p), "hi");
    ASSERT_TRUE(write_file(p));
    EXPECT_EQ(read(p), "");
}

TEST_F(Files, WriteFileWritesNonEmptyBuffersInOrder) {
    const std::string p = path("parts.bin");
    const Bytes with_zero("\0c", 2);
    ASSERT_TRUE(write_file(p, "ab", "", with_zero, Bytes(), "d"));
    EXPECT_EQ(read(p), std::string("ab\0cd", 5));

    const Bytes big(1 << 20, '\x5A');
    ASSERT_TRUE(write_file(p, big, "end"));
    EXPECT_EQ(read(p), big + "end");
}

TEST_F(Files, WriteFileFailures) {
    struct Row {
        const char* name;
        std::string path;
    } rows[] = {
        {"empty path", ""},
        {"missing directory", path("missing/out.bin")},
        {"path is a directory", dir_},
        {"directory that refuses new files", "/proc/tavelin-out.bin"},
        {"zero byte in the path", path(std::string("a\0b", 3))},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_FALSE(write_file(row.path, "x"));
    }
    EXPECT_FALSE(fs::exists(path("a")));
}

TEST_F(Files, WriteFileFailsAndKeepsContentWhileAnotherHolderHasTheFile) {
    const std::string p = path("held.bin");
    ASSERT_TRUE(write_file(p, "original"));
    const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    EXPECT_FALSE(write_file(p, "new"));
    EXPECT_EQ(read(p), "original");
    ::close(fd);
    EXPECT_TRUE(write_file(p, "new"));
    EXPECT_EQ(read(p), "new");
}

TEST_F(Files, FileExistsFindsFilesDirectoriesAndWildcardMatches) {
    touch(path("SkinH_EL.dll"));
    touch(path("a.txt"));
    touch(path("x[1].txt"));
    touch(path(".hidden.dll"));
    fs::create_directory(path("sub"));
    struct Row {
        const char* name;
        std::string path;
        bool exists;
    } rows[] = {
        {"file", path("SkinH_EL.dll"), true},
        {"directory", path("sub"), true},
        {"directory with trailing slash", path("sub/"), true},
        {"missing file", path("missing.dll"), false},
        {"inside a missing directory", path("missing/a.txt"), false},
        {"star", path("*.dll"), true},
        {"star with no match", path("*.exe"), false},
        {"question mark", path("?.txt"), true},
        {"bracket class", path("[ab].txt"), true},
        {"star matches a directory", path("su*"), true},
        {"star matches a leading dot", path("*.hidden.dll"), true},
        {"name holding brackets", path("x[1].txt"), true},
        {"empty path", "", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(file_exists(row.path), row.exists);
    }
}

TEST_F(Files, HiddenIsStoredAsSambaReadsIt) {
    if (!xattrs_supported()) {
        GTEST_SKIP() << "no user extended attributes on " << dir_;
    }
    const std::string p = path("SkinH_EL.dll");
    touch(p);
    EXPECT_EQ(file_attributes(p), 0);
    ASSERT_TRUE(set_file_attributes(p, kHidden));
    EXPECT_EQ(dos_xattr(p), std::string("0x2\0", 4));
    EXPECT_EQ(file_attributes(p), kHidden);
    ASSERT_TRUE(set_file_attributes(p, kHidden | kSystem | kArchive));
    EXPECT_EQ(dos_xattr(p), std::string("0x26\0", 5));
    EXPECT_EQ(file_attributes(p), 0x26);
}

TEST_F(Files, AttributesMaskDropsOtherBits) {
    if (!xattrs_supported()) {
        GTEST_SKIP() << "no user extended attributes on " << dir_;
    }
    const std::string p = path("f");
    touch(p);
    ASSERT_TRUE(set_file_attributes(p, 0x10 | 0x80 | kHidden));
    EXPECT_EQ(file_attributes(p), kHidden);
    ASSERT_TRUE(set_file_attributes(p, -1));
    EXPECT_EQ(file_attributes(p), 0x27);
    ASSERT_TRUE(set_file_attributes(p, 0));
    EXPECT_EQ(dos_xattr(p), std::string("0x0\0", 4));
    EXPECT_EQ(file_attributes(p), 0);
}

TEST_F(Files, ReadOnlyClearsWriteBitsAndClearingItRestoresTheOwners) {
    if (!xattrs_supported()) {
        GTEST_SKIP() << "no user extended attributes on " << dir_;
    }
    const std::string p = path("ro");
    touch(p);
    ASSERT_EQ(::chmod(p.c_str(), 0666), 0);
    ASSERT_TRUE(set_file_attributes(p, kReadOnly | kHidden));
    EXPECT_EQ(mode_of(p), 0444u);
    EXPECT_EQ(file_attributes(p), kReadOnly | kHidden);
    ASSERT_TRUE(set_file_attributes(p, kHidden));
    EXPECT_EQ(mode_of(p), 0644u);
    EXPECT_EQ(file_attributes(p), kHidden);
}

TEST_F(Files, AttributesOnADirectory) {
    if (!xattrs_supported()) {
        GTEST_SKIP() << "no user extended attributes on " << dir_;
    }
    const std::string d = path("sub");
    fs::create_directory(d);
    ASSERT_TRUE(set_file_attributes(d, kHidden));
    EXPECT_EQ(file_attributes(d), kHidden);
}

TEST_F(Files, AttributesWrittenBySambaAreRead) {
    if (!xattrs_supported()) {
        GTEST_SKIP() << "no user extended attributes on " << dir_;
    }
    const std::string p = path("samba");
    touch(p);
    ASSERT_EQ(::setxattr(p.c_str(), "user.DOSATTRIB", "0x22", 5, 0), 0);
    EXPECT_EQ(file_attributes(p), 0x22);
    ASSERT_EQ(::setxattr(p.c_str(), "user.DOSATTRIB", "junk", 4, 0), 0);
    EXPECT_EQ(file_attributes(p), 0);
}

TEST_F(Files, AttributesOfAMissingFileFail) {
    EXPECT_FALSE(set_file_attributes(path("missing"), kHidden));
    EXPECT_FALSE(set_file_attributes("", kHidden));
    EXPECT_EQ(file_attributes(path("missing")), 0);
}

} // namespace
} // namespace tavelin
