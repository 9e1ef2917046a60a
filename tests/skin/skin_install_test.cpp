#include "app/skin_install.h"
#include "runtime/codepage.h"
#include "runtime/files.h"
#include "skin/skin_data.h"
#include "skin/skin_format.h"
#include "skin_test_app.h"
#include "support/fake_desktop.h"
#include "support/temp_dir.h"

#include <QApplication>
#include <QPalette>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <latch>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace tavelin {
namespace {

namespace fs = std::filesystem;

std::string read_all(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string library_bytes() {
    const auto bytes = skin_library_bytes();
    return std::string(bytes.begin(), bytes.end());
}

class SkinInstall : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(dir_.empty()); }

    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    test::TempDir temp_{"skin-install"};
    const std::string dir_ = temp_.path();
    const std::string path_ = dir_ + "/SkinH_EL.dll";
};

TEST(SkinLibraryBytes, AreTheBuiltLibrary) {
    EXPECT_EQ(library_bytes(), read_all(TAVELIN_SKIN_LIBRARY));
    EXPECT_EQ(library_bytes().substr(0, 4), "\x7F"
                                            "ELF");
}

TEST_F(SkinInstall, FirstStartWritesTheWholeLibraryHidden) {
    skin_detail::install_skin_library_in(dir_);
    EXPECT_EQ(read_all(path_), library_bytes());
    EXPECT_EQ(file_attributes(path_), kHidden);
    // No temporary file is left behind.
    EXPECT_EQ(entries(), std::vector<std::string>{"SkinH_EL.dll"});
}

TEST_F(SkinInstall, SecondStartLeavesTheFileUntouched) {
    skin_detail::install_skin_library_in(dir_);
    struct stat first {};
    ASSERT_EQ(::stat(path_.c_str(), &first), 0);
    skin_detail::install_skin_library_in(dir_);
    struct stat second {};
    ASSERT_EQ(::stat(path_.c_str(), &second), 0);
    EXPECT_EQ(second.st_ino, first.st_ino);
    EXPECT_EQ(second.st_mtim.tv_sec, first.st_mtim.tv_sec);
    EXPECT_EQ(second.st_mtim.tv_nsec, first.st_mtim.tv_nsec);
    EXPECT_EQ(entries().size(), 1u);
}

TEST_F(SkinInstall, AnExistingFileIsNeverReplacedWhateverItHolds) {
    for (const std::string& held :
         {std::string(), std::string("not a library"), library_bytes().substr(0, 100)}) {
        SCOPED_TRACE(held.size());
        ASSERT_TRUE(write_file(path_, held));
        skin_detail::install_skin_library_in(dir_);
        EXPECT_EQ(read_all(path_), held);
        EXPECT_EQ(file_attributes(path_), 0);
        EXPECT_EQ(entries().size(), 1u);
    }
}

TEST_F(SkinInstall, MissingDirectoryIsLeftAlone) {
    skin_detail::install_skin_library_in(dir_ + "/absent");
    EXPECT_FALSE(fs::exists(dir_ + "/absent"));
    EXPECT_TRUE(entries().empty());
}

// Many programs starting at once in a fresh directory: each ends with the whole library in place,
// and no one ever sees the name on a partly written file.
TEST_F(SkinInstall, SimultaneousFirstStartsNeverShowAPartFile) {
    const std::size_t size = skin_library_bytes().size();
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        fs::remove_all(path_);
        constexpr int kStarts = 6;
        std::latch start(kStarts + 1);
        std::atomic<bool> done{false};
        std::atomic<int> part_files{0};
        std::thread watcher([&] {
            start.arrive_and_wait();
            while (!done) {
                struct stat st {};
                if (::stat(path_.c_str(), &st) == 0 && std::size_t(st.st_size) != size) {
                    ++part_files;
                }
            }
        });
        std::vector<std::thread> starts;
        for (int i = 0; i < kStarts; ++i) {
            starts.emplace_back([&] {
                start.arrive_and_wait();
                skin_detail::install_skin_library_in(dir_);
                // As the program does next: the library must be whole now.
                EXPECT_EQ(read_all(path_).size(), size);
            });
        }
        for (std::thread& t : starts) {
            t.join();
        }
        done = true;
        watcher.join();
        EXPECT_EQ(part_files, 0);
        EXPECT_EQ(read_all(path_), library_bytes());
        EXPECT_EQ(file_attributes(path_), kHidden);
        EXPECT_EQ(entries().size(), 1u);
    }
}

