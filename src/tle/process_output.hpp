// Running a program found on the executable search path and capturing what it prints.
#pragma once

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
Expected<ProcessOutput> run_process(const std::string& program,
                                    const std::vector<std::string>& arguments);

}  // namespace qcn0
