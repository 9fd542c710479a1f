// The camera's folders for a fuzzing process: one fresh root under the temporary directory,
// holding the bundled device data, that SENSOR_ROOT points at; removed at exit.
#ifndef FUZZ_SANDBOX_H
#define FUZZ_SANDBOX_H

#include <stddef.h>
#include <stdint.h>

#include <string>

namespace fuzz {

// Creates the root once per process (later calls do nothing).
void setUpSandbox();
// Host path of a camera path inside the root.
std::string hostPath(const std::string& cameraPath);
void writeFile(const std::string& cameraPath, const std::string& bytes);

// Reads the input front to back.
class Input {
public:
    Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool empty() const { return m_pos >= m_size; }
    uint8_t byte();
    int32_t int32();
    // Up to the next `separator` byte (consumed) or the end.
    std::string text(char separator);

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

}  // namespace fuzz

#endif
