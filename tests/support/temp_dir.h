#pragma once
// A fresh directory under /tmp for one test, removed with everything in it at scope exit.

#include <cstdlib>
#include <filesystem>
#include <string>

namespace tavelin::test {

class TempDir {
public:
    /// Empty path() when the directory could not be made.
    explicit TempDir(const std::string& prefix = "tavelin") {
        std::string pattern = "/tmp/" + prefix + "-XXXXXX";
        if (::mkdtemp(pattern.data()))
            path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] const std::string& path() const { return path_; }

private:
    std::string path_;
};

} // namespace tavelin::test
