// The resources and imports of the 32-bit product, read back from
// build/Wipora.exe itself: a 64-bit process cannot run it, but loads it as a
// data file and parses its PE headers.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "app/app_support.h"
#include "support/test_support.h"

namespace {

const WORD kEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

class ProductResources : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        path_ = appfixture::Program32();
        if (!path_.empty()) module_ = LoadLibraryExA(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    static void TearDownTestSuite()
    {
        if (module_) FreeLibrary(module_);
        module_ = nullptr;
    }
    void SetUp() override
    {
        ASSERT_FALSE(path_.empty()) << "could not copy build/Wipora.exe";
        ASSERT_NE(module_, nullptr) << "could not load " << path_ << " as data";
    }

    // The bytes of one resource; empty when it is missing.
    static std::vector<BYTE> Resource(LPCSTR type, int id, WORD language = kEnglishUs)
    {
        HRSRC found = FindResourceExA(module_, type, MAKEINTRESOURCEA(id), language);
        if (!found) return {};
        HGLOBAL loaded = LoadResource(module_, found);
        const BYTE* data = static_cast<const BYTE*>(LockResource(loaded));
        if (!data) return {};
        return std::vector<BYTE>(data, data + SizeofResource(module_, found));
    }

    static std::string path_;
    static HMODULE module_;
};
std::string ProductResources::path_;
HMODULE ProductResources::module_ = nullptr;

// Reads a resource's little-endian fields in order, DWORD alignment counted
// from the start of the resource.
struct Reader {
    const std::vector<BYTE>& data;
    size_t at = 0;
    bool overrun = false;

