#include "support/child_process.h"

#include <fcntl.h>
#include <unistd.h>

namespace tavelin::test {

PipedChild spawn_piped(std::vector<std::string> args) {
    PipedChild child;
    int to_child[2];
    int from_child[2];
    if (args.empty() || ::pipe2(to_child, O_CLOEXEC) != 0)
        return child;
    if (::pipe2(from_child, O_CLOEXEC) != 0) {
        ::close(to_child[0]);
        ::close(to_child[1]);
        return child;
    }
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    child.pid = ::fork();
    if (child.pid == 0) {
        ::dup2(to_child[0], 0);
        ::dup2(from_child[1], 1);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(to_child[0]);
    ::close(from_child[1]);
    if (child.pid < 0) {
        ::close(to_child[1]);
        ::close(from_child[0]);
        return child;
    }
    child.to_child = to_child[1];
    child.from_child = from_child[0];
    return child;
}

} // namespace tavelin::test
