// Whole-file access over stdio, as a camera's own framework offers it: a truncating open
// empties the file in place and writes go straight into it. Nothing here keeps a file whole
// across a failed write or a power cut; callers that need that do it themselves.
#ifndef OV_FILE_H
#define OV_FILE_H

#include <cstdio>
#include <string>

class OVFile {
public:
    enum { modeRead = 1, modeWrite = 2, modeTruncate = 64 };

    OVFile();
    ~OVFile();
    OVFile(const OVFile&) = delete;
    OVFile& operator=(const OVFile&) = delete;

    // Opens the sandbox-resolved path; mode 1 reads, 66 (write|truncate) creates the file or
    // empties it in place.
    bool open(const char* path, int mode = modeRead);
    // Bytes moved; 0 (never the requested count) when the file is not open.
    int read(void* buf, unsigned int count);
    int write(const void* buf, unsigned int count);
    // Length in bytes of the open file; -1 when not open.
    long long getLength();
    FILE* getFileHandle() const { return m_pFile; }
    // Next line without its line break; empty at end of file (or for a null handle).
    static std::string ReadOneLine(FILE* file);
    // Closes the file; false when a write error was pending or the close itself failed
    // (buffered bytes that did not reach the file). True when nothing was open.
    bool close();

private:
    FILE* m_pFile;
    int m_nMode;
    std::string m_strPath;
};

#endif
