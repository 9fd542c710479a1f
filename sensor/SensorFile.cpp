// Whole-file read and write, the per-scheme parameter files and the version stamp.
//
// Every transfer goes through the host's OVFile; short transfers and failed opens are
// reported through the assertion check and the function goes on with its next step.
// Writes replace their file durably: the old content stays until the new one is whole on
// storage. Records and the stamp are little-endian on every target.
#define SENSOR_SOURCE_NAME "SensorFile.cpp"
#include "SensorTrace.h"

#include <stdint.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "OVFile.h"
#include "SensorDurableWrite.h"
#include "SensorFile.h"
#include "SensorPaths.h"

namespace {

// keyValToFile's result when the file keeps its previous content (or may not be on storage).
const int kFileNotWritten = -1;

constexpr bool kLittleEndianHost = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;

// Name as printed in reports; a null name is printed as "(null)".
const char* printable(const char* name) {
    return name != nullptr ? name : "(null)";
}

// Opens `name` in `mode`; a null name counts as a failed open.
bool openFile(OVFile& file, const char* name, int mode) {
    return name != nullptr && file.open(name, mode);
}

// The byte count of a transfer as the file object takes it: an unsigned 32-bit number.
// Lengths that do not fit (negative ones included) transfer nothing.
unsigned int transferCount(INT64 length) {
    if (length < 0 || length > static_cast<INT64>(UINT_MAX)) {
        return 0;
    }
    return static_cast<unsigned int>(length);
}

int readBytes(OVFile& file, void* buf, INT64 length) {
    unsigned int count = transferCount(length);
    if (buf == nullptr || count == 0) {
        return 0;
    }
    return file.read(buf, count);
}

INT64 recordBytes(u32 count) {
    return SensorPaths::paramFileBytes(count);
}

uint32_t toLittleEndian(uint32_t v) {
    return kLittleEndianHost ? v : __builtin_bswap32(v);
}

// Brings the records read from a file to host order (nothing to do on little-endian).
void recordsFromFileOrder(KeyVal* records, int bytesRead) {
    if (kLittleEndianHost || bytesRead <= 0) {
        return;
    }
    size_t whole = static_cast<size_t>(bytesRead) / sizeof(KeyVal);
    for (size_t i = 0; i < whole; ++i) {
        records[i].key = toLittleEndian(records[i].key);
        records[i].value =
            static_cast<int32_t>(toLittleEndian(static_cast<uint32_t>(records[i].value)));
    }
}

// Replaces the file durably (SensorDurableWrite.h). Steps after a whole write that fail
// (sync, rename, directory sync) are reported here, naming the file; the open and the
// write are reported by the callers with their own texts.
DurableWriteResult replaceFile(const char* name, const void* data, unsigned int length) {
    const DurableWriteResult stResult = durableReplace(name, data, length);
    const bool bAfterWrite = stResult.failed == DurableStep::kSync ||
                             stResult.failed == DurableStep::kRename ||
                             stResult.failed == DurableStep::kDirSync;
    if (bAfterWrite) {
        SENSOR_ALARM(
            "file_name(%s) not saved: %s (%s)%s\n", printable(name),
            durableStepText(stResult.failed), std::strerror(stResult.error),
            stResult.failed == DurableStep::kDirSync ? "" : ", the previous content is kept");
    }
    return stResult;
}

// Writes the records in file order: as they are on a little-endian host, through a swapped
// copy otherwise.
DurableWriteResult writeRecords(const char* name, const KeyVal* records, u32 count) {
    const unsigned int bytes = static_cast<unsigned int>(recordBytes(count));
    if (kLittleEndianHost) {
        return replaceFile(name, records, bytes);
    }
    KeyVal* swapped = static_cast<KeyVal*>(std::malloc(bytes + 1));
    if (swapped == nullptr) {
        return DurableWriteResult{DurableStep::kOpen, 0, ENOMEM};
    }
    for (u32 i = 0; i < count; ++i) {
        swapped[i].key = toLittleEndian(records[i].key);
        swapped[i].value =
            static_cast<int32_t>(toLittleEndian(static_cast<uint32_t>(records[i].value)));
    }
    const DurableWriteResult stResult = replaceFile(name, swapped, bytes);
    std::free(swapped);
    return stResult;
}

}  // namespace

INT64 getFileLen(const char* file_name) {
    OVFile file;
    bool opened = openFile(file, file_name, OVFile::modeRead);
    SENSOR_ASSERT(opened, "file.open(file_name)", "file_name(%s)", printable(file_name));
    return file.getLength();
}

int loadFromFile(const char* file_name, char* buf, INT64 file_len) {
    SENSOR_DBG_C(kColorWhite, "open file:%s\n", printable(file_name));
    OVFile file;
    if (!openFile(file, file_name, OVFile::modeRead)) {
        return -1;
    }
    int nSize = readBytes(file, buf, file_len);
    if (static_cast<INT64>(nSize) != file_len) {
        return -1;
    }
    file.close();
    return nSize;
}

