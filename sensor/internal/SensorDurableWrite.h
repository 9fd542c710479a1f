// Durable replacement of the small files the library keeps on flash (parameter files and
// the version stamp). Internal to the library.
//
// The content is written whole through OVFile to a temporary file beside the target, named
// "<target>.tmp.<pid>.<n>" (unique to the writer: channels share file names and write them
// without a common lock), flushed to storage, renamed over the target, and the directory is
// synced. Until the rename the target keeps its old content; after a power cut the target is
// either the old or the new file. The writer holds an flock on its temporary file from
// creation to rename, so removeStaleTemporaries can tell a live writer from a dead one.
// Thread-safe; takes no lock of the library.
#ifndef SENSOR_DURABLE_WRITE_H
#define SENSOR_DURABLE_WRITE_H

#include <string>

// How far a replacement got. kDone: the new content is the target's, on storage.
enum class DurableStep { kDone, kOpen, kWrite, kSync, kRename, kDirSync };

struct DurableWriteResult {
    DurableStep failed;  // kDone on success, else the step that failed
    int written;         // bytes the file object moved into the temporary file
    int error;           // errno of the failed step, 0 when unknown
};

// Replaces the camera path `target` with `length` bytes of `data`. Before kRename fails
// nothing of the target has changed and the temporary file is gone; kDirSync means the new
// content is in place but its name may not survive a power cut. Reports nothing itself.
DurableWriteResult durableReplace(const char* target, const void* data, unsigned int length);

// What a step's failure means, for reports ("the rename failed").
const char* durableStepText(DurableStep step);

// Removes the temporary files in the camera directory `dir` that no running writer holds
// (left by a process that died mid-write). Returns how many were removed.
int removeStaleTemporaries(const char* dir);

#endif
