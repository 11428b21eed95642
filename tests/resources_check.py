#!/usr/bin/env python3
"""Checks the resources compiled into the remote's executable.

Usage: python3 tests/resources_check.py [--header-only] PROGRAM.exe [FOLDER...]

Checks that the headers carry no link time and that none of the given
folders (the source and build folders) appears in the file; the hardening
(ASLR with relocations, DEP, stack protection, no writable code); then the
DLLs that the remote imports (system DLLs only, without the common controls,
which it loads when first needed); then reads
the PE resource directory and checks the icon groups, the main window's
dialog template, the manifest and the version information (left out with
--header-only, for the other executables).
Prints one line per failed check and "N passed, M failed" at the end;
exits 1 when any check failed, 2 when the file cannot be read as a PE.
"""

import re
import struct
import sys
import xml.etree.ElementTree as ElementTree

RT_ICON = 3
RT_DIALOG = 5
RT_GROUP_ICON = 14
RT_VERSION = 16
RT_MANIFEST = 24

DIRECTORY_EXPORT = 0
DIRECTORY_IMPORT = 1
DIRECTORY_RESOURCE = 2
DIRECTORY_BASE_RELOCATION = 5
DIRECTORY_DEBUG = 6

LANG_ENGLISH_UK = 0x0809
DS_SETFONT = 0x40

passed = 0
failed = 0


def check(name, condition, detail=""):
    global passed, failed
    if condition:
        passed += 1
    else:
        failed += 1
        print("FAIL: %s%s" % (name, (": " + detail) if detail else ""))
    return condition


# ---------------------------------------------------------------------------
# PE resource directory


class PeError(Exception):
    pass


def u16(data, offset):
    return struct.unpack_from('<H', data, offset)[0]


def u32(data, offset):
    return struct.unpack_from('<I', data, offset)[0]


class Pe:
    """The headers of a PE image: what the checks below need of them."""

    def __init__(self, image):
        if image[:2] != b'MZ':
            raise PeError("no MZ header")
        pe = u32(image, 0x3C)
        if image[pe:pe + 4] != b'PE\0\0':
            raise PeError("no PE signature")
        coff = pe + 4
        self.image = image
        self.machine, section_count, self.time_stamp = struct.unpack_from(
            '<HHI', image, coff)
        optional_size, self.characteristics = struct.unpack_from(
            '<HH', image, coff + 16)
        optional = coff + 20
        self.magic = u16(image, optional)
        if self.magic == 0x10B:
            directories = optional + 96
        elif self.magic == 0x20B:
            directories = optional + 112
        else:
            raise PeError("unknown optional header magic 0x%x" % self.magic)
        self.image_base = (u32(image, optional + 28) if self.magic == 0x10B
                           else struct.unpack_from('<Q', image, optional + 24)[0])
        self.dll_characteristics = u16(image, optional + 70)
        count = u32(image, directories - 4)
        self.directories = [struct.unpack_from('<II', image, directories + 8 * i)
                            for i in range(min(count, 16))]
        self.sections = []
        table = optional + optional_size
        for i in range(section_count):
            at = table + 40 * i
            name = image[at:at + 8].rstrip(b'\0').decode('latin-1')
            virtual_size, rva, raw_size, raw_offset = struct.unpack_from(
                '<IIII', image, at + 8)
            flags = u32(image, at + 36)
            self.sections.append((name, rva, max(virtual_size, raw_size),
                                  raw_offset, raw_size, flags))

    def directory(self, index):
        """(rva, size) of a data directory; (0, 0) when the file has none."""
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def file_offset(self, rva):
        for _, start, size, raw, _, _ in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise PeError("address 0x%x lies in no section" % rva)


def read_resources(pe):
    """Returns [(type, name, language, bytes)] in directory order, and the
    time stamps of the resource directory tables.

    type and name are ints for ordinals and strs for named entries."""
    image = pe.image
    resource_rva, resource_size = pe.directory(DIRECTORY_RESOURCE)
    if resource_rva == 0 or resource_size == 0:
        return [], []
    base = pe.file_offset(resource_rva)
    stamps = []

    def entry_id(value):
        if value & 0x80000000:
            at = base + (value & 0x7FFFFFFF)
            length = u16(image, at)
            return image[at + 2:at + 2 + 2 * length].decode('utf-16-le')
        return value

    def entries(directory):
        at = base + directory
        stamps.append(u32(image, at + 4))
        count = u16(image, at + 12) + u16(image, at + 14)
        for i in range(count):
            name, target = struct.unpack_from('<II', image, at + 16 + 8 * i)
            yield entry_id(name), target

    found = []
    for rtype, type_dir in entries(0):
        for name, name_dir in entries(type_dir & 0x7FFFFFFF):
            for lang, leaf in entries(name_dir & 0x7FFFFFFF):
                if leaf & 0x80000000:
                    raise PeError("resource tree deeper than three levels")
                data_rva, size = struct.unpack_from('<II', image, base + leaf)
                at = pe.file_offset(data_rva)
                found.append((rtype, name, lang, image[at:at + size]))
    return found, stamps


