// The library's one exception type, raised by the consistency checks of SafePointer.
#ifndef OV_RUNTIME_ERROR_H
#define OV_RUNTIME_ERROR_H

#include <exception>
#include <string>

class OVRuntimeError : public std::exception {
public:
    explicit OVRuntimeError(const std::string& message) : m_strMessage(message) {}
    // A null text gives an empty message.
    explicit OVRuntimeError(const char* const& message) : m_strMessage(message ? message : "") {}
    ~OVRuntimeError() noexcept override {}
    const char* what() const noexcept override { return m_strMessage.c_str(); }

private:
    std::string m_strMessage;
};

#endif
