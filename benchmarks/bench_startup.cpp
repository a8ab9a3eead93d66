// Start-up: the real program started as a process per sample, from the spawn to the
// end of its main window's first paint, against a bare QWidget program of the same
// size shown the same way. Each sample is a new process (cold for the program); the
// system's caches are warm after the first. SCORELANE_BENCHMARK_FIRST_PAINT makes
// either program print the monotonic clock at its first paint and end.
#include "ratioreporter.h"

#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

extern char **environ;

namespace {

QTemporaryDir &home()
{
    static QTemporaryDir dir;
    return dir;
}

long long monotonicNow()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec;
}

// Seconds from the spawn to the printed first paint; negative when none came.
double startOnce(const char *program)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    char *const argv[] = { const_cast<char *>(program), nullptr };
    const long long started = monotonicNow();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    std::string output;
    char buffer[256];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, size_t(n));
    ::close(pipeFds[0]);
    if (spawned != 0)
        return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    const size_t at = output.find("first paint ");
    if (at == std::string::npos)
        return -1;
    const long long painted = std::atoll(output.c_str() + at + 12);
    return double(painted - started) / 1e9;
}

void measure(benchmark::State &state, const char *program)
{
    for (auto _ : state) {
        const double seconds = startOnce(program);
        if (seconds < 0) {
            state.SkipWithError("the program printed no first paint");
            break;
        }
        state.SetIterationTime(seconds);
    }
}

void BM_StartScorelane(benchmark::State &state)
{
    measure(state, SCORELANE_PROGRAM);
}

void BM_StartBareWidget(benchmark::State &state)
{
    measure(state, SCORELANE_BARE_PROGRAM);
}

BENCHMARK(BM_StartBareWidget)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartScorelane)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Settings, data and runtime folders of their own: the operator's settings and
    // recovery file are neither read nor touched.
    const QByteArray folder = QFile::encodeName(home().path());
    QDir(home().path()).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(home().filePath(QStringLiteral("runtime")),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", folder + "/runtime");
    qputenv("XDG_CONFIG_HOME", folder + "/config");
    qputenv("XDG_DATA_HOME", folder + "/data");
    qputenv("SCORELANE_BENCHMARK_FIRST_PAINT", "1");
    // Each start is a process of its own and leaves nothing behind for the next: the two
    // programs' repetitions interleave, so that both see the same machine.
    return runWithRatios(argc, argv, { { "BM_StartScorelane", "BM_StartBareWidget", 2.0 } }, {}, { 5, true });
}
