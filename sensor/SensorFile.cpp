// Whole-file read and write, the per-scheme parameter files and the version stamp.
//
// Every transfer goes through the host's OVFile; short transfers and failed opens are
// reported through the assertion check and the function goes on with its next step.
// Records and the stamp are little-endian on every target.
#define SENSOR_SOURCE_NAME "SensorFile.cpp"
#include "SensorTrace.h"

#include <stdint.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "OVFile.h"
#include "SensorFile.h"
#include "SensorPaths.h"

namespace {

const int kModeWriteTruncate = OVFile::modeWrite | OVFile::modeTruncate;

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

int writeBytes(OVFile& file, const void* data, INT64 length) {
    unsigned int count = transferCount(length);
    if (data == nullptr || count == 0) {
        return 0;
    }
    return file.write(data, count);
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

// Writes the records in file order: as they are on a little-endian host, through a swapped
// copy otherwise.
int writeRecords(OVFile& file, const KeyVal* records, u32 count) {
    INT64 bytes = recordBytes(count);
    if (kLittleEndianHost || records == nullptr || transferCount(bytes) == 0) {
        return writeBytes(file, records, bytes);
    }
    KeyVal* swapped = static_cast<KeyVal*>(std::malloc(static_cast<size_t>(bytes)));
    if (swapped == nullptr) {
        return 0;
    }
    for (u32 i = 0; i < count; ++i) {
        swapped[i].key = toLittleEndian(records[i].key);
        swapped[i].value =
            static_cast<int32_t>(toLittleEndian(static_cast<uint32_t>(records[i].value)));
    }
    int written = writeBytes(file, swapped, bytes);
    std::free(swapped);
    return written;
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
    OVFile file;
    bool opened = openFile(file, file_name, kModeWriteTruncate);
    SENSOR_ASSERT(opened, "file.open(file_name, OVFile::modeWrite | OVFile::modeTruncate)",
                  "file_name(%s)\n", printable(file_name));
    int nSize = writeBytes(file, data, file_len);
    SENSOR_ASSERT(file_len == static_cast<INT64>(nSize),
                  "file_len == (nSize=file.write(data, file_len))", "file_len(%d)\n",
                  static_cast<int>(file_len));
    file.close();
    return nSize;
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
    OVFile file;
    bool opened = openFile(file, file_name, kModeWriteTruncate);
    SENSOR_ASSERT(opened, "file.open(file_name, OVFile::modeWrite | OVFile::modeTruncate)",
                  "file_name(%s)\n", printable(file_name));
    int nSize = writeRecords(file, p_pKeyVal, p_nKeyValNum);
    SENSOR_ASSERT(static_cast<INT64>(nSize) == recordBytes(p_nKeyValNum),
                  "nSize == sizeof(KeyVal)*p_nKeyValSum",
                  "nSize(%d) sizeof(KeyVal) = %d, p_nKeyValNum(%d)\n", nSize,
                  static_cast<int>(sizeof(KeyVal)), static_cast<int>(p_nKeyValNum));
    file.close();
    return OVS_SUCCESS;
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
