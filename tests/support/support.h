#pragma once
// Helpers that tests of several layers share: where the sources and the build live.

#include <string>

namespace tavelin::test {

/// The source tree's root.
inline std::string source_dir() { return TAVELIN_SOURCE_DIR; }
/// The build tree's root.
inline std::string binary_dir() { return TAVELIN_BINARY_DIR; }

} // namespace tavelin::test
