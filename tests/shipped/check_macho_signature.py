"""Checks the code signature of one slice of a universal Mach-O as macOS
does before it runs arm64 code: an ad hoc, linker-made signature whose
code directory hashes every page of the slice up to the signature itself.

usage: check_macho_signature.py LIBRARY ARCH
"""
import hashlib
import struct
import sys

CPU_TYPES = {"arm64": 0x0100000C, "x86_64": 0x01000007}
FAT_MAGIC = 0xCAFEBABE
MH_MAGIC_64 = 0xFEEDFACF
LC_CODE_SIGNATURE = 0x1D
SUPERBLOB_MAGIC = 0xFADE0CC0
CODEDIRECTORY_MAGIC = 0xFADE0C02
CS_ADHOC = 0x2
CS_LINKER_SIGNED = 0x20000
HASH_SHA256 = 2


def fail(message):
    print(message)
    sys.exit(1)


def slice_of(data, arch):
    magic, count = struct.unpack_from(">II", data, 0)
    if magic != FAT_MAGIC:
        fail("not a universal file")
    for i in range(count):
        cputype, _, offset, size, _ = struct.unpack_from(">iiIII", data, 8 + 20 * i)
        if cputype == CPU_TYPES[arch]:
            return data[offset:offset + size]
    fail(f"no {arch} slice")


def signature_of(macho):
    magic, _, _, _, ncmds, _, _, _ = struct.unpack_from("<IiiIIIII", macho, 0)
    if magic != MH_MAGIC_64:
        fail("slice is not a 64-bit Mach-O")
    at = 32
    for _ in range(ncmds):
        cmd, size = struct.unpack_from("<II", macho, at)
        if cmd == LC_CODE_SIGNATURE:
            return struct.unpack_from("<II", macho, at + 8)
        at += size
    fail("no LC_CODE_SIGNATURE")


def main():
    path, arch = sys.argv[1], sys.argv[2]
    with open(path, "rb") as f:
        macho = slice_of(f.read(), arch)
    dataoff, datasize = signature_of(macho)
    if dataoff + datasize > len(macho):
        fail("signature runs past the slice")
    blob = macho[dataoff:dataoff + datasize]
    magic, _, count = struct.unpack_from(">III", blob, 0)
    if magic != SUPERBLOB_MAGIC:
        fail("signature is not an embedded signature blob")
    directories = []
    for i in range(count):
        _, offset = struct.unpack_from(">II", blob, 12 + 8 * i)
        if struct.unpack_from(">I", blob, offset)[0] == CODEDIRECTORY_MAGIC:
            directories.append(offset)
    if len(directories) != 1:
        fail(f"{len(directories)} code directories, wanted 1")
    cd = directories[0]
    (_, _, _, flags, hash_offset, ident_offset, _, n_code_slots, code_limit,
     hash_size, hash_type, _, page_shift) = struct.unpack_from(">IIIIIIIIIBBBB", blob, cd)
    if flags & (CS_ADHOC | CS_LINKER_SIGNED) != CS_ADHOC | CS_LINKER_SIGNED:
        fail(f"flags 0x{flags:x}: not ad hoc and linker-signed")
    if hash_type != HASH_SHA256 or hash_size != 32:
        fail(f"hash type {hash_type} size {hash_size}, wanted SHA-256")
    if code_limit != dataoff:
        fail(f"code limit {code_limit} is not where the signature starts ({dataoff})")
    page = 1 << page_shift
    if n_code_slots != (code_limit + page - 1) // page:
        fail(f"{n_code_slots} page hashes for {code_limit} bytes of {page}-byte pages")
    for i in range(n_code_slots):
        stored = blob[cd + hash_offset + i * 32:cd + hash_offset + (i + 1) * 32]
        actual = hashlib.sha256(macho[i * page:min((i + 1) * page, code_limit)]).digest()
        if stored != actual:
            fail(f"page {i} does not match its hash")
    ident = blob[cd + ident_offset:blob.index(b"\0", cd + ident_offset)].decode()
    print(f"{arch}: ad hoc linker signature '{ident}', {n_code_slots} pages of {page} bytes verified")


if __name__ == "__main__":
    main()
