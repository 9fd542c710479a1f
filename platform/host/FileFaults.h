// File-fault seam of the host framework stand-ins, for tests only (the library never
// includes this header). A test names a fault, the operation and a camera path; the next
// matching operation on that path, or on a file named after it ("<path>.<suffix>", such as
// a temporary or a backup beside it), fails once. The stand-in OVFile consults it for open
// and write; fsync and rename come from the C library, so a test executable interposes
// them (tests/support) and asks takeFileFault before forwarding.
#ifndef HOSTFW_FILE_FAULTS_H
#define HOSTFW_FILE_FAULTS_H

#include <string>

namespace hostfw {

enum class FileOp {
    open,      // OVFile::open fails
    write,     // the next OVFile::write moves half of what it was asked to
    sync,      // fsync fails with EIO (a directory path fails the directory sync)
    rename,    // rename onto the path fails with EIO
    diskFull,  // every OVFile::write on the path moves nothing, until clearFileFaults
};

// Arms a fault on a camera path (resolved under SENSOR_ROOT now).
void failNext(FileOp op, const std::string& cameraPath);
// Disarms every fault.
void clearFileFaults();
// True when `op` on the host path must fail; a one-shot fault is used up by the answer.
bool takeFileFault(FileOp op, const std::string& hostPath);

// Bytes that OVFile::write moved since the last reset into files below a camera folder
// (flash wear: "/mnt/mtd" is the flash, "/tmp" is memory).
unsigned long long bytesWritten(const std::string& cameraFolder);
void resetBytesWritten();
// Adds to the count (the stand-in OVFile, after each write).
void countWritten(const std::string& hostPath, unsigned long long bytes);

}  // namespace hostfw

#endif
