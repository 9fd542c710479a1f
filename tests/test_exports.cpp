// The dynamic symbol table of libtarnis.so: the library exports its interface and nothing
// else, and reaches ia_ioctrl_v2 only as an undefined, dynamically bound reference.
#include <cxxabi.h>
#include <elf.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct DynamicSymbol {
    std::string mangled;
    std::string name;  // demangled
    bool defined;
    unsigned type;  // STT_*
    unsigned long long size;
};

std::string demangle(const std::string& mangled) {
    int status = 0;
    char* text = abi::__cxa_demangle(mangled.c_str(), nullptr, nullptr, &status);
    if (status != 0 || text == nullptr) {
        return mangled;
    }
    std::string name(text);
    std::free(text);
    return name;
}

template <typename T>
bool readAt(const std::vector<char>& image, unsigned long long offset, T& out) {
    if (offset > image.size() || image.size() - offset < sizeof(T)) {
        return false;
    }
    std::memcpy(&out, image.data() + offset, sizeof(T));
    return true;
}

// Reads .dynsym of a 32- or 64-bit ELF image in the host's byte order.
template <typename Ehdr, typename Shdr, typename Sym>
bool readDynamicSymbols(const std::vector<char>& image, std::vector<DynamicSymbol>& out) {
    Ehdr header;
    if (!readAt(image, 0, header) || header.e_shentsize != sizeof(Shdr)) {
        return false;
    }
    auto section = [&](unsigned index, Shdr& s) {
        return readAt(image, header.e_shoff + static_cast<unsigned long long>(index) * sizeof(Shdr),
                      s);
    };
    for (unsigned i = 0; i < header.e_shnum; ++i) {
        Shdr symtab;
        Shdr strtab;
        if (!section(i, symtab)) {
            return false;
        }
        if (symtab.sh_type != SHT_DYNSYM) {
            continue;
        }
        if (!section(symtab.sh_link, strtab) || symtab.sh_entsize != sizeof(Sym)) {
            return false;
        }
        for (unsigned long long n = 1; n < symtab.sh_size / sizeof(Sym); ++n) {
            Sym sym;
            if (!readAt(image, symtab.sh_offset + n * sizeof(Sym), sym) ||
                sym.st_name >= strtab.sh_size) {
                return false;
            }
            const char* name = image.data() + strtab.sh_offset + sym.st_name;
            size_t room = static_cast<size_t>(strtab.sh_size - sym.st_name);
            DynamicSymbol entry;
            entry.mangled.assign(name, strnlen(name, room));
            entry.name = demangle(entry.mangled);
            entry.defined = sym.st_shndx != SHN_UNDEF;
            entry.type = sym.st_info & 0xf;
            entry.size = sym.st_size;
            unsigned bind = sym.st_info >> 4;
            if (bind == STB_LOCAL || entry.type == STT_SECTION || entry.type == STT_FILE) {
                continue;
            }
            out.push_back(entry);
        }
        return true;
    }
    return false;
}

bool loadDynamicSymbols(const std::string& path, std::vector<DynamicSymbol>& out) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (image.size() < EI_NIDENT || std::memcmp(image.data(), ELFMAG, SELFMAG) != 0) {
        return false;
    }
    if (image[EI_CLASS] == ELFCLASS32) {
        return readDynamicSymbols<Elf32_Ehdr, Elf32_Shdr, Elf32_Sym>(image, out);
    }
    if (image[EI_CLASS] == ELFCLASS64) {
        return readDynamicSymbols<Elf64_Ehdr, Elf64_Shdr, Elf64_Sym>(image, out);
    }
    return false;
}

// How std::string reads in a demangled signature; "@" stands for it in the table below.
const char kStdString[] =
    "std::__cxx11::basic_string<char, std::char_traits<char>, std::allocator<char> >";

struct AllowedExport {
    const char* name;       // bare name of the free function or global
    const char* signature;  // full demangled form, for the ones this suite insists on
};

