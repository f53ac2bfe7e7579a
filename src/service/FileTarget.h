// Where a file the user named goes. A regular file (or a new name) is replaced through a
// temporary file and a rename; anything else (standard output as "-", a descriptor of this
// process such as /dev/stdout, a device, a FIFO) is written in place, because a rename
// would put a regular file where the device, the pipe or the link was.
#pragma once

#include <filesystem>

#include "service/CsvFile.h"
#include "service/platform/NativeFile.h"

namespace qtm {

enum class TargetKind {
    Replace,  // a regular file or a new name: temporary file, then rename
    InPlace,  // written where it is, never renamed over
};

struct FileTarget {
    TargetKind kind = TargetKind::Replace;
    // Replace: the file to replace, links followed. InPlace: the name as given.
    std::filesystem::path path;
    // InPlace: a descriptor this process already has for it (standard output), else -1.
    int ownFd = -1;
};

// Looks at what name is (without opening it): "-" is standard output, a link through
// /proc/self/fd or /dev/fd is that descriptor, an existing non-regular file is written in
// place, everything else is replaced.
FileTarget ResolveFileTarget(const std::filesystem::path& name);

// Whether target can be written, checked before any work is done for it: the folder of a
// file to replace exists, is a folder and may be written; the file, if there, is not a
// folder and may be written; an in-place target may be written.
FileResult CheckFileTarget(const FileTarget& target);

// Opens an in-place target for writing (for standard output a handle of its own, so closing
// it leaves standard output open). A file that is not open, with the reason in *error, when
// it cannot be opened.
NativeFile OpenInPlace(const FileTarget& target, FileResult* error);

// Whether a file's data has reached the disk; files that cannot be synced (pipes,
// terminals, devices) count as synced. 0 or the system's error number.
int SyncData(NativeFile& file);

}  // namespace qtm
