#pragma once
// What the skin tests share: an application on the offscreen platform, and the built library's
// export.

#include "skin/skin_library.h"

#include <QApplication>
#include <cstdlib>
#include <dlfcn.h>
#include <memory>

namespace tavelin::test {

/// A QApplication on the offscreen platform for as long as the object lives.
class OffscreenApp {
public:
    OffscreenApp() {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }

private:
    int argc_ = 1;
    char name_[16] = "skin_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

/// SkinH_AttachRes of the library as built; null when it cannot be loaded.
inline SkinAttachRes built_attach_res() {
    void* library = ::dlopen(TAVELIN_SKIN_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    return library == nullptr
               ? nullptr
               : reinterpret_cast<SkinAttachRes>(::dlsym(library, skin::kSkinAttachExport));
}

} // namespace tavelin::test
