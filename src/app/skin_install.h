#pragma once
// The skin: the skin library written beside the program, and the main window's skin attached.

#include "runtime/desktop.h"
#include "runtime/text.h"

namespace tavelin {

/// Installs the skin library when needed, then hands skin `number` (1 to 33; any other number
/// hands over no skin) to its SkinH_AttachRes. When the library cannot be loaded or has no such
/// export, ends the program through fatal_error.
void attach_skin(Desktop& desktop, int number);

/// Writes the skin library, hidden, into the program's directory unless a file of its name is
/// already there; an existing file is never replaced.
void install_skin_library();

namespace skin_detail {

/// install_skin_library for the given directory; nothing when the directory is empty.
void install_skin_library_in(const Text& directory);

/// attach_skin with the library installed into and loaded from the given directory.
void attach_skin_in(Desktop& desktop, int number, const Text& directory);

} // namespace skin_detail
} // namespace tavelin
