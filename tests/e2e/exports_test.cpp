// Loads HalcyraRemote.exe as a library, as another program would, and reaches each of the
// fourteen exported address utilities by decorated name and by ordinal.
// Usage: exports_test [gtest options] [PATH\TO\HalcyraRemote.exe]
// Without a path the executable is looked for beside this program.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "tests/support/wine_path.h"

namespace {

std::string g_ProgramPath = "HalcyraRemote.exe";
HMODULE g_Module = NULL;

const ULONG_PTR PREFERRED_BASE = 0x47000000;

// The exported names, in ordinal order from 1.
const char *const EXPORT_NAMES[14] = {
    "?CompareIPAddresses@@YAHPAE0@Z",     // 1
    "?HWAddrByteToStr@@YAHPAEPAD@Z",      // 2
    "?HWAddrStrToByte@@YAHPADPAE@Z",      // 3
    "?IPAddrByteToStr@@YAHPAEPAD@Z",      // 4
    "?IPAddrStrToByte@@YAHPADPAE@Z",      // 5
    "?IsAnIPNet@@YAHPAD@Z",               // 6
    "?IsAnIPRange@@YAHPAD@Z",             // 7
    "?IsAnIPTypeString@@YAHPAD@Z",        // 8
    "?ParseIPAddressRange@@YAXPADPAE@Z",  // 9
    "?StringToHex@@YAEPAD@Z",             // 10
    "?ValidHWAddress@@YAHPAD@Z",          // 11
    "?ValidHWAddress@@YAHPAE@Z",          // 12
    "?ValidIPAddress@@YAHPADH@Z",         // 13
    "?ValidIPAddress@@YAHPAE@Z",          // 14
};

typedef int(__cdecl *CompareIPAddressesFn)(unsigned char *, unsigned char *);
typedef int(__cdecl *ByteToStrFn)(unsigned char *, char *);
typedef int(__cdecl *StrToByteFn)(char *, unsigned char *);
typedef int(__cdecl *TextPredicateFn)(char *);
typedef void(__cdecl *ParseIPAddressRangeFn)(char *, unsigned char *);
typedef unsigned char(__cdecl *StringToHexFn)(char *);
typedef int(__cdecl *BytePredicateFn)(unsigned char *);
typedef int(__cdecl *ValidIPTextFn)(char *, int);

// The address of export `ordinal`, after checking that its name leads to the same place.
FARPROC Export(int ordinal)
{
    FARPROC by_name = GetProcAddress(g_Module, EXPORT_NAMES[ordinal - 1]);
    FARPROC by_ordinal = GetProcAddress(g_Module, MAKEINTRESOURCEA(ordinal));
    EXPECT_NE(by_name, nullptr) << EXPORT_NAMES[ordinal - 1];
    EXPECT_NE(by_ordinal, nullptr) << "ordinal " << ordinal;
    EXPECT_EQ(by_name, by_ordinal) << EXPORT_NAMES[ordinal - 1] << " vs ordinal " << ordinal;
    return by_name;
}

template <typename Fn>
Fn ByName(int ordinal)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void *>(GetProcAddress(g_Module, EXPORT_NAMES[ordinal - 1])));
}

template <typename Fn>
Fn ByOrdinal(int ordinal)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void *>(GetProcAddress(g_Module, MAKEINTRESOURCEA(ordinal))));
}

// The function of an ordinal, reached by its decorated name or by the ordinal itself.
template <typename Fn>
Fn Lookup(bool by_name, int ordinal)
{
    return by_name ? ByName<Fn>(ordinal) : ByOrdinal<Fn>(ordinal);
}

const IMAGE_NT_HEADERS *NtHeaders(const unsigned char *base)
{
    const IMAGE_DOS_HEADER *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    return reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
}

// The preferred base written in the file itself (the loaded header may be rewritten).
ULONG_PTR ImageBaseOnDisk(const std::string &path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;
    unsigned char header[4096] = {0};
    DWORD got = 0;
    BOOL ok = ReadFile(file, header, sizeof(header), &got, NULL);
    CloseHandle(file);
    if (!ok || got < sizeof(IMAGE_DOS_HEADER)) return 0;
    LONG offset = reinterpret_cast<const IMAGE_DOS_HEADER *>(header)->e_lfanew;
    if (offset <= 0 || (DWORD)offset + sizeof(IMAGE_NT_HEADERS) > got) return 0;
    return NtHeaders(header)->OptionalHeader.ImageBase;
}

TEST(ExportsTest, LoadsAtPreferredBase)
{
    ASSERT_NE(g_Module, nullptr) << "LoadLibraryA(" << g_ProgramPath << ") failed";
    EXPECT_EQ(ImageBaseOnDisk(g_ProgramPath), PREFERRED_BASE);
    EXPECT_EQ((ULONG_PTR)g_Module, PREFERRED_BASE);
    // This program keeps the usual base, far from the library's.
    EXPECT_NE((ULONG_PTR)GetModuleHandleA(NULL), PREFERRED_BASE);
}