int saveToFile(char* file_name, char* data, INT64 file_len) {
    // A null buffer or a length the file object cannot take is refused before the file is
    // touched.
    if (data == nullptr || file_len < 0 || file_len > static_cast<INT64>(INT_MAX)) {
        SENSOR_ASSERT(false, "file_len == (nSize=file.write(data, file_len))", "file_len(%d)\n",
                      static_cast<int>(file_len));
        return 0;
    }
    const DurableWriteResult stResult =
        replaceFile(file_name, data, static_cast<unsigned int>(file_len));
    SENSOR_ASSERT(stResult.failed != DurableStep::kOpen,
                  "file.open(file_name, OVFile::modeWrite | OVFile::modeTruncate)",
                  "file_name(%s)\n", printable(file_name));
    const int nSize = stResult.written;
    SENSOR_ASSERT(file_len == static_cast<INT64>(nSize),
                  "file_len == (nSize=file.write(data, file_len))", "file_len(%d)\n",
                  static_cast<int>(file_len));
    return stResult.failed == DurableStep::kDone || nSize != file_len ? nSize : -1;
}

int keyValFromFile(char* file_name, KeyVal* p_pKeyVal, u32 p_nKeyValNum) {
    OVFile file;
    bool opened = openFile(file, file_name, OVFile::modeRead);
    SENSOR_ASSERT(opened, "file.open(file_name)", "file_name(%s)\n", printable(file_name));
    int nSize = readBytes(file, p_pKeyVal, recordBytes(p_nKeyValNum));
    recordsFromFileOrder(p_pKeyVal, nSize);
    SENSOR_ASSERT(static_cast<INT64>(nSize) == recordBytes(p_nKeyValNum),
                  "nSize == sizeof(KeyVal)*p_nKeyValNum",
                  "file_name(%s) nSize(%d) sizeof(KeyVal) = %d, p_nKeyValNum(%d)\n",
                  printable(file_name), nSize, static_cast<int>(sizeof(KeyVal)),
                  static_cast<int>(p_nKeyValNum));
    file.close();
    return OVS_SUCCESS;
}

int keyValToFile(char* file_name, KeyVal* p_pKeyVal, u32 p_nKeyValNum) {
    const INT64 nBytes = recordBytes(p_nKeyValNum);
    // A null array or more records than one write can take is refused before the file is
    // touched.
    if (p_pKeyVal == nullptr || nBytes > static_cast<INT64>(INT_MAX)) {
        SENSOR_ASSERT(false, "nSize == sizeof(KeyVal)*p_nKeyValSum",
                      "nSize(%d) sizeof(KeyVal) = %d, p_nKeyValNum(%d)\n", 0,
                      static_cast<int>(sizeof(KeyVal)), static_cast<int>(p_nKeyValNum));
        return kFileNotWritten;
    }
    const DurableWriteResult stResult = writeRecords(file_name, p_pKeyVal, p_nKeyValNum);
    SENSOR_ASSERT(stResult.failed != DurableStep::kOpen,
                  "file.open(file_name, OVFile::modeWrite | OVFile::modeTruncate)",
                  "file_name(%s)\n", printable(file_name));
    const int nSize = stResult.written;
    SENSOR_ASSERT(static_cast<INT64>(nSize) == nBytes, "nSize == sizeof(KeyVal)*p_nKeyValSum",
                  "nSize(%d) sizeof(KeyVal) = %d, p_nKeyValNum(%d)\n", nSize,
                  static_cast<int>(sizeof(KeyVal)), static_cast<int>(p_nKeyValNum));
    return stResult.failed == DurableStep::kDone ? OVS_SUCCESS : kFileNotWritten;
}

int getVersion(u32* p_nVersion) {
    if (p_nVersion == nullptr) {
        return -1;
    }
    // The stamp's bytes land in the caller's number as read, also when too few arrive.
    uint32_t stamp = toLittleEndian(*p_nVersion);
    int nSize = loadFromFile(SensorPaths::kStampPath, reinterpret_cast<char*>(&stamp),
                             SensorPaths::kStampBytes);
    *p_nVersion = toLittleEndian(stamp);
    return nSize >= 1 ? OVS_SUCCESS : -1;
}

int setVersion(u32 p_nVersion) {
    char name[sizeof(SensorPaths::kStampPath)];
    std::memcpy(name, SensorPaths::kStampPath, sizeof(name));
    uint32_t stamp = toLittleEndian(p_nVersion);
    int nSize = saveToFile(name, reinterpret_cast<char*>(&stamp), SensorPaths::kStampBytes);
    return nSize >= 1 ? OVS_SUCCESS : -1;
}
