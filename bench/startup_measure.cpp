// Start-up of the program against an empty Qt window of the same size, each as a whole process
// on the offscreen platform: the time from fork to the first painted frame, to the process's
// exit, its CPU time and its peak resident memory. A third window, the empty one with the
// program's font and one line of Chinese, shows what the toolkit's font system alone costs.
// They run in turn, after warm-up runs, and are compared by their medians.
//
//   startup_measure [runs]        (default 20)

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kWarmUpRuns = 2;
constexpr double kStartTarget = 1.3;
constexpr double kMemoryTarget = 1.2;

struct Child
{
    const char *title;
    std::vector<std::string> argv;
};

struct Sample
{
    double shownMs = 0;
    double exitMs = 0;
    double cpuMs = 0;
    double peakMiB = 0;
    std::string size;
};

long long monotonicNs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

double ms(const timeval &t)
{
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
}

std::optional<Sample> runOnce(const Child &child)
{
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        std::perror("pipe2");
        return std::nullopt;
    }
    std::vector<char *> argv;
    for (const std::string &argument : child.argv)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    const std::string fdText = std::to_string(report[1]);

    const long long start = monotonicNs();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::fcntl(report[1], F_SETFD, 0); // the child inherits the report's write end
        ::setenv("QM5083_STARTUP_REPORT_FD", fdText.c_str(), 1);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(report[1]);
    if (pid < 0) {
        std::perror("fork");
        ::close(report[0]);
        return std::nullopt;
    }
    int status = 0;
    rusage usage {};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) { }
    const long long end = monotonicNs();

    char line[128] = {};
    const ssize_t got = ::read(report[0], line, sizeof line - 1);
    ::close(report[0]);
    long long shownAt = 0;
    char size[32] = {};
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || got <= 0
        || std::sscanf(line, "shown %lld %31s", &shownAt, size) != 2) {
        std::fprintf(stderr,
                     "startup_measure: %s did not report its first paint and exit cleanly "
                     "(status %d); run it by hand with QT_QPA_PLATFORM=offscreen to see why\n",
                     child.argv[0].c_str(), status);
        return std::nullopt;
    }
    Sample sample;
    sample.shownMs = static_cast<double>(shownAt - start) / 1e6;
    sample.exitMs = static_cast<double>(end - start) / 1e6;
    sample.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
    sample.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0; // ru_maxrss is in KiB
    sample.size = size;
    return sample;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Summary
{
    double shownMs, exitMs, cpuMs, peakMiB, minShownMs;
    std::string size;
};

Summary summarize(const std::vector<Sample> &samples)
{
    std::vector<double> shown, exit, cpu, peak;
    for (const Sample &s : samples) {
        shown.push_back(s.shownMs);
        exit.push_back(s.exitMs);
        cpu.push_back(s.cpuMs);
        peak.push_back(s.peakMiB);
    }
    return {median(shown),
            median(exit),
            median(cpu),
            median(peak),
            *std::min_element(shown.begin(), shown.end()),
            samples.front().size};
}

} // namespace

int main(int argc, char *argv[])
{
    const int runs = argc > 1 ? std::atoi(argv[1]) : 20;
    if (runs < 1) {
        std::fprintf(stderr, "usage: %s [runs]\n", argv[0]);
        return 2;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);

    std::vector<Child> children {
        {"program --simulate", {QM5083_STARTUP_PROGRAM}},
        {"bare Qt window", {QM5083_STARTUP_BARE_WINDOW}},
        {"text window", {QM5083_STARTUP_TEXT_WINDOW}},
    };
    // The baselines are drawn at the size of the program's window, which the menu bar and the
    // screen's resolution decide.
    const auto first = runOnce(children[0]);
    if (!first)
        return 1;
    for (std::size_t i = 1; i < children.size(); ++i)
        children[i].argv.push_back(first->size);
    std::vector<std::vector<Sample>> samples(children.size());
    for (int run = -kWarmUpRuns; run < runs; ++run) {
        // Rotate the order, so that none always follows the same other.
        for (std::size_t k = 0; k < children.size(); ++k) {
            const std::size_t i
                = (k + static_cast<std::size_t>(run + kWarmUpRuns)) % children.size();
            const auto sample = runOnce(children[i]);
            if (!sample)
                return 1;
            if (run >= 0)
                samples[i].push_back(*sample);
        }
    }

    std::vector<Summary> summaries;
    for (const std::vector<Sample> &childSamples : samples)
        summaries.push_back(summarize(childSamples));
    const Summary &program = summaries[0];
    const Summary &bare = summaries[1];
    const Summary &text = summaries[2];

    std::printf("Start-up on QT_QPA_PLATFORM=offscreen, %d runs each alternating, medians "
                "(shown: fork to first painted frame; exit: fork to process end)\n",
                runs);
    std::printf("%-22s %12s %12s %12s %12s %12s %9s\n", "", "shown (min)", "shown", "exit", "CPU",
                "peak RSS", "window");
    for (std::size_t i = 0; i < children.size(); ++i) {
        const Summary &s = summaries[i];
        std::printf("%-22s %9.1f ms %9.1f ms %9.1f ms %9.1f ms %8.1f MiB %9s\n", children[i].title,
                    s.minShownMs, s.shownMs, s.exitMs, s.cpuMs, s.peakMiB, s.size.c_str());
    }
    const auto ratios = [](const char *title, const Summary &a, const Summary &b) {
        std::printf("%-22s %12.2f %12.2f %12.2f %12.2f %12.2f\n", title,
                    a.minShownMs / b.minShownMs, a.shownMs / b.shownMs, a.exitMs / b.exitMs,
                    a.cpuMs / b.cpuMs, a.peakMiB / b.peakMiB);
    };
    ratios("program / bare", program, bare);
    ratios("program / text window", program, text);

    // The targets are against a bare window drawing the same CJK text: the font system's start
    // is every such window's, not the program's.
    const double startRatio = program.shownMs / text.shownMs;
    const double memoryRatio = program.peakMiB / text.peakMiB;
    std::printf("start-up to the window shown: %.2f times the text window (target %.1f): %s\n",
                startRatio, kStartTarget, startRatio <= kStartTarget ? "met" : "MISSED");
    std::printf("peak memory: %.2f times the text window (target %.1f): %s\n", memoryRatio,
                kMemoryTarget, memoryRatio <= kMemoryTarget ? "met" : "MISSED");
    for (const Summary &s : summaries)
        if (s.size != program.size)
            std::printf("note: the windows differ in size (%s against %s)\n", s.size.c_str(),
                        program.size.c_str());
    return 0;
}
