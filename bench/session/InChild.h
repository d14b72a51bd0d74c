#pragma once

// Runs a part of a benchmark in a child process of its own, so that the
// peak resident memory it reports is its own and not what the parent or an
// earlier part held.

#include <cstdlib>
#include <type_traits>

#include <sys/wait.h>
#include <unistd.h>

// Calls `work` in a forked child and returns what it returned: a plain value
// (trivially copyable), passed back through a pipe. Ends the benchmark when
// the child fails to report.
template <typename Work>
auto inChild(Work work) -> decltype(work())
{
    using Result = decltype(work());
    static_assert(std::is_trivially_copyable<Result>::value, "the result travels as bytes");
    int channel[2];
    if (::pipe(channel) != 0)
        std::exit(1);
    const pid_t child = ::fork();
    if (child == 0) {
        const Result r = work();
        const bool written = ::write(channel[1], &r, sizeof r) == ssize_t(sizeof r);
        ::_exit(written ? 0 : 1);
    }
    ::close(channel[1]);
    Result r;
    if (::read(channel[0], &r, sizeof r) != ssize_t(sizeof r))
        std::exit(1);
    ::close(channel[0]);
    ::waitpid(child, nullptr, 0);
    return r;
}
