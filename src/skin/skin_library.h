#pragma once
// The skin library's one export, SkinH_AttachRes, as the program calls it.
//
// The library is a shared object named SkinH_EL.dll that the program writes beside itself and
// loads at run time. Its export keeps the classic argument order: the skin's address, its length,
// a text, and three integers. The integers are 32-bit as ever, but the address and the text are
// real pointers: on a 64-bit system a 32-bit argument cannot hold an address, and cutting one to
// 32 bits would hand the library a pointer into nowhere. The result stays a 32-bit integer.

#include <cstdint>

extern "C" {

/// Gives the running QApplication the look of the skin at `skin` (`length` bytes, in the format of
/// skin/skin_format.h): its widget style, palette and style sheet. `options` must be null or an
/// empty text and the three integers 0; they are reserved. Call it on the application's thread.
/// Returns 0 when the look was applied, otherwise a code of SkinAttachError or SkinError and the
/// application is left exactly as it was.
__attribute__((visibility("default"))) std::int32_t
SkinH_AttachRes(const unsigned char* skin, std::int32_t length, const char* options,
                std::int32_t reserved1, std::int32_t reserved2, std::int32_t reserved3);

/// The type of SkinH_AttachRes, for looking it up at run time.
using SkinAttachRes = std::int32_t (*)(const unsigned char*, std::int32_t, const char*,
                                       std::int32_t, std::int32_t, std::int32_t);
}

namespace tavelin::skin {

/// The library's own reasons to refuse; the skin format's reasons are SkinError (1 to 7).
enum SkinAttachError : std::int32_t {
    kReservedNotZero = 20, ///< the text is not empty or an integer is not 0
    kNoApplication = 21,   ///< no QApplication runs, or the call is not on its thread
    kUnknownStyle = 22,    ///< the skin names a widget style this system does not have
};

/// The file name and export name under which the program finds the library.
inline constexpr const char* kSkinLibraryFile = "SkinH_EL.dll";
inline constexpr const char* kSkinAttachExport = "SkinH_AttachRes";

} // namespace tavelin::skin