// Everything libtarnis may export besides the members of ISensorController. Entries with a
// signature must be present today with exactly that signature.
// clang-format off
const AllowedExport kAllowedExports[] = {
    {"updateDebugLevel",    "updateDebugLevel()"},
    {"getFileLen",          "getFileLen(char const*)"},
    {"loadFromFile",        "loadFromFile(char const*, char*, long long)"},
    {"saveToFile",          "saveToFile(char*, char*, long long)"},
    {"keyValFromFile",      "keyValFromFile(char*, KeyVal*, unsigned int)"},
    {"keyValToFile",        "keyValToFile(char*, KeyVal*, unsigned int)"},
    {"getVersion",          "getVersion(unsigned int*)"},
    {"setVersion",          "setVersion(unsigned int)"},
    {"keyval_str2st",       "keyval_str2st(@ const&, KeyVal*, unsigned int*)"},
    {"keyval_st2str",       "keyval_st2str(@&, KeyVal*, unsigned int)"},
    {"keyval_correct",      "keyval_correct(int, KeyVal*, unsigned int)"},
    {"g_nDebugLevel",       "g_nDebugLevel"},
    {"g_bEnAssert",         "g_bEnAssert"},
    {"initSysConf",         nullptr},
    {"uinitSysConf",        nullptr},
    {"getDetailFieldTou32", nullptr},
    {"getDetailFieldToStr", nullptr},
    {"mergeStyle",          nullptr},
    {"updateStyleTab",      nullptr},
    {"getDnaStyle",         nullptr},
    {"doDnaStyle",          nullptr},
    {"doCustomizeStyle",    nullptr},
    {"getDnaValbyCmdId",    nullptr},
    {"getNodebyCmdId",      nullptr},
    {"DeleteNode",          nullptr},
    {"ModifyNodebyCmdId",   nullptr},
    {"getFctData",          nullptr},
    {"style2KeyVal",        nullptr},
    {"setshowBeawayFalg",   nullptr},
    {"getshowBeawayFalg",   nullptr},
    {"g_bShoWBeawayFalg",   nullptr},
};
// clang-format on

std::string expandSignature(const char* signature) {
    std::string text(signature);
    size_t at = text.find('@');
    return at == std::string::npos ? text : text.replace(at, 1, kStdString);
}

bool isControllerSymbol(const std::string& name) {
    return name.rfind("ISensorController::", 0) == 0 || name == "typeinfo for ISensorController" ||
           name == "typeinfo name for ISensorController" || name == "vtable for ISensorController";
}

std::string bareName(const std::string& name) {
    return name.substr(0, name.find('('));
}

bool isAllowed(const std::string& name) {
    if (isControllerSymbol(name)) {
        return true;
    }
    for (const AllowedExport& allowed : kAllowedExports) {
        if (bareName(name) == allowed.name) {
            return true;
        }
    }
    return false;
}

class ExportsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const char* dir = std::getenv("TARNIS_BUILD_DIR");
        s_path = std::string(dir != nullptr ? dir : ".") + "/libtarnis.so";
        s_loaded = loadDynamicSymbols(s_path, s_symbols);
    }

    void SetUp() override {
        ASSERT_TRUE(s_loaded) << "cannot read the dynamic symbols of " << s_path
                              << " (TARNIS_BUILD_DIR names the build folder)";
    }

    static const DynamicSymbol* find(const std::string& name) {
        for (const DynamicSymbol& sym : s_symbols) {
            if (sym.defined && sym.name == name) {
                return &sym;
            }
        }
        return nullptr;
    }

    static std::string s_path;
    static bool s_loaded;
    static std::vector<DynamicSymbol> s_symbols;
};

std::string ExportsTest::s_path;
bool ExportsTest::s_loaded = false;
std::vector<DynamicSymbol> ExportsTest::s_symbols;

TEST_F(ExportsTest, NothingBeyondTheInterfaceIsExported) {
    for (const DynamicSymbol& sym : s_symbols) {
        if (sym.defined) {
            EXPECT_TRUE(isAllowed(sym.name))
                << "unexpected export: " << sym.name << " (" << sym.mangled << ")";
        }
    }
}

TEST_F(ExportsTest, DiagnosticFileAndKeyValFunctionsAreExportedWithTheirSignatures) {
    for (const AllowedExport& allowed : kAllowedExports) {
        if (allowed.signature == nullptr) {
            continue;
        }
        std::string signature = expandSignature(allowed.signature);
        EXPECT_NE(find(signature), nullptr) << "missing export: " << signature;
    }
}

TEST_F(ExportsTest, DiagnosticGlobalsAreDataOfTheirExportedSize) {
    const DynamicSymbol* level = find("g_nDebugLevel");
    const DynamicSymbol* enAssert = find("g_bEnAssert");
    ASSERT_NE(level, nullptr);
    ASSERT_NE(enAssert, nullptr);
    EXPECT_EQ(level->type, static_cast<unsigned>(STT_OBJECT));
    EXPECT_EQ(level->size, 4u);
    EXPECT_EQ(enAssert->type, static_cast<unsigned>(STT_OBJECT));
    EXPECT_EQ(enAssert->size, 1u);
}

TEST_F(ExportsTest, ImageProcessorEntryIsLeftToTheDynamicLinker) {
    bool referenced = false;
    for (const DynamicSymbol& sym : s_symbols) {
        if (sym.mangled == "ia_ioctrl_v2") {
            EXPECT_FALSE(sym.defined) << "libtarnis must not define ia_ioctrl_v2";
            referenced = true;
        }
    }
    EXPECT_TRUE(referenced) << "libtarnis does not reference ia_ioctrl_v2";
}

}  // namespace
