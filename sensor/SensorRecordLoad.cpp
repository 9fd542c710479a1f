#define SENSOR_SOURCE_NAME "SensorFile.cpp"
#include "SensorTrace.h"

#include "SensorRecordLoad.h"

#include <stdint.h>

#include <cstring>
#include <string>
#include <vector>

#include "OVFile.h"
#include "OVPath.h"
#include "SensorDurableWrite.h"
#include "SensorFile.h"

namespace {

// Most records a file is read for: several times any key list the library knows.
const INT64 kMaxFileRecords = 1024;

// The file's length when it can be opened for reading, -1 otherwise.
INT64 readableLength(const char* name) {
    OVFile file;
    if (!file.open(name)) {
        return -1;
    }
    return file.getLength();
}

uint32_t littleEndianAt(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// The whole records of the file's bytes, in host order.
std::vector<KeyVal> decodeRecords(const std::vector<char>& bytes) {
    std::vector<KeyVal> records(bytes.size() / sizeof(KeyVal));
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
    for (size_t i = 0; i < records.size(); ++i, p += sizeof(KeyVal)) {
        records[i].key = littleEndianAt(p);
        records[i].value = static_cast<int32_t>(littleEndianAt(p + 4));
    }
    return records;
}

bool sameLayout(const std::vector<KeyVal>& records, const KeyVal* factory, u32 count) {
    if (records.size() != count) {
        return false;
    }
    for (u32 i = 0; i < count; ++i) {
        if (records[i].key != factory[i].key) {
            return false;
        }
    }
    return true;
}

// The factory position a record of the file belongs to: its own position when the key is
// there, else the first position of the key not yet filled; -1 when there is none.
long positionOf(const KeyVal& record, size_t index, const KeyVal* factory, u32 count,
                const std::vector<bool>& filled) {
    if (index < count && factory[index].key == record.key && !filled[index]) {
        return static_cast<long>(index);
    }
    for (u32 i = 0; i < count; ++i) {
        if (factory[i].key == record.key && !filled[i]) {
            return static_cast<long>(i);
        }
    }
    return -1;
}

RecordLoadResult matchByKey(const std::vector<KeyVal>& records, const KeyVal* factory, u32 count,
                            KeyVal* out) {
    RecordLoadResult result = {RecordLoadState::kByKey, 0, 0, 0};
    std::vector<bool> filled(count, false);
    for (size_t i = 0; i < records.size(); ++i) {
        const long pos = positionOf(records[i], i, factory, count, filled);
        if (pos < 0) {
            ++result.unknown;
            continue;
        }
        out[pos].value = records[i].value;
        filled[static_cast<size_t>(pos)] = true;
        ++result.known;
    }
    result.missing = count - result.known;
    return result;
}

}  // namespace

RecordLoadResult loadRecordsByKey(const char* name, const KeyVal* factory, u32 count, KeyVal* out) {
    if (count == 0) {
        return {RecordLoadState::kSameLayout, 0, 0, 0};  // no key to take from any file
    }
    std::memcpy(out, factory, count * sizeof(KeyVal));
    // A missing or short file gets the reports of the plain record read.
    if (!OVPath::exists(name)) {
        SENSOR_ASSERT(false, "file.open(file_name)", "file_name(%s)\n", name);
        return {RecordLoadState::kMissing, 0, 0, count};
    }
    INT64 length = readableLength(name);
    if (length > kMaxFileRecords * static_cast<INT64>(sizeof(KeyVal))) {
        length = kMaxFileRecords * static_cast<INT64>(sizeof(KeyVal));
    }
    std::vector<char> bytes(length > 0 ? static_cast<size_t>(length) : 0);
    if (length < 0 || loadFromFile(name, bytes.data(), length) != length) {
        SENSOR_ALARM("file_name(%s) cannot be read: factory values used\n", name);
        return {RecordLoadState::kUnreadable, 0, 0, count};
    }
    const std::vector<KeyVal> records = decodeRecords(bytes);
    SENSOR_ASSERT(records.size() >= count, "nSize == sizeof(KeyVal)*p_nKeyValNum",
                  "file_name(%s) nSize(%d) sizeof(KeyVal) = %d, p_nKeyValNum(%d)\n", name,
                  static_cast<int>(bytes.size()), static_cast<int>(sizeof(KeyVal)),
                  static_cast<int>(count));
    if (sameLayout(records, factory, count)) {
        for (u32 i = 0; i < count; ++i) {
            out[i].value = records[i].value;
        }
        return {RecordLoadState::kSameLayout, count, 0, 0};
    }
    RecordLoadResult result = matchByKey(records, factory, count, out);
    if (result.known == 0 || result.unknown > result.known) {
        std::memcpy(out, factory, count * sizeof(KeyVal));
        SENSOR_ALARM(
            "file_name(%s) damaged: %u of %u records have unknown keys: factory values "
            "used\n",
            name, result.unknown, static_cast<u32>(records.size()));
        result.state = RecordLoadState::kDamaged;
        return result;
    }
    SENSOR_ALARM(
        "file_name(%s) loaded by key: %u known, %u unknown dropped, %u missing at "
        "factory values\n",
        name, result.known, result.unknown, result.missing);
    return result;
}

bool keepDamagedCopy(const char* name) {
    const INT64 length = readableLength(name);
    std::vector<char> bytes(length > 0 ? static_cast<size_t>(length) : 0);
    if (length < 0 || loadFromFile(name, bytes.data(), length) != length) {
        return false;
    }
    const std::string copy = std::string(name) + ".bad";
    const DurableWriteResult result =
        durableReplace(copy.c_str(), bytes.data(), static_cast<unsigned int>(bytes.size()));
    SENSOR_ASSERT(result.failed == DurableStep::kDone, "keepDamagedCopy(file_name)",
                  "file_name(%s): %s\n", copy.c_str(), durableStepText(result.failed));
    return result.failed == DurableStep::kDone;
}