    WORD Word()
    {
        if (at + 2 > data.size()) { overrun = true; return 0; }
        WORD w = static_cast<WORD>(data[at] | (data[at + 1] << 8));
        at += 2;
        return w;
    }
    DWORD Dword() { DWORD low = Word(); return low | (static_cast<DWORD>(Word()) << 16); }
    short Short() { return static_cast<short>(Word()); }
    void AlignDword() { at = (at + 3) & ~static_cast<size_t>(3); }
    // A zero-terminated UTF-16 string; the texts here are all ASCII.
    std::string String()
    {
        std::string s;
        for (WORD c = Word(); c != 0 && !overrun; c = Word()) s += c < 0x80 ? static_cast<char>(c) : '?';
        return s;
    }
    // sz_Or_Ord: "" for none, "#n" for an ordinal, else the string.
    std::string NameOrOrdinal()
    {
        WORD first = Word();
        if (first == 0) return "";
        if (first == 0xFFFF) return "#" + std::to_string(Word());
        std::string s(1, static_cast<char>(first));
        return s + String();
    }
};

struct DialogItem {
    DWORD style, exStyle;
    short x, y, cx, cy;
    WORD id;
    std::string className, text;
};

const char kQuestion[] =
    "Are you sure you want to clear all Ostrevan 3270, 5250, FTP and VT Web-to-Host components "
    "including Program Files, ActiveX Controls, Netscape Plugins and Java Archive Files?";

// Ordinal classes of the classic template: 0x80 button, 0x82 static.
const DialogItem kExpectedItems[] = {
    {0x50000003, 0, 10, 10, 20, 20, 102, "#130", "#102"},
    {0x50020000, 0, 45, 8, 219, 24, 0xFFFF, "#130", kQuestion},
    {0x50010000, 0, 45, 43, 75, 14, 205, "#128", "&Yes"},
    {0x50010000, 0, 155, 43, 75, 14, 206, "#128", "&Cancel"},
    {0x50030003, 0, 10, 68, 225, 10, 203, "#128",
     "&Delete All User Files (Profiles, Scripts, Transfer Files, etc.)"},
    {0x50030003, 0, 10, 82, 225, 10, 204, "#128", "Uninstall &ActiveX Controls"},
    {0x50030003, 0, 10, 96, 225, 10, 201, "#128",
     "Delete All I&nternet Cached Files (except URL History and Cookies)"},
    {0x50030003, 0, 10, 110, 225, 10, 202, "#128", "&Uninstall Ostrevan Served Desktop"},
    {0x50000003, 0, 243, 99, 21, 20, 0xFFFF, "#130", "#101"},
};

TEST_F(ProductResources, ConfirmationDialogTemplateFieldByField)
{
    std::vector<BYTE> data = Resource(RT_DIALOG, 1001);
    ASSERT_FALSE(data.empty()) << "dialog 1001 (English, United States)";
    Reader r{data};
    // The extended form starts with the version 1 and signature 0xFFFF.
    ASSERT_FALSE(data.size() >= 4 && data[2] == 0xFF && data[3] == 0xFF) << "extended template";
    EXPECT_EQ(r.Dword(), 0x80C800C0u) << "style";
    EXPECT_EQ(r.Dword(), 0u) << "extended style";
    WORD count = r.Word();
    EXPECT_EQ(count, 9);
    EXPECT_EQ(r.Short(), 0);
    EXPECT_EQ(r.Short(), 0);
    EXPECT_EQ(r.Short(), 275);
    EXPECT_EQ(r.Short(), 129);
    EXPECT_EQ(r.NameOrOrdinal(), "") << "menu";
    EXPECT_EQ(r.NameOrOrdinal(), "") << "class";
    EXPECT_EQ(r.String(), "Ostrevan Wipora Utility") << "caption";
    EXPECT_EQ(r.Word(), 8) << "font size";
    EXPECT_EQ(r.String(), "MS Sans Serif");

    for (WORD i = 0; i < count && i < 9; ++i) {
        const DialogItem& want = kExpectedItems[i];
        SCOPED_TRACE("item " + std::to_string(i + 1));
        r.AlignDword();
        EXPECT_EQ(r.Dword(), want.style);
        EXPECT_EQ(r.Dword(), want.exStyle);
        EXPECT_EQ(r.Short(), want.x);
        EXPECT_EQ(r.Short(), want.y);
        EXPECT_EQ(r.Short(), want.cx);
        EXPECT_EQ(r.Short(), want.cy);
        EXPECT_EQ(r.Word(), want.id);
        EXPECT_EQ(r.NameOrOrdinal(), want.className);
        EXPECT_EQ(r.NameOrOrdinal(), want.text);
        WORD extra = r.Word();
        EXPECT_EQ(extra, 0) << "creation data";
        r.at += extra;
    }
    EXPECT_FALSE(r.overrun);
    r.AlignDword();
    EXPECT_GE(r.at + 3, data.size()) << "bytes after the ninth item";
}

struct IconEntry { int width, height, bitCount, colours; WORD id; };

// The entries of an icon group (GRPICONDIR).
std::vector<IconEntry> IconGroup(const std::vector<BYTE>& group)
{
    std::vector<IconEntry> entries;
    if (group.size() < 6) return entries;
    Reader r{group};
    r.Word();   // reserved
    if (r.Word() != 1) return entries;   // type 1: icon
    WORD count = r.Word();
    for (WORD i = 0; i < count && !r.overrun; ++i) {
        IconEntry e = {};
        WORD size = r.Word();
        e.width = size & 0xFF;
        e.height = size >> 8;
        e.colours = r.Word() & 0xFF;   // colour count, reserved byte
        r.Word();                      // planes
        e.bitCount = r.Word();
        r.Dword();                     // bytes in resource
        e.id = r.Word();
        entries.push_back(e);
    }
    return entries;
}

// biBitCount of the image of an RT_ICON resource, and its size; 0 when missing.
int ImageBits(HMODULE module, WORD id, int* width, int* height)
{
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), RT_ICON);
    if (!found) return 0;
    auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, found)));
    if (!header || SizeofResource(module, found) < sizeof *header) return 0;
    *width = header->biWidth;
    *height = header->biHeight / 2;   // colour and mask bitmaps
    return header->biBitCount;
}

