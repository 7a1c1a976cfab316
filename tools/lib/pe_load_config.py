"""Reads and sets a Windows executable's load configuration entry.

  pe_load_config.py set EXE MAP   points the entry at the object named
                                  _load_config_used, found in the linker's map
                                  (binutils 2.40 does not do it by itself)
  pe_load_config.py flags EXE     prints DependentLoadFlags in hexadecimal,
                                  or "none" when the image has no entry
"""
import re
import struct
import sys

LOAD_CONFIG = 10  # the data directory's index of the load configuration


def headers(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        sys.exit("pe_load_config: not a PE image")
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    wide = magic == 0x20B
    image_base = struct.unpack_from("<Q" if wide else "<I", data, optional + (24 if wide else 28))[0]
    directories = optional + (112 if wide else 96)
    sections_count = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    sections = []
    for i in range(sections_count):
        at = optional + optional_size + 40 * i
        size, rva, raw_size, raw = struct.unpack_from("<IIII", data, at + 8)
        sections.append((rva, max(size, raw_size), raw))
    return wide, image_base, directories, sections


def file_offset(sections, rva):
    for start, size, raw in sections:
        if start <= rva < start + size:
            return raw + rva - start
    sys.exit("pe_load_config: address 0x%x lies in no section" % rva)


def set_entry(exe, map_file):
    data = bytearray(open(exe, "rb").read())
    wide, image_base, directories, sections = headers(data)
    found = re.search(r"^\s+0x([0-9a-f]+)\s+_?_load_config_used\s*$", open(map_file).read(), re.M)
    if not found:
        sys.exit("pe_load_config: _load_config_used is not in " + map_file)
    rva = int(found.group(1), 16) - image_base
    size = struct.unpack_from("<I", data, file_offset(sections, rva))[0]
    # 32-bit images announce the 64-byte layout of Windows XP, as Microsoft's
    # linker does; the structure's own first field gives its full size.
    struct.pack_into("<II", data, directories + 8 * LOAD_CONFIG, rva, size if wide else 64)
    open(exe, "wb").write(data)


def flags(exe):
    data = open(exe, "rb").read()
    wide, _, directories, sections = headers(data)
    rva, size = struct.unpack_from("<II", data, directories + 8 * LOAD_CONFIG)
    if rva == 0 or size == 0:
        print("none")
        return
    # DependentLoadFlags follows CSDVersion: at 0x36 in the 32-bit layout,
    # 0x4E in the 64-bit one.
    print("0x%x" % struct.unpack_from("<H", data, file_offset(sections, rva) + (0x4E if wide else 0x36))[0])


if len(sys.argv) == 4 and sys.argv[1] == "set":
    set_entry(sys.argv[2], sys.argv[3])
elif len(sys.argv) == 3 and sys.argv[1] == "flags":
    flags(sys.argv[2])
else:
    sys.exit(__doc__)