TEST(ExportsTest, ExportDirectory)
{
    ASSERT_NE(g_Module, nullptr);
    const unsigned char *base = reinterpret_cast<const unsigned char *>(g_Module);
    const IMAGE_DATA_DIRECTORY &entry =
        NtHeaders(base)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    ASSERT_NE(entry.VirtualAddress, 0u);
    const IMAGE_EXPORT_DIRECTORY *exports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY *>(base + entry.VirtualAddress);
    EXPECT_STREQ(reinterpret_cast<const char *>(base + exports->Name), "HalcyraRemote.exe");
    EXPECT_EQ(exports->Base, 1u);
    ASSERT_EQ(exports->NumberOfFunctions, 14u);
    ASSERT_EQ(exports->NumberOfNames, 14u);

    // Every name, in the name table's (sorted) order, with the ordinal it maps to.
    const DWORD *names = reinterpret_cast<const DWORD *>(base + exports->AddressOfNames);
    const WORD *ordinals = reinterpret_cast<const WORD *>(base + exports->AddressOfNameOrdinals);
    const DWORD *functions = reinterpret_cast<const DWORD *>(base + exports->AddressOfFunctions);
    for (int i = 0; i < 14; ++i) {
        EXPECT_STREQ(reinterpret_cast<const char *>(base + names[i]), EXPORT_NAMES[i]);
        EXPECT_EQ(ordinals[i] + exports->Base, (DWORD)(i + 1)) << EXPORT_NAMES[i];
        EXPECT_NE(functions[i], 0u);
    }
    // Fourteen distinct functions; the two overloads of each validator are not folded together.
    for (int i = 0; i < 14; ++i)
        for (int j = i + 1; j < 14; ++j) EXPECT_NE(functions[i], functions[j]) << i + 1 << " " << j + 1;
}

TEST(ExportsTest, NameAndOrdinalMeetForEveryExport)
{
    ASSERT_NE(g_Module, nullptr);
    for (int ordinal = 1; ordinal <= 14; ++ordinal) Export(ordinal);
    EXPECT_EQ(GetProcAddress(g_Module, MAKEINTRESOURCEA(15)), nullptr);
    EXPECT_EQ(GetProcAddress(g_Module, "ValidIPAddress"), nullptr);  // only decorated names
}

// Each call goes once through the name and once through the ordinal.
TEST(ExportsTest, IPv4Functions)
{
    ASSERT_NE(g_Module, nullptr);
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass == 0 ? "by name" : "by ordinal");
        const bool n = pass == 0;
        auto compare = Lookup<CompareIPAddressesFn>(n, 1);
        auto ip_to_text = Lookup<ByteToStrFn>(n, 4);
        auto ip_to_bytes = Lookup<StrToByteFn>(n, 5);
        auto is_net = Lookup<TextPredicateFn>(n, 6);
        auto is_range = Lookup<TextPredicateFn>(n, 7);
        auto is_type = Lookup<TextPredicateFn>(n, 8);
        auto parse_range = Lookup<ParseIPAddressRangeFn>(n, 9);
        auto valid_text = Lookup<ValidIPTextFn>(n, 13);
        auto valid_bytes = Lookup<BytePredicateFn>(n, 14);
        ASSERT_TRUE(compare && ip_to_text && ip_to_bytes && is_net && is_range && is_type &&
                    parse_range && valid_text && valid_bytes);

        char single[] = "192.168.1.10", padded[] = "192.168.001.10", empty[] = "", big[] = "192.168.1.256";
        EXPECT_EQ(valid_text(single, 1), 0);
        EXPECT_EQ(valid_text(empty, 1), -1);
        EXPECT_EQ(valid_text(padded, 1), -2);
        EXPECT_EQ(valid_text(big, 1), -3);
        char range[] = "10.0.0.5-9", backwards[] = "10.0.0.9-5";
        EXPECT_EQ(valid_text(range, 0), 0);
        EXPECT_EQ(valid_text(backwards, 0), -1);

        unsigned char loopback[4] = {127, 0, 0, 1}, zero[4] = {0, 0, 0, 0}, ten[4] = {10, 0, 0, 1};
        EXPECT_EQ(valid_bytes(loopback), 0);
        EXPECT_EQ(valid_bytes(zero), 0);
        EXPECT_EQ(valid_bytes(ten), 1);

        unsigned char bytes[4] = {9, 9, 9, 9};
        EXPECT_EQ(ip_to_bytes(single, bytes), 0);
        EXPECT_EQ(bytes[0], 192);
        EXPECT_EQ(bytes[1], 168);
        EXPECT_EQ(bytes[2], 1);
        EXPECT_EQ(bytes[3], 10);
        unsigned char partial[4] = {9, 9, 9, 9};
        char three[] = "1.2.3";
        EXPECT_EQ(ip_to_bytes(three, partial), -1);
        EXPECT_EQ(partial[2], 3);
        EXPECT_EQ(partial[3], 9);  // no part for it: untouched

        char text[16];
        std::memset(text, 'x', sizeof(text));
        EXPECT_EQ(ip_to_text(bytes, text), 0);
        EXPECT_STREQ(text, "192.168.1.10");

        unsigned char a[4] = {10, 0, 0, 1}, b[4] = {10, 0, 0, 3}, c[4] = {10, 0, 1, 0}, d[4] = {10, 0, 0, 255};
        EXPECT_EQ(compare(a, b), -2);
        EXPECT_EQ(compare(c, d), 1);
        EXPECT_EQ(compare(a, a), 0);

        char pattern[] = "10.0.0.*", dashed[] = "1.2.3.4-5", plain[] = "1.2.3.4", wide[] = "10.0.256.1";
        EXPECT_EQ(is_type(pattern), 1);
        EXPECT_EQ(is_type(wide), 0);
        EXPECT_EQ(is_net(pattern), 1);
        EXPECT_EQ(is_net(plain), 0);
        EXPECT_EQ(is_range(dashed), 1);
        EXPECT_EQ(is_range(plain), 0);

        unsigned char record[5] = {0, 0, 0, 0, 0};
        char over[] = "192.168.1.10-300";
        parse_range(over, record);
        EXPECT_EQ(record[0], 192);
        EXPECT_EQ(record[3], 10);
        EXPECT_EQ(record[4], 44);  // low eight bits of 300
        char no_end[] = "192.168.1.10";
        parse_range(no_end, record);
        EXPECT_EQ(record[4], 0);
    }
}