def imported_dlls(pe):
    """The names of the DLLs in the import directory, in its order."""
    import_rva, import_size = pe.directory(DIRECTORY_IMPORT)
    if import_rva == 0 or import_size == 0:
        return []
    names = []
    at = pe.file_offset(import_rva)
    while True:
        name_rva = u32(pe.image, at + 12)  # the descriptor's Name
        if name_rva == 0:
            return names
        start = pe.file_offset(name_rva)
        names.append(pe.image[start:pe.image.index(b'\0', start)].decode('latin-1'))
        at += 20


# The remote starts with these only: COMCTL32 (the sign's tooltip) is loaded
# from the system folder the first time the sign shows, so that the program
# starts as fast as a plain window.
REMOTE_IMPORTS = {'advapi32.dll', 'gdi32.dll', 'kernel32.dll', 'msvcrt.dll',
                  'user32.dll', 'ws2_32.dll'}


def of_type(resources, rtype):
    return [(name, lang, data) for t, name, lang, data in resources
            if t == rtype]


def find(resources, rtype, name):
    for t, n, _, data in resources:
        if t == rtype and n == name:
            return data
    return None


def utf16z(data, offset):
    """Reads a NUL-terminated UTF-16 string; returns (text, offset after)."""
    end = offset
    while end + 1 < len(data) and data[end:end + 2] != b'\0\0':
        end += 2
    return data[offset:end].decode('utf-16-le'), end + 2


def align4(offset):
    return (offset + 3) & ~3


# ---------------------------------------------------------------------------
# Icons


