// Appending, size-rotated log file.
#ifndef OV_LOGGER_H
#define OV_LOGGER_H

#include <string>

class OVLogger {
public:
    OVLogger();
    ~OVLogger();
    // path: sandbox-resolved log file; maxSize: bytes before rotation; maxFiles: files kept
    // (the live file plus maxFiles-1 rotated copies path.1, path.2, ...).
    bool init(const char* path, int maxSize, int maxFiles);
    // Appends one record "YYYY-MM-DD HH:MM:SS <tag> <text>" (a newline is added when the
    // text has none).
    void writeLog(const char* tag, const char* text);

private:
    std::string m_strPath;
    int m_nMaxSize;
    int m_nMaxFiles;
    bool m_bInited;
};

#endif
