#include "capture/FileCamera.h"

#include <gtest/gtest.h>

#include <string>

#include "localisation/TempFolder.h"
#include "support/LogCapture.h"
#include "support/NamedPipe.h"

namespace {

// A file that blocks when opened (here a named pipe without a writer, as a file camera can
// become after it was listed) is given up after the inspection's bound: the caller gets an
// unusable file and a line naming it, instead of waiting for ever.
TEST(FileCameraDiscover, FileThatBlocksOnOpenIsGivenUpInTime) {
    TempFolder folder;
    TNamedPipe pipe(folder.Path() + "/blocking.avi");
    LogCapture log;

    const FileCamera::TInfo info = NamedPipe::CallWithoutHanging(
        pipe.Path(), [&] { return FileCamera::Discover(pipe.Path()); });
    EXPECT_EQ(info.Kind, FileCamera::TKind::Unusable);
    EXPECT_TRUE(log.Contains("Error in FileCamera::Discover - " + pipe.Path() +
                             " cannot be inspected in time."));
}

}  // namespace
