#include "controller/SnapshotWriter.h"

#include <QImage>
#include <QString>

#include <cstdio>
#include <cstring>
#include <utility>

#include "notifications/SnapshotFile.h"
#include "platform/Diagnostics.h"
#include "platform/Paths.h"

TSnapshotWriter::TSnapshotWriter() {
    FThread.Start("Snapshots", [this] { Run(); });
}

TSnapshotWriter::~TSnapshotWriter() {
    {
        std::lock_guard<std::mutex> guard(FMutex);
        FClosing = true;
    }
    FChanged.notify_all();
    FThread.Join();
}

std::string TSnapshotWriter::PathFor(const std::string& RecordingFile) {
    const size_t slash = RecordingFile.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : RecordingFile.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? RecordingFile : RecordingFile.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos) {
        name.resize(dot);
    }
    return folder + "Snapshots/" + name + ".jpg";
}

void TSnapshotWriter::Write(std::shared_ptr<TSnapshotFile> File, const uint8_t* BottomUp,
                            int32_t Width, int32_t Height) {
    if (!File) {
        return;
    }
    if (BottomUp == nullptr || Width <= 0 || Height <= 0) {
        File->Finish(false);
        return;
    }
    TJob job;
    {
        std::lock_guard<std::mutex> guard(FMutex);
        if (FClosing || FJobs.size() >= kMaxPending) {
            job.File = std::move(File);
        }
    }
    if (job.File) {
        job.File->Finish(false);
        return;
    }
    // The copy is the frame path's only cost; the encoding happens on the writer's thread.
    job.File = std::move(File);
    job.Pixels.assign(BottomUp, BottomUp + static_cast<size_t>(Width) * Height * 4);
    job.Width = Width;
    job.Height = Height;
    {
        std::lock_guard<std::mutex> guard(FMutex);
        FJobs.push_back(std::move(job));
    }
    FChanged.notify_all();
}

void TSnapshotWriter::Run() {
    for (;;) {
        TJob job;
        {
            std::unique_lock<std::mutex> lock(FMutex);
            FChanged.wait(lock, [this] { return FClosing || !FJobs.empty(); });
            if (FJobs.empty()) {
                return;
            }
            job = std::move(FJobs.front());
            FJobs.pop_front();
        }
        job.File->Finish(Encode(job));
    }
}

bool TSnapshotWriter::Encode(const TJob& Job) {
    const std::string& path = Job.File->Path();
    const size_t slash = path.rfind('/');
    if (slash != std::string::npos && !ForceFolder(path.substr(0, slash + 1))) {
        LogMessageFmt("The snapshot folder of %s cannot be made (%s).", path.c_str(),
                      std::strerror(errno));
        return false;
    }
    // Frames are stored bottom line first: the picture is turned upright for the file.
    const QImage frame(Job.Pixels.data(), Job.Width, Job.Height, Job.Width * 4,
                       QImage::Format_RGB32);
    const QImage upright = frame.mirrored(false, true);
    const std::string temporary = path + ".part";
    if (!upright.save(QString::fromStdString(temporary), "JPEG", kQuality)) {
        std::remove(temporary.c_str());
        LogMessageFmt("The snapshot %s cannot be written.", path.c_str());
        return false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        LogMessageFmt("The snapshot %s cannot be written (%s).", path.c_str(),
                      std::strerror(errno));
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}