TEST_F(ProductResources, IconGroupsHoldTheirImages)
{
    struct Want { int group; std::vector<int> bits; } wanted[] = {{102, {4, 8}}, {101, {4}}};
    for (const Want& want : wanted) {
        SCOPED_TRACE("icon group " + std::to_string(want.group));
        std::vector<IconEntry> entries = IconGroup(Resource(RT_GROUP_ICON, want.group));
        ASSERT_EQ(entries.size(), want.bits.size());
        for (size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(entries[i].width, 32);
            EXPECT_EQ(entries[i].height, 32);
            EXPECT_EQ(entries[i].bitCount, want.bits[i]);
            EXPECT_EQ(entries[i].colours, want.bits[i] == 4 ? 16 : 0) << "16 or 256 colours";
            int width = 0, height = 0;
            EXPECT_EQ(ImageBits(module_, entries[i].id, &width, &height), want.bits[i]);
            EXPECT_EQ(width, 32);
            EXPECT_EQ(height, 32);
        }
    }
}

// One node of a version resource: key, value bytes, children.
struct VersionNode {
    std::string key;
    std::vector<BYTE> value;
    WORD type = 0;
    std::vector<VersionNode> children;
};

bool ParseVersionNode(const std::vector<BYTE>& data, size_t start, VersionNode* node)
{
    Reader r{data, start};
    WORD length = r.Word();
    WORD valueLength = r.Word();
    node->type = r.Word();
    node->key = r.String();
    size_t end = start + length;
    if (r.overrun || length < 6 || end > data.size()) return false;
    r.AlignDword();
    size_t valueBytes = node->type == 1 ? valueLength * 2u : valueLength;
    if (r.at + valueBytes > end) return false;
    node->value.assign(data.begin() + r.at, data.begin() + r.at + valueBytes);
    r.at += valueBytes;
    for (r.AlignDword(); r.at + 6 <= end; r.AlignDword()) {
        VersionNode child;
        size_t childLength = Reader{data, r.at}.Word();
        if (childLength == 0 || !ParseVersionNode(data, r.at, &child)) return false;
        node->children.push_back(child);
        r.at += childLength;
    }
    return true;
}

std::string TextValue(const VersionNode& node)
{
    std::string s;
    for (size_t i = 0; i + 1 < node.value.size(); i += 2) {
        WORD c = static_cast<WORD>(node.value[i] | (node.value[i + 1] << 8));
        if (c == 0) break;
        s += static_cast<char>(c);
    }
    return s;
}

TEST_F(ProductResources, VersionBlockNamesTheUtility)
{
    std::vector<BYTE> data = Resource(RT_VERSION, 1);
    ASSERT_FALSE(data.empty());
    VersionNode root;
    ASSERT_TRUE(ParseVersionNode(data, 0, &root));
    EXPECT_EQ(root.key, "VS_VERSION_INFO");
    ASSERT_EQ(root.value.size(), sizeof(VS_FIXEDFILEINFO));
    VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, root.value.data(), sizeof fixed);
    EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed.dwFileVersionMS, MAKELONG(1, 7)) << "7.1";
    EXPECT_EQ(HIWORD(fixed.dwFileVersionLS), 11);
    EXPECT_EQ(fixed.dwProductVersionMS, MAKELONG(1, 7));
    EXPECT_EQ(HIWORD(fixed.dwProductVersionLS), 11);
    EXPECT_EQ(fixed.dwFileType, static_cast<DWORD>(VFT_APP));

    std::map<std::string, std::string> strings;
    for (const VersionNode& info : root.children)
        if (info.key == "StringFileInfo")
            for (const VersionNode& table : info.children)
                for (const VersionNode& entry : table.children) strings[entry.key] = TextValue(entry);
    EXPECT_EQ(strings["FileVersion"], "7.1.11");
    EXPECT_EQ(strings["ProductVersion"], "7.1.11");
    EXPECT_EQ(strings["FileDescription"], "Ostrevan Web-to-Host Clear Utility");
    EXPECT_EQ(strings["InternalName"], "Wipora.exe");
    EXPECT_EQ(strings["OriginalFilename"], "Wipora.exe");
}

