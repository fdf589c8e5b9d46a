// Running a program found on the executable search path and capturing what it prints.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/expected.hpp"

namespace qcn0 {

struct ProcessOutput {
    bool success = false;  // exited normally with status 0
    std::string out;       // standard output, whole
};

// Runs `program` (looked up on PATH, no shell) with `arguments`, the environment inherited and
// standard input empty; waits for it to finish. Standard output is captured whole, standard
// error is read and dropped. An error only when the program cannot be started. Holds no state
// and touches no interpreter, so it may run while other threads do.
// What a run may print before it is stopped. A TLE download is some tens of kilobytes; a server
// that streams without end must not take all memory (nor, with no time limit on the transfer,
// keep the caller waiting for ever).
inline constexpr std::size_t kMaxProcessOutput = std::size_t{64} << 20;

// Runs the program with the arguments, standard input empty, and captures its standard output
// (standard error is read and dropped). A program that prints more than `max_output` bytes is
// killed and its run is not a success.
Expected<ProcessOutput> run_process(const std::string& program,
                                    const std::vector<std::string>& arguments,
                                    std::size_t max_output = kMaxProcessOutput);

}  // namespace qcn0