def check_icon_image(label, data, size, bits):
    """Checks one RT_ICON image: a BMP entry of the given size and depth."""
    if not check(label + " image present", data is not None):
        return
    if not check(label + " has a bitmap header", len(data) >= 40 and
                 u32(data, 0) == 40, "starts with %r" % data[:8]):
        return
    width, height, planes, bit_count = struct.unpack_from('<iiHH', data, 4)
    check(label + " bitmap is %dx%d" % (size, size),
          (width, height) == (size, 2 * size),
          "header says %dx%d (height counts colour and mask)" % (width, height))
    check(label + " bitmap has %d bits per pixel" % bits,
          planes == 1 and bit_count == bits,
          "planes %d, bits %d" % (planes, bit_count))
    palette = 4 * (1 << bits) if bits <= 8 else 0
    xor_row = align4((size * bits + 7) // 8)
    and_row = align4((size + 7) // 8)
    expected = 40 + palette + size * xor_row + size * and_row
    check(label + " holds colour bits and AND mask", len(data) == expected,
          "%d bytes, expected %d" % (len(data), expected))
    if len(data) == expected:
        # The artwork does not fill the square, so the top-left pixel
        # must be transparent; a missing mask would draw a black box.
        top_row = len(data) - and_row
        check(label + " AND mask makes the corner transparent",
              data[top_row] & 0x80, "mask byte 0x%02x" % data[top_row])


def check_icon_group(resources, group_id, sizes, colours, bits):
    label = "icon group %d" % group_id
    data = find(resources, RT_GROUP_ICON, group_id)
    if not check(label + " present", data is not None):
        return
    reserved, kind, count = struct.unpack_from('<HHH', data, 0)
    if not check(label + " header", reserved == 0 and kind == 1 and
                 len(data) == 6 + 14 * count,
                 "reserved %d, type %d, count %d, %d bytes" %
                 (reserved, kind, count, len(data))):
        return
    check(label + " has %d image(s)" % len(sizes), count == len(sizes),
          "has %d" % count)
    for i in range(min(count, len(sizes))):
        width, height, colour_count, _, planes, bit_count, byte_count, \
            icon_id = struct.unpack_from('<BBBBHHIH', data, 6 + 14 * i)
        size = sizes[i]
        entry = "%s entry %d" % (label, i + 1)
        check(entry + " is %dx%d" % (size, size),
              (width, height) == (size % 256, size % 256),
              "%dx%d" % (width, height))
        check(entry + " has %d bits per pixel" % bits,
              bit_count == bits and planes == 1 and colour_count == colours,
              "bits %d, planes %d, colours %d" %
              (bit_count, planes, colour_count))
        image = find(resources, RT_ICON, icon_id)
        if image is not None:
            check(entry + " size matches its image", byte_count == len(image),
                  "entry says %d, image has %d" % (byte_count, len(image)))
        check_icon_image(entry, image, size, bits)


def check_icons(resources):
    groups = [name for name, _, _ in of_type(resources, RT_GROUP_ICON)]
    check("110 is the first icon group", groups[:1] == [110],
          "groups in order: %r" % groups)
    check_icon_group(resources, 110, [64], 0, 24)
    check_icon_group(resources, 111, [32, 16], 16, 4)


# ---------------------------------------------------------------------------
# Dialog template


def read_name_or_ordinal(data, offset):
    """Returns (value, offset after): None for 0, int for 0xFFFF n, else str."""
    first = u16(data, offset)
    if first == 0:
        return None, offset + 2
    if first == 0xFFFF:
        return u16(data, offset + 2), offset + 4
    return utf16z(data, offset)


def check_dialog(resources):
    data = find(resources, RT_DIALOG, 101)
    if not check("dialog 101 present", data is not None):
        return
    if not check("dialog 101 is a standard template",
                 len(data) >= 18 and
                 not (u16(data, 0) == 1 and u16(data, 2) == 0xFFFF),
                 "extended (DIALOGEX) template or too short"):
        return
    style, exstyle, count, x, y, cx, cy = struct.unpack_from('<IIHhhhh',
                                                             data, 0)
    check("dialog style 0x90CA0040", style == 0x90CA0040,
          "style 0x%08X" % style)
    check("dialog extended style 0", exstyle == 0, "0x%08X" % exstyle)
    check("dialog holds no controls", count == 0, "%d controls" % count)
    check("dialog at 50, 50 size 80 x 226", (x, y, cx, cy) == (50, 50, 80, 226),
          "%d, %d size %d x %d" % (x, y, cx, cy))
    try:
        menu, at = read_name_or_ordinal(data, 18)
        window_class, at = read_name_or_ordinal(data, at)
        caption, at = utf16z(data, at)
        point_size, face = None, None
        if style & DS_SETFONT:
            point_size = u16(data, at)
            face, at = utf16z(data, at + 2)
    except (struct.error, UnicodeDecodeError) as error:
        check("dialog template readable", False, str(error))
        return
    check("dialog has no menu", menu is None, repr(menu))
    check('dialog class "VadoruRarid"', window_class == "VadoruRarid",
          repr(window_class))
    check('dialog caption "Halcyra Remote Control"',
          caption == "Halcyra Remote Control", repr(caption))
    check('dialog font 12 point "Arial"', (point_size, face) == (12, "Arial"),
          "%r, %r" % (point_size, face))
    check("dialog template ends after the font",
          not data[at:].strip(b'\0'), "%d more bytes" % (len(data) - at))


# ---------------------------------------------------------------------------
# Manifest

ASM_V3 = '{urn:schemas-microsoft-com:asm.v3}'


def check_manifest(resources):
    manifests = of_type(resources, RT_MANIFEST)
    check("exactly one manifest, id 1",
          [name for name, _, _ in manifests] == [1],
          "ids %r" % [name for name, _, _ in manifests])
    data = find(resources, RT_MANIFEST, 1)
    if data is None:
        return
    try:
        root = ElementTree.fromstring(data)
    except ElementTree.ParseError as error:
        check("manifest is well-formed XML", False, str(error))
        return
    levels = root.findall('.//%srequestedExecutionLevel' % ASM_V3)
    if check("manifest requests one execution level", len(levels) == 1,
             "%d elements" % len(levels)):
        check('manifest level "asInvoker"',
              levels[0].get('level') == 'asInvoker',
              repr(levels[0].get('level')))
        check('manifest uiAccess "false"',
              levels[0].get('uiAccess') == 'false',
              repr(levels[0].get('uiAccess')))
    dependencies = [e.tag for e in root.iter() if e.tag.endswith('dependency')]
    check("manifest declares no dependency", not dependencies,
          repr(dependencies))
    # Aware of the display scale: per monitor (version 2 where there is
    # one), system-wide before Windows 8.1. A setting in the wrong namespace
    # is silently ignored, and the system then stretches a blurred bitmap.
    settings = '%sapplication/%swindowsSettings/' % (ASM_V3, ASM_V3)
    for name, namespace, want in (
            ('dpiAware', 'http://schemas.microsoft.com/SMI/2005/WindowsSettings',
             'true/pm'),
            ('dpiAwareness',
             'http://schemas.microsoft.com/SMI/2016/WindowsSettings',
             'PerMonitorV2, PerMonitor')):
        found = root.findall('%s{%s}%s' % (settings, namespace, name))
        check('manifest %s "%s"' % (name, want),
              [(e.text or '').strip() for e in found] == [want],
              repr([e.text for e in found]))


# ---------------------------------------------------------------------------
# Version information


def read_version_node(data, offset):
    """Reads one VS_VERSIONINFO-style node.

    Returns (key, value bytes, children, offset after the node)."""
    length, value_length, value_type = struct.unpack_from('<HHH', data, offset)
    end = offset + length
    if length < 6 or end > len(data):
        raise ValueError("bad node length %d at offset %d" % (length, offset))
    key, at = utf16z(data, offset + 6)
    at = align4(at)
    children = []
    if value_type == 1 and value_length > 0:
        # Text: runs to the end of the node (the length unit varies by tool).
        value = data[at:end]
    else:
        value = data[at:at + value_length]
        at = align4(at + value_length)
        while at < end:
            child = read_version_node(data, at)
            children.append(child)
            at = align4(child[3])
    return key, value, children, end


def child_at(node, *keys):
    """Follows child keys down from node; None when one is missing."""
    for key in keys:
        node = next((c for c in node[2] if c[0] == key), None)
        if node is None:
            return None
    return node


EXPECTED_STRINGS = {
    "FileVersion": "0, 1, 8, 3",
    "ProductVersion": "0, 1, 8, 3",
    "FileDescription": "Halcyra Remote Control",
    "ProductName": "Halcyra Remote Control",
    "InternalName": "Halcyra Remote",
    "OriginalFilename": "HalcyraRemote.exe",
}


def check_version(resources):
    data = find(resources, RT_VERSION, 1)
    if not check("version information present, id 1", data is not None):
        return
    try:
        root = read_version_node(data, 0)
    except (struct.error, UnicodeDecodeError, ValueError) as error:
        check("version information readable", False, str(error))
        return
    check("version root key", root[0] == "VS_VERSION_INFO", repr(root[0]))
    fixed = root[1]
    if check("fixed file info present", len(fixed) == 52 and
             u32(fixed, 0) == 0xFEEF04BD, "%d bytes" % len(fixed)):
        fields = struct.unpack_from('<13I', fixed, 0)
        expected = (0xFEEF04BD, 0x00010000, 0x00000001, 0x00080003,
                    0x00000001, 0x00080003, 0x3F, 0, 0x40004, 1, 0)
        names = ("signature", "structure version", "file version high",
                 "file version low", "product version high",
                 "product version low", "flags mask", "flags", "OS",
                 "file type", "file subtype")
        for name, want, got in zip(names, expected, fields):
            check("fixed file info %s 0x%X" % (name, want), got == want,
                  "0x%X" % got)

    table = child_at(root, "StringFileInfo", "080904b0")
    if check('string table "080904b0" present', table is not None):
        strings = {child[0]: child[1].decode('utf-16-le').rstrip('\0')
                   for child in table[2]}
        for key, want in EXPECTED_STRINGS.items():
            check('version string %s "%s"' % (key, want),
                  strings.get(key) == want, repr(strings.get(key)))

    translation = child_at(root, "VarFileInfo", "Translation")
    check("translation 0x809, 1200", translation is not None and
          translation[1] == struct.pack('<HH', 0x809, 1200),
          repr(translation[1]) if translation else "missing")


# ---------------------------------------------------------------------------
# Reproducible build: no time and no folder of the build machine in the file

def check_reproducible(pe, resource_stamps, folders):
    image = pe.image
    stamped = []
    if pe.time_stamp:
        stamped.append("file header")
    export_rva, export_size = pe.directory(DIRECTORY_EXPORT)
    if export_size and u32(image, pe.file_offset(export_rva) + 4):
        stamped.append("export directory")
    if any(resource_stamps):
        stamped.append("resource directory")
    debug_rva, debug_size = pe.directory(DIRECTORY_DEBUG)
    if debug_size:
        at = pe.file_offset(debug_rva)
        if any(u32(image, at + i + 4) for i in range(0, debug_size, 28)):
            stamped.append("debug directory")
    check("no link time in the headers", not stamped,
          "time stamp in the %s" % ", ".join(stamped))
    for folder in folders:
        found = [form for form, text in
                 (("text", folder.encode()), ("UTF-16", folder.encode('utf-16-le')))
                 if text in image]
        check("build folder %s not in the file" % folder, not found,
              "found as %s" % " and ".join(found))


# ---------------------------------------------------------------------------
# Hardening: ASLR, DEP, stack protection, no writable code

DYNAMIC_BASE = 0x0040
NX_COMPAT = 0x0100
RELOCS_STRIPPED = 0x0001
SECTION_EXECUTE = 0x20000000
SECTION_WRITE = 0x80000000
# Text of the static runtime's handler that a failed stack check calls (libssp): it is
# linked in only when compiled code refers to the stack guard.
STACK_SMASHING_TEXT = b"stack smashing detected"
# The remote's own code protects 17 functions today; other code compares one variable and
# branches on it far more rarely (never, in the remote built without stack protection).
# Another program (--header-only) needs at least one.
STACK_GUARD_MIN_CHECKS = 8
# sub r32, [absolute address] (0x2B with a ModRM byte naming a 32-bit displacement).
SUB_ABSOLUTE = re.compile(rb'\x2B[\x05\x0D\x15\x1D\x25\x2D\x35\x3D](.{4})(?:\x75|\x0F\x85)',
                          re.DOTALL)


def stack_guard_checks(pe):
    """Counts the function epilogues of a 32-bit image that compare the stack
    guard: "sub reg, [guard]; jne" with the guard a variable in writable
    data, the address most often compared this way."""
    writable = [(pe.image_base + rva, pe.image_base + rva + size)
                for _, rva, size, _, _, flags in pe.sections
                if flags & SECTION_WRITE and not flags & SECTION_EXECUTE]
    counts = {}
    for _, _, _, raw, raw_size, flags in pe.sections:
        if flags & SECTION_EXECUTE:
            for match in SUB_ABSOLUTE.finditer(pe.image, raw, raw + raw_size):
                address = u32(match.group(1), 0)
                if any(start <= address < end for start, end in writable):
                    counts[address] = counts.get(address, 0) + 1
    return max(counts.values(), default=0)


def check_hardening(pe, min_guard_checks):
    relocation_rva, relocation_size = pe.directory(DIRECTORY_BASE_RELOCATION)
    check("ASLR: dynamic base with a relocation table",
          pe.dll_characteristics & DYNAMIC_BASE and relocation_size and
          not pe.characteristics & RELOCS_STRIPPED,
          "DllCharacteristics 0x%04X, relocations %d bytes" %
          (pe.dll_characteristics, relocation_size))
    check("DEP: NX compatible", pe.dll_characteristics & NX_COMPAT,
          "DllCharacteristics 0x%04X" % pe.dll_characteristics)
    writable_code = [name for name, _, _, _, _, flags in pe.sections
                     if flags & SECTION_WRITE and flags & SECTION_EXECUTE]
    check("no section both writable and executable", not writable_code,
          repr(writable_code))
    check("stack protection: the stack-smashing handler is linked in",
          STACK_SMASHING_TEXT in pe.image)
    if pe.magic == 0x10B:
        found = stack_guard_checks(pe)
        check("stack protection: the guard is checked in at least %d functions"
              % min_guard_checks, found >= min_guard_checks,
              "%d found" % found)


def main(argv):
    header_only = argv[1:2] == ['--header-only']
    args = argv[2:] if header_only else argv[1:]
    if not args:
        sys.stderr.write(
            "usage: resources_check.py [--header-only] PROGRAM.exe [FOLDER...]\n")
        return 2
    try:
        with open(args[0], 'rb') as f:
            pe = Pe(f.read())
        resources, resource_stamps = read_resources(pe)
        if not resources and not header_only:
            raise PeError("no resource directory")
    except (OSError, PeError, struct.error) as error:
        print("FAIL: cannot read resources of %s: %s" % (args[0], error))
        print("0 passed, 1 failed")
        return 2

    check_reproducible(pe, resource_stamps, args[1:])
    check_hardening(pe, 1 if header_only else STACK_GUARD_MIN_CHECKS)
    if not header_only:
        imports = imported_dlls(pe)
        check("imports only %s" % ", ".join(sorted(REMOTE_IMPORTS)),
              imports and {name.lower() for name in imports} <= REMOTE_IMPORTS,
              "imports %s" % ", ".join(imports))
        wrong_language = [(t, n, lang) for t, n, lang, _ in resources
                          if lang != LANG_ENGLISH_UK]
        check("every resource is English (United Kingdom)", not wrong_language,
              "type, name, language: %r" % wrong_language)
        check_icons(resources)
        check_dialog(resources)
        check_manifest(resources)
        check_version(resources)

    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
