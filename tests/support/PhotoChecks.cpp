#include "PhotoChecks.h"

#include <QColor>
#include <QJsonArray>
#include <QJsonDocument>

#include <cerrno>
#include <fcntl.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <vector>

extern char **environ;

namespace varnolet::test {

namespace {

// Runs exiftool with the arguments and collects what it prints, within 30 s. Spawned with
// posix_spawn rather than QProcess: Qt's own fork is invisible to ThreadSanitizer and leaves
// the calling thread's locks unseen by it for the rest of the test.
bool runExiftool(std::vector<std::string> arguments, std::string &output)
{
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    arguments.insert(arguments.begin(), "exiftool");
    std::vector<char *> argv;
    for (std::string &argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = -1;
    const int spawned = ::posix_spawnp(&child, "exiftool", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    if (spawned != 0) {
        ::close(pipeEnds[0]);
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    char chunk[65536];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd readable{pipeEnds[0], POLLIN, 0};
        if (left.count() <= 0 || ::poll(&readable, 1, static_cast<int>(left.count())) <= 0) {
            ::kill(child, SIGKILL);
            break;
        }
        const ssize_t got = ::read(pipeEnds[0], chunk, sizeof chunk);
        if (got <= 0)
            break;
        output.append(chunk, static_cast<size_t>(got));
    }
    ::close(pipeEnds[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

bool haveExiftool()
{
    std::string version;
    return runExiftool({"-ver"}, version);
}

QJsonObject exiftoolTags(const std::string &path)
{
    std::string json;
    if (!runExiftool({"-j", "-n", "-G1", path}, json))
        return {};
    return QJsonDocument::fromJson(QByteArray::fromStdString(json)).array().at(0).toObject();
}

int longestWhiteRun(const QImage &image, int y, int *runEnd)
{
    int best = 0;
    int run = 0;
    if (runEnd)
        *runEnd = -1;
    for (int x = 0; x < image.width(); ++x) {
        const QColor pixel = image.pixelColor(x, y);
        run = pixel.red() > 235 && pixel.green() > 235 && pixel.blue() > 235 ? run + 1 : 0;
        if (run > best) {
            best = run;
            if (runEnd)
                *runEnd = x;
        }
    }
    return best;
}

} // namespace varnolet::test