TEST_F(SkinInstall, SimultaneousProcessesAllComeUpWithTheLibrary) {
    constexpr int kStarts = 4;
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    std::vector<pid_t> children;
    for (int i = 0; i < kStarts; ++i) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            char byte;
            ::close(go[1]);
            (void)!::read(go[0], &byte, 1);
            skin_detail::install_skin_library_in(dir_);
            // Loading is what "coming up" takes.
            void* library = ::dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
            ::_exit(library != nullptr && ::dlsym(library, "SkinH_AttachRes") != nullptr ? 0 : 1);
        }
        children.push_back(pid);
    }
    ::close(go[0]);
    ::close(go[1]); // end of file releases every child at once
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(read_all(path_), library_bytes());
}

const Text kMissingExport =
    cp936("无法找到指定DLL库文件“SkinH_EL.dll”中的输出命令“SkinH_AttachRes”");

// The message attach_skin ends the program with, for a skin library looked for in `dir`;
// empty when it did not end the program.
Text fatal_message(const std::string& dir) {
    test::FakeDesktop desktop;
    try {
        skin_detail::attach_skin_in(desktop, 4, dir);
    } catch (const test::FatalErrorCalled& called) {
        return Text(called.what());
    }
    return Text();
}

TEST_F(SkinInstall, EmptyFileInPlaceEndsTheProgramWithTheMessage) {
    ASSERT_TRUE(write_file(path_, ""));
    EXPECT_EQ(fatal_message(dir_), kMissingExport);
    EXPECT_EQ(read_all(path_), "");
}

TEST_F(SkinInstall, DirectoryThatCannotBeWrittenEndsTheProgramWithTheMessage) {
    // No copy can be written there, and none is found by the system's search either.
    EXPECT_EQ(fatal_message(dir_ + "/absent"), kMissingExport);
}

TEST_F(SkinInstall, LibraryWithoutTheExportEndsTheProgramWithTheMessage) {
    // A real shared library, only not ours.
    const std::string other = "/lib/x86_64-linux-gnu/libm.so.6";
    if (!fs::exists(other)) {
        GTEST_SKIP() << "no other shared library to stand in";
    }
    fs::copy_file(other, path_);
    EXPECT_EQ(fatal_message(dir_), kMissingExport);
}

QColor window_colour_of(int number) {
    const skin::ParsedSkin parsed = skin::parse_skin(skin_bytes(number));
    for (const skin::Colour& c : parsed.skin.colours) {
        if (c.group == skin::ColourGroup::kAll && c.role == skin::ColourRole::kWindow) {
            return QColor(c.rgb.red, c.rgb.green, c.rgb.blue);
        }
    }
    return QColor();
}

TEST_F(SkinInstall, FirstStartInstallsTheLibraryAndSkinFourReachesIt) {
    test::OffscreenApp app;
    test::FakeDesktop desktop;
    skin_detail::attach_skin_in(desktop, 4, dir_);
    EXPECT_EQ(read_all(path_), library_bytes());
    EXPECT_EQ(file_attributes(path_), kHidden);
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), window_colour_of(4));
}

TEST_F(SkinInstall, NumberWithoutASkinChangesNothing) {
    test::OffscreenApp app;
    test::FakeDesktop desktop;
    skin_detail::attach_skin_in(desktop, 4, dir_);
    const QPalette before = QApplication::palette();
    for (int number : {0, 34, -1}) {
        SCOPED_TRACE(number);
        skin_detail::attach_skin_in(desktop, number, dir_);
        EXPECT_EQ(QApplication::palette(), before);
    }
}

} // namespace
} // namespace tavelin
