#include "CliRun.h"

#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

extern char** environ;

std::vector<std::string> CliResult::Lines() const {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < out.size()) {
        size_t end = out.find('\n', start);
        if (end == std::string::npos) end = out.size();
        lines.push_back(out.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

CliResult RunCli(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
                 const std::function<void(const std::string&, int)>& onLine,
                 const std::function<void(const std::string&, int)>& onErrorLine) {
    CliResult r;
    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) return r;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, outPipe[0]);
    posix_spawn_file_actions_addclose(&actions, errPipe[0]);

    std::vector<std::string> argStore = {VELTRANO_CLI};
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argStore) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envStore;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e, name = entry.substr(0, entry.find('='));
        if (!env.count(name)) envStore.push_back(entry);
    }
    for (const auto& [name, value] : env)
        if (!value.empty()) envStore.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& e : envStore) envp.push_back(e.data());
    envp.push_back(nullptr);

    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    if (spawned != 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        r.err = std::string("cannot start ") + argv[0] + ": " + std::strerror(spawned);
        return r;
    }
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    size_t lineStart[2] = {0, 0};
    for (int open = 2; open > 0;) {
        if (poll(fds, 2, -1) < 0) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buf[4096];
            const ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
                continue;
            }
            std::string& text = i == 0 ? r.out : r.err;
            text.append(buf, static_cast<size_t>(n));
            const auto& told = i == 0 ? onLine : onErrorLine;
            for (size_t nl; told && (nl = text.find('\n', lineStart[i])) != std::string::npos;) {
                told(text.substr(lineStart[i], nl - lineStart[i]), pid);
                lineStart[i] = nl + 1;
            }
        }
    }
    int status = 0;
    if (waitpid(pid, &status, 0) == pid && WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
    return r;
}
