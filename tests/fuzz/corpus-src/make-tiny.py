#!/usr/bin/env python3
"""Writes the corpus's hand-made inputs, and the icon the resource scripts use.

    make-tiny.py <output folder>

headers-only.exe: a PE32 header with no sections and no directories.
tree-and-certificates.dll: a PE32+ whose one section (virtual size 0, so the
raw size counts) holds a resource tree built here, a type and a name given by
string, and a certificate table of two entries, the first one of a length
that needs padding.
padded-certificates.dll: the same with padding that is not zero: read without
the padding, it would be a valid entry of its own.
tiny.ico: a 16x16 one-bit icon.
"""
import os
import struct
import sys


def pe(is64, sections, directories, tail=b""):
    """Headers at 0x40, sections of (name, rva, virtual size, data) from 0x200."""
    optional_size = (112 if is64 else 96) + 8 * len(directories)
    out = bytearray(0x200)
    out[0:2] = b"MZ"
    struct.pack_into("<I", out, 0x3C, 0x40)
    struct.pack_into("<4sHHIIIHH", out, 0x40, b"PE\0\0", 0x8664 if is64 else 0x14C, len(sections), 0, 0, 0,
                     optional_size, 0x2022)
    optional = 0x58
    struct.pack_into("<H", out, optional, 0x20B if is64 else 0x10B)
    count_field = optional + (108 if is64 else 92)
    struct.pack_into("<I", out, count_field, len(directories))
    for index, (address, size) in enumerate(directories):
        struct.pack_into("<II", out, count_field + 4 + 8 * index, address, size)
    table = optional + optional_size
    raw = 0x200
    for index, (name, rva, virtual_size, data) in enumerate(sections):
        struct.pack_into("<8sIIII", out, table + 40 * index, name, virtual_size, rva, len(data), raw)
        out += data
        raw += len(data)
    return bytes(out) + tail


def resource_tree(rva):
    """Type "BLOB" -> name "X" -> language 0x409, data "hello"."""
    def directory(named, numbered):
        return struct.pack("<IIHHHH", 0, 0, 0, 0, named, numbered)
    tree = bytearray()
    tree += directory(1, 0) + struct.pack("<II", 0x80000000 | 0x48, 0x80000000 | 0x18)  # types at 0
    tree += directory(1, 0) + struct.pack("<II", 0x80000000 | 0x52, 0x80000000 | 0x30)  # names at 0x18
    tree += directory(0, 1) + struct.pack("<II", 0x409, 0x58)                            # languages at 0x30
    tree += struct.pack("<H", 4) + "BLOB".encode("utf-16-le")                            # 0x48
    tree += struct.pack("<H", 1) + "X".encode("utf-16-le")                               # 0x52
    tree += b"\0\0"
    tree += struct.pack("<IIII", rva + 0x68, 5, 0, 0)                                    # data entry at 0x58
    tree += b"hello\0\0\0"                                                               # data at 0x68
    return bytes(tree)


def certificates():
    first = struct.pack("<IHH", 13, 0x200, 2) + b"abcde" + b"\0\0\0"
    second = struct.pack("<IHH", 8, 0x200, 2)
    return first + second


def padded_certificates():
    # The padding after the 9-byte entry starts with 15: from offset 9 it
    # reads as an entry that ends exactly at the table's end.
    first = struct.pack("<IHH", 9, 0x200, 2) + b"a" + struct.pack("<I", 15) + b"\0\0\0"
    second = struct.pack("<IHH", 8, 0x200, 2)
    return first + second


def icon():
    header = struct.pack("<IiiHHIIiiII", 40, 16, 32, 1, 1, 0, 128, 0, 0, 2, 0)
    image = header + b"\0\0\0\0\xff\xff\xff\0" + b"\x55\x55\0\0" * 16 + b"\0\0\0\0" * 16
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 16, 16, 2, 0, 1, 1, len(image), 22) + image


def main():
    folder = sys.argv[1]
    with open(os.path.join(folder, "headers-only.exe"), "wb") as stream:
        stream.write(pe(False, [], [(0, 0)] * 16))
    tree = resource_tree(0x1000)
    certificate_offset = 0x200 + len(tree)
    assert certificate_offset % 8 == 0
    for name, cert in (("tree-and-certificates.dll", certificates()), ("padded-certificates.dll", padded_certificates())):
        with open(os.path.join(folder, name), "wb") as stream:
            stream.write(pe(True, [(b".rsrc", 0x1000, 0, tree)],
                            [(0, 0), (0, 0), (0x1000, len(tree)), (0, 0), (certificate_offset, len(cert))], cert))
    with open(os.path.join(folder, "tiny.ico"), "wb") as stream:
        stream.write(icon())


main()
