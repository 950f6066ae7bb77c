#pragma once

#include <string>

// A recording cut off by a crash, a kill or a power cut never gets its information file, so it
// never shows in the video log although its video plays. RepairRecordingInfo gives each video
// of the program's own naming in Folder ("Rec_<yyyymmdd_hhnnss>[_<n>]" with ".wmv" or ".mp4")
// that has no information file one made from the video itself: the start from its name, the
// length from the file (its last time stamp when the file was never closed). A video still
// being written (its writer holds a lock on it, in this program or another) is left alone, and
// so is one that holds no picture or is not a regular file. Every information file made is
// logged. Returns how many were made.
int RepairRecordingInfo(const std::string& Folder);

// The start time a recording's file name gives ("Rec_20170522_072955.wmv" or ".mp4", with or
// without a "_<n>" after the time); false for a name the program does not make or an
// impossible date.
bool StartTimeFromRecordingName(const std::string& Name, double& StartTime);
