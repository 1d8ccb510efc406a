#pragma once

#include <filesystem>

#include "download/download_state.h"

namespace load {

// Central deletions travel once: the next request asks only for deletions after the tables'
// newest rows, which the merges move forward before the delete cache runs. So the delete-cache
// images are kept on disk from before the first merge until the delete cache has applied them,
// and a run that stopped in between hands its images on to the next one.

// <staging directory>/Pendentes.
std::filesystem::path pendingDeletionsDirectory(const std::filesystem::path& stagingDirectory);

// Adds the images a stopped run left to this run's, then writes them all to the folder.
void keepPendingDeletions(download::DownloadState& state,
                          const std::filesystem::path& stagingDirectory);

// The delete cache has applied them: nothing is pending any more.
void dropPendingDeletions(const std::filesystem::path& stagingDirectory);

}  // namespace load
