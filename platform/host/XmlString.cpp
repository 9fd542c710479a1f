#include "XmlString.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "OVFile.h"
#include "OVPath.h"

namespace {

// The parser may look up to three bytes past the terminator of a text that ends inside a
// multi-byte character: every text handed to it carries this many zero bytes.
const size_t kParsePadding = 4;

// The whole file, or false when it cannot be opened or read.
bool readWholeFile(const char* path, std::vector<char>& bytes) {
    OVFile file;
    if (!file.open(path, OVFile::modeRead)) {
        return false;
    }
    long long length = file.getLength();
    if (length < 0) {
        return false;
    }
    bytes.assign(static_cast<size_t>(length), '\0');
    return length == 0 || file.read(bytes.data(), static_cast<unsigned int>(length)) == length;
}

// CR LF and lone CR become LF, as a document read from a file is normalised; the result is
// terminated and padded.
std::vector<char> normaliseLineBreaks(const std::vector<char>& bytes) {
    std::vector<char> text;
    text.reserve(bytes.size() + kParsePadding + 1);
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r') {
            text.push_back('\n');
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                ++i;
            }
        } else {
            text.push_back(bytes[i]);
        }
    }
    text.insert(text.end(), kParsePadding + 1, '\0');
    return text;
}

}  // namespace

void getXmlString(const TiXmlDocument& doc, std::string& text) {
    text.clear();
    // Printing through SaveFile's own stream path gives the bytes a saved file would hold.
    char* buffer = nullptr;
    size_t size = 0;
    FILE* stream = ::open_memstream(&buffer, &size);
    if (stream == nullptr) {
        return;
    }
    doc.SaveFile(stream);
    std::fclose(stream);
    text.assign(buffer, size);
    std::free(buffer);
}

bool loadXmlFile(TiXmlDocument& doc, const char* path, TiXmlEncoding encoding) {
    doc.Clear();
    doc.ClearError();
    if (path == nullptr) {
        doc.SetError(TiXmlBase::TIXML_ERROR_OPENING_FILE, nullptr, nullptr, encoding);
        return false;
    }
    // Like LoadFile, the document remembers the (resolved) name it was read from.
    doc.SetValue(OVPath::resolve(path));
    std::vector<char> bytes;
    if (!readWholeFile(path, bytes)) {
        doc.SetError(TiXmlBase::TIXML_ERROR_OPENING_FILE, nullptr, nullptr, encoding);
        return false;
    }
    std::vector<char> text = normaliseLineBreaks(bytes);
    doc.Parse(text.data(), nullptr, encoding);
    return !doc.Error();
}

bool saveXmlFile(const TiXmlDocument& doc, const char* path) {
    if (path == nullptr) {
        return false;
    }
    std::string text;
    getXmlString(doc, text);
    OVFile file;
    if (!file.open(path, OVFile::modeWrite | OVFile::modeTruncate)) {
        return false;
    }
    bool complete = file.write(text.data(), static_cast<unsigned int>(text.size())) ==
                    static_cast<int>(text.size());
    file.close();
    return complete;
}