TEST(ExportsTest, HardwareAddressFunctions)
{
    ASSERT_NE(g_Module, nullptr);
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass == 0 ? "by name" : "by ordinal");
        const bool n = pass == 0;
        auto hw_to_text = Lookup<ByteToStrFn>(n, 2);
        auto hw_to_bytes = Lookup<StrToByteFn>(n, 3);
        auto to_hex = Lookup<StringToHexFn>(n, 10);
        auto valid_text = Lookup<TextPredicateFn>(n, 11);
        auto valid_bytes = Lookup<BytePredicateFn>(n, 12);
        ASSERT_TRUE(hw_to_text && hw_to_bytes && to_hex && valid_text && valid_bytes);

        char seven_f[] = "7f", upper[] = "7F", three[] = "100", bad[] = "1g", empty[] = "";
        EXPECT_EQ(to_hex(seven_f), 127);
        EXPECT_EQ(to_hex(upper), 127);
        EXPECT_EQ(to_hex(three), 0);
        EXPECT_EQ(to_hex(bad), 0);
        EXPECT_EQ(to_hex(empty), 0);

        char mac[] = "00:1a:2B:3c:4D:5e", short_field[] = "0:1a:2b:3c:4d:5e", dashes[] = "00-1a-2b-3c-4d-5e";
        EXPECT_EQ(valid_text(mac), 0);
        EXPECT_EQ(valid_text(empty), -1);
        EXPECT_EQ(valid_text(short_field), -2);
        EXPECT_EQ(valid_text(dashes), -2);

        unsigned char bytes[6] = {9, 9, 9, 9, 9, 9};
        EXPECT_EQ(hw_to_bytes(mac, bytes), 0);
        const unsigned char expected[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
        EXPECT_EQ(std::memcmp(bytes, expected, 6), 0);
        unsigned char sparse[6] = {9, 9, 9, 9, 9, 9};
        char two_parts[] = "aa::bb";
        EXPECT_EQ(hw_to_bytes(two_parts, sparse), 0);
        EXPECT_EQ(sparse[0], 0xAA);
        EXPECT_EQ(sparse[1], 0xBB);
        EXPECT_EQ(sparse[2], 9);

        char text[18];
        std::memset(text, 'x', sizeof(text));
        EXPECT_EQ(hw_to_text(bytes, text), 0);
        EXPECT_STREQ(text, "00:1a:2b:3c:4d:5e");

        unsigned char none[6] = {0, 0, 0, 0, 0, 0}, last[6] = {0, 0, 0, 0, 0, 1};
        EXPECT_EQ(valid_bytes(none), 0);
        EXPECT_EQ(valid_bytes(last), 1);
    }
}

}  // namespace

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (argc > 1) {
        g_ProgramPath = WindowsPath(argv[1]);
    } else {
        char own[MAX_PATH] = {0};
        DWORD length = GetModuleFileNameA(NULL, own, MAX_PATH);
        std::string dir(own, length);
        size_t slash = dir.find_last_of("\\/");
        g_ProgramPath = (slash == std::string::npos ? std::string() : dir.substr(0, slash + 1)) +
                        "HalcyraRemote.exe";
    }
    g_Module = LoadLibraryA(g_ProgramPath.c_str());
    if (!g_Module) std::fprintf(stderr, "cannot load %s (error %lu)\n", g_ProgramPath.c_str(), GetLastError());
    int status = RUN_ALL_TESTS();
    if (g_Module) FreeLibrary(g_Module);
    return status;
}
