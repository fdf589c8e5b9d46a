#include "tle/process_output.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace qcn0 {

namespace {

// A file descriptor closed when it goes out of scope.
class Fd {
  public:
    Fd() = default;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }
    int get() const { return fd_; }
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

  private:
    int fd_ = -1;
};

struct Pipe {
    Fd read, write;
};

Expected<bool> make_pipe(Pipe& p) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return Error{std::strerror(errno)};
    p.read.reset(fds[0]);
    p.write.reset(fds[1]);
    return true;
}

// Releases the spawn attribute objects on every path.
struct SpawnActions {
    posix_spawn_file_actions_t actions;
    bool ready = false;
    SpawnActions() { ready = posix_spawn_file_actions_init(&actions) == 0; }
    ~SpawnActions() {
        if (ready) posix_spawn_file_actions_destroy(&actions);
    }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
};

// Reads both pipes until both reach end of file; reading them together keeps a child that
// writes much to standard error from blocking while standard output is read. False when
// standard output passed `max_output` bytes: reading stops there.
bool drain(int out_fd, int err_fd, std::string& out, std::size_t max_output) {
    struct pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
    int open_count = 2;
    char buf[65536];
    while (open_count > 0) {
        const int ready = ::poll(fds, 2, -1);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return true;
        }
        for (auto& f : fds) {
            if (f.fd < 0 || f.revents == 0) continue;
            const ssize_t n = ::read(f.fd, buf, sizeof buf);
            if (n > 0) {
                if (f.fd != out_fd) continue;
                if (static_cast<std::size_t>(n) > max_output - out.size()) return false;
                out.append(buf, static_cast<std::size_t>(n));
            } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
                f.fd = -1;  // poll ignores negative descriptors
                --open_count;
            }
        }
    }
    return true;
}

}  // namespace

Expected<ProcessOutput> run_process(const std::string& program,
                                    const std::vector<std::string>& arguments,
                                    std::size_t max_output) {
    Pipe out_pipe, err_pipe;
    if (auto r = make_pipe(out_pipe); !r) return Error{r.error()};
    if (auto r = make_pipe(err_pipe); !r) return Error{r.error()};

    SpawnActions spawn;
    if (!spawn.ready) return Error{"cannot prepare the child process"};
    posix_spawn_file_actions_t* fa = &spawn.actions;
    if (posix_spawn_file_actions_addopen(fa, STDIN_FILENO, "/dev/null", O_RDONLY, 0) != 0 ||
        posix_spawn_file_actions_adddup2(fa, out_pipe.write.get(), STDOUT_FILENO) != 0 ||
        posix_spawn_file_actions_adddup2(fa, err_pipe.write.get(), STDERR_FILENO) != 0) {
        return Error{"cannot prepare the child process"};
    }

    std::vector<char*> argv;
    argv.reserve(arguments.size() + 2);
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, program.c_str(), fa, nullptr, argv.data(), environ);
    if (rc != 0) return Error{std::string("cannot start ") + program + ": " + std::strerror(rc)};

    // Only the child keeps the write ends, so end of file arrives when it exits.
    out_pipe.write.reset();
    err_pipe.write.reset();
    ProcessOutput result;
    const bool complete = drain(out_pipe.read.get(), err_pipe.read.get(), result.out, max_output);
    if (!complete) {
        // Too much output: the child is stopped, and whatever it started that still writes to
        // the pipes gets a broken pipe once they are closed.
        ::kill(pid, SIGKILL);
        out_pipe.read.reset();
        err_pipe.read.reset();
    }

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return Error{std::string("cannot wait for ") + program};
    }
    result.success = complete && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}

}  // namespace qcn0
