#pragma once
// Child processes for tests and benchmarks that talk to a helper program over its stdin/stdout.

#include <string>
#include <sys/types.h>
#include <vector>

namespace tavelin::test {

struct PipedChild {
    pid_t pid = -1;      ///< -1 when it could not be started
    int to_child = -1;   ///< write end of its standard input
    int from_child = -1; ///< read end of its standard output
};

/// Starts args[0] (a full path) with args, its standard input and output on pipes.
PipedChild spawn_piped(std::vector<std::string> args);

} // namespace tavelin::test