TEST_F(ProductResources, ManifestAsksForNoElevation)
{
    std::vector<BYTE> data = Resource(MAKEINTRESOURCEA(24), 1);
    ASSERT_FALSE(data.empty()) << "manifest 1";
    std::string manifest(data.begin(), data.end());
    EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"),
              std::string::npos)
        << manifest;
    EXPECT_EQ(manifest.find("requireAdministrator"), std::string::npos);
    EXPECT_EQ(manifest.find("highestAvailable"), std::string::npos);
}

// The PE file itself: headers and the import table.
class ProductImage : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string path = appfixture::Program32();
        ASSERT_FALSE(path.empty());
        ASSERT_TRUE(fixture::ReadFile(path, &bytes_));
        ASSERT_GT(bytes_.size(), 0x400u);
        LONG at = 0;
        std::memcpy(&at, &bytes_[0x3C], sizeof at);
        ASSERT_LT(static_cast<size_t>(at) + sizeof headers_, bytes_.size());
        std::memcpy(&headers_, &bytes_[at], sizeof headers_);
        sections_ = at + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) +
                    headers_.FileHeader.SizeOfOptionalHeader;
    }

    // File offset of a relative virtual address; 0 when no section holds it.
    size_t Offset(DWORD rva) const
    {
        for (WORD i = 0; i < headers_.FileHeader.NumberOfSections; ++i) {
            IMAGE_SECTION_HEADER s;
            size_t at = sections_ + i * sizeof s;
            if (at + sizeof s > bytes_.size()) return 0;
            std::memcpy(&s, &bytes_[at], sizeof s);
            DWORD span = s.Misc.VirtualSize > s.SizeOfRawData ? s.Misc.VirtualSize : s.SizeOfRawData;
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + span)
                return rva - s.VirtualAddress + s.PointerToRawData;
        }
        return 0;
    }

    std::string bytes_;
    IMAGE_NT_HEADERS32 headers_ = {};
    size_t sections_ = 0;
};

TEST_F(ProductImage, IsA32BitGuiProgram)
{
    EXPECT_EQ(bytes_.substr(0, 2), "MZ");
    EXPECT_EQ(headers_.Signature, static_cast<DWORD>(IMAGE_NT_SIGNATURE));
    EXPECT_EQ(headers_.FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_EQ(headers_.OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
    EXPECT_EQ(headers_.OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    EXPECT_TRUE(headers_.FileHeader.Characteristics & IMAGE_FILE_EXECUTABLE_IMAGE);
}

TEST_F(ProductImage, ImportsOnlyDllsTheSystemLoadsFromItsOwnFolder)
{
    const IMAGE_DATA_DIRECTORY& imports =
        headers_.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    ASSERT_NE(imports.VirtualAddress, 0u);
    EXPECT_EQ(headers_.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].Size, 0u)
        << "no delay-loaded DLLs";
    size_t at = Offset(imports.VirtualAddress);
    ASSERT_NE(at, 0u);
    const char* allowed[] = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll",
                             "shell32.dll", "shlwapi.dll", "ole32.dll", "msvcrt.dll"};
    std::vector<std::string> names;
    for (int guard = 0; guard < 64; ++guard, at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR d;
        ASSERT_LE(at + sizeof d, bytes_.size());
        std::memcpy(&d, &bytes_[at], sizeof d);
        if (d.Name == 0) break;
        size_t name = Offset(d.Name);
        ASSERT_NE(name, 0u);
        names.push_back(bytes_.c_str() + name);
    }
    ASSERT_FALSE(names.empty());
    for (const std::string& name : names) {
        bool ok = false;
        for (const char* a : allowed) ok = ok || lstrcmpiA(name.c_str(), a) == 0;
        EXPECT_TRUE(ok) << "imports " << name;
    }
}

}  // namespace
