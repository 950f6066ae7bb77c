// The video log window on long histories, run offscreen the way the user opens it:
//
// 1. Opening: from creating the window to its list holding every recording of the folder.
// 2. Staying open: the process's CPU time per second over a few seconds of idle event loop
//    with the window shown, against the same loop without the window.
// 3. A recording finishing while it is open: from writing its information file to the list
//    showing it (the watch's gathering delay of 0.1 s included).
//
// The folders hold real information files (written by SaveVideoLogInfo) beside empty video
// files, one recording a minute. They are made once under $TANDREL_BENCH_DIR (by default
// /dev/shm when present, else the temporary folder) and kept for the next run.
//
//   tandrel_videolog_bench [--seconds N] [count ...]   (5 seconds; 1000 10000 100000)
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/DateTime.h"
#include "videolog/VideoLogInfo.h"
#include "videolog/VideoLoggerFrm.h"

namespace {

namespace fs = std::filesystem;

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::string BenchRoot() {
    if (const char* dir = std::getenv("TANDREL_BENCH_DIR"); dir != nullptr && *dir != 0) {
        return dir;
    }
    // A RAM folder: the writer's fsync per file would otherwise make 100 000 files a long wait.
    if (fs::is_directory("/dev/shm")) {
        return "/dev/shm";
    }
    return fs::temp_directory_path().string();
}

// A folder of Count recordings, made unless an earlier run finished it.
std::string RecordingFolder(int Count) {
    const std::string folder =
        BenchRoot() + "/tandrel-videolog-bench-" + std::to_string(Count) + "/";
    const std::string done = folder + ".complete";
    if (fs::exists(done)) {
        return folder;
    }
    std::fprintf(stderr, "making %d recordings in %s ...\n", Count, folder.c_str());
    fs::remove_all(folder);
    fs::create_directories(folder + "LogInfo");
    const TDateTime first = EncodeDateTime({2020, 1, 1, 0, 0, 0, 0});
    for (int i = 0; i < Count; ++i) {
        TVideoLogInfo info;
        info.StartTime = first + i / 1440.0;
        info.Duration = 5.0 + i % 600 + 0.25;
        info.FileName = folder + "Rec_" + FormatDateTime("yyyymmdd_hhnnss", info.StartTime) + ".wmv";
        const int video = ::open(info.FileName.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        if (video < 0 || !SaveVideoLogInfo(folder, info, true)) {
            std::fprintf(stderr, "cannot write %s\n", info.FileName.c_str());
            std::exit(1);
        }
        ::close(video);
    }
    std::ofstream(done) << Count;
    return folder;
}

// CPU milliseconds per second of an event loop left to itself for Seconds.
double IdleCpuPerSecond(double Seconds) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(Seconds * 1000), &loop, &QEventLoop::quit);
    const double before = ProcessCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    loop.exec();
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return (ProcessCpuSeconds() - before) * 1000.0 / elapsed;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    double seconds = 5;
    std::vector<int> counts;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
        } else {
            counts.push_back(std::atoi(argv[i]));
        }
    }
    if (counts.empty()) {
        counts = {1000, 10000, 100000};
    }
    std::vector<std::string> folders;
    for (const int count : counts) {
        folders.push_back(RecordingFolder(count));
    }

    std::printf("%-12s %12s %18s %16s\n", "recordings", "open (ms)", "CPU open (ms/s)",
                "new one (ms)");
    std::printf("%-12s %12s %18.1f %16s\n", "no window", "-", IdleCpuPerSecond(seconds), "-");
    for (size_t i = 0; i < counts.size(); ++i) {
        const auto start = std::chrono::steady_clock::now();
        TVideoLoggerFrm form;
        form.SetFolder(folders[i]);
        form.show();
        while (form.Records().size() < static_cast<size_t>(counts[i])) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        QCoreApplication::processEvents();  // the first paint of the filled list
        const double openMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        const double cpu = IdleCpuPerSecond(seconds);

        // One more recording, a day after the last, taken away again afterwards.
        TVideoLogInfo info;
        info.StartTime = EncodeDateTime({2020, 1, 1, 0, 0, 0, 0}) + counts[i] / 1440.0 + 1.0;
        info.Duration = 12.5;
        info.FileName =
            folders[i] + "Rec_" + FormatDateTime("yyyymmdd_hhnnss", info.StartTime) + ".wmv";
        ::close(::open(info.FileName.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
        const auto written = std::chrono::steady_clock::now();
        SaveVideoLogInfo(folders[i], info, true);
        while (form.Records().size() < static_cast<size_t>(counts[i]) + 1) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        const double newMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - written)
                .count();
        fs::remove(info.FileName);
        fs::remove(fs::path(folders[i]) / "LogInfo" /
                   (fs::path(info.FileName).stem().string() + ".vli"));
        std::printf("%-12d %12.0f %18.1f %16.0f\n", counts[i], openMs, cpu, newMs);
        std::fflush(stdout);
        form.close();
    }
    return 0;
}
