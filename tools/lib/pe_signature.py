#!/usr/bin/env python3
"""The Authenticode signature of a PE file, as far as the release checks need it.

    pe_signature.py is-signed FILE
        exit status 0 when FILE carries a certificate table, 1 when not.
    pe_signature.py compare SIGNED UNSIGNED
        exit status 0 when SIGNED is UNSIGNED with a signature added and
        nothing else changed; else 1, with the first difference on standard
        error.

Signing may change exactly what the Authenticode digest leaves out: the
optional header's checksum, the certificate table's entry in the data
directories (zero before signing), and the end of the file, where the table
is appended after zero padding to an 8-byte boundary. Every other byte of
SIGNED must be the byte of UNSIGNED at the same place.
"""
import struct
import sys

SECURITY_DIRECTORY = 4  # IMAGE_DIRECTORY_ENTRY_SECURITY


class Layout:
    """Where the checksum and the certificate table's entry lie."""

    def __init__(self, data: bytes, name: str):
        if len(data) < 0x40 or data[:2] != b"MZ":
            raise ValueError(f"{name}: not a PE file (no MZ header)")
        header = struct.unpack_from("<I", data, 0x3C)[0]
        if header + 24 + 2 > len(data) or data[header:header + 4] != b"PE\0\0":
            raise ValueError(f"{name}: not a PE file (no PE signature)")
        optional = header + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        if magic == 0x10B:  # PE32
            directories = optional + 96
        elif magic == 0x20B:  # PE32+
            directories = optional + 112
        else:
            raise ValueError(f"{name}: unknown optional header magic {magic:#x}")
        count = struct.unpack_from("<I", data, directories - 4)[0]
        if count <= SECURITY_DIRECTORY or directories + 8 * count > len(data):
            raise ValueError(f"{name}: no certificate table entry in the data directories")
        self.checksum = optional + 64
        self.entry = directories + 8 * SECURITY_DIRECTORY
        self.table_offset, self.table_size = struct.unpack_from("<II", data, self.entry)


def read(path: str) -> bytes:
    with open(path, "rb") as file:
        return file.read()


def without_signature_fields(data: bytes, layout: Layout) -> bytearray:
    """The bytes with the checksum and the certificate table's entry zeroed."""
    copy = bytearray(data)
    copy[layout.checksum:layout.checksum + 4] = bytes(4)
    copy[layout.entry:layout.entry + 8] = bytes(8)
    return copy


def compare(signed_path: str, unsigned_path: str) -> str:
    """An empty text when only the signature was added, else what differs."""
    signed, unsigned = read(signed_path), read(unsigned_path)
    s, u = Layout(signed, signed_path), Layout(unsigned, unsigned_path)
    if u.table_size:
        return f"{unsigned_path} is signed itself"
    if not s.table_size:
        return f"{signed_path} carries no signature"
    if s.table_offset + s.table_size != len(signed):
        return (f"the certificate table ({s.table_size} bytes at {s.table_offset}) does not end the file "
                f"({len(signed)} bytes)")
    if s.table_offset % 8 or not len(unsigned) <= s.table_offset < len(unsigned) + 8:
        return (f"the certificate table starts at {s.table_offset}, not at the end of the unsigned file "
                f"({len(unsigned)} bytes) rounded up to 8")
    if any(signed[len(unsigned):s.table_offset]):
        return "the padding before the certificate table is not zero"
    before = without_signature_fields(signed[:len(unsigned)], s)
    after = without_signature_fields(unsigned, u)
    if before != after:
        first = next(i for i in range(len(after)) if before[i] != after[i])
        return f"byte {first} differs ({after[first]:#04x} unsigned, {before[first]:#04x} signed)"
    return ""


def main(argv: list) -> int:
    try:
        if len(argv) == 3 and argv[1] == "program-size":
            # The bytes before an appended certificate table: what the
            # program itself takes, signed or not.
            data = read(argv[2])
            layout = Layout(data, argv[2])
            print(layout.table_offset if layout.table_size else len(data))
            return 0
        if len(argv) == 3 and argv[1] == "is-signed":
            data = read(argv[2])
            return 0 if Layout(data, argv[2]).table_size else 1
        if len(argv) == 4 and argv[1] == "compare":
            difference = compare(argv[2], argv[3])
            if difference:
                print(f"pe_signature: {difference}", file=sys.stderr)
                return 1
            return 0
    except (OSError, ValueError) as error:
        print(f"pe_signature: {error}", file=sys.stderr)
        return 2
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
