#!/usr/bin/env python3
"""Checks the resources compiled into the remote's executable.

Usage: python3 tests/resources_check.py PROGRAM.exe

Reads the PE resource directory and checks the icon groups, the main
window's dialog template, the manifest and the version information.
Prints one line per failed check and "N passed, M failed" at the end;
exits 1 when any check failed, 2 when the file cannot be read as a PE.
"""

import struct
import sys
import xml.etree.ElementTree as ElementTree

RT_ICON = 3
RT_DIALOG = 5
RT_GROUP_ICON = 14
RT_VERSION = 16
RT_MANIFEST = 24

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


def read_resources(image):
    """Returns [(type, name, language, bytes)] in directory order.

    type and name are ints for ordinals and strs for named entries."""
    if image[:2] != b'MZ':
        raise PeError("no MZ header")
    pe = u32(image, 0x3C)
    if image[pe:pe + 4] != b'PE\0\0':
        raise PeError("no PE signature")
    coff = pe + 4
    section_count = u16(image, coff + 2)
    optional_size = u16(image, coff + 16)
    optional = coff + 20
    magic = u16(image, optional)
    if magic == 0x10B:
        directories = optional + 96
    elif magic == 0x20B:
        directories = optional + 112
    else:
        raise PeError("unknown optional header magic 0x%x" % magic)
    resource_rva, resource_size = struct.unpack_from('<II', image,
                                                     directories + 2 * 8)
    if resource_rva == 0 or resource_size == 0:
        raise PeError("no resource directory")

    sections = []
    table = optional + optional_size
    for i in range(section_count):
        virtual_size, rva, raw_size, raw_offset = struct.unpack_from(
            '<IIII', image, table + 40 * i + 8)
        sections.append((rva, max(virtual_size, raw_size), raw_offset))

    def file_offset(rva):
        for start, size, raw in sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise PeError("address 0x%x lies in no section" % rva)

    base = file_offset(resource_rva)

    def entry_id(value):
        if value & 0x80000000:
            at = base + (value & 0x7FFFFFFF)
            length = u16(image, at)
            return image[at + 2:at + 2 + 2 * length].decode('utf-16-le')
        return value

    def entries(directory):
        at = base + directory
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
                at = file_offset(data_rva)
                found.append((rtype, name, lang, image[at:at + size]))
    return found


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


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: resources_check.py PROGRAM.exe\n")
        return 2
    try:
        with open(argv[1], 'rb') as f:
            resources = read_resources(f.read())
    except (OSError, PeError, struct.error) as error:
        print("FAIL: cannot read resources of %s: %s" % (argv[1], error))
        print("0 passed, 1 failed")
        return 2

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
