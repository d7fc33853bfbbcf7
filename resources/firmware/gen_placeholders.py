#!/usr/bin/env python3
"""Writes the deterministic placeholder firmware and FPGA images of the test
build, and a .qrc that lists them under the program's resource names.

These are NOT instrument images: they only have the right form (Intel HEX
text, a boot image starting with "CY", FPGA blobs of chosen sizes) so that
start-up can be tested byte for byte against the instrument emulator. The
shipped program never contains them.

usage: gen_placeholders.py OUTPUT_DIR
"""
import hashlib
import os
import struct
import sys

HEX_IMAGES = ["fw01A1", "fw01A2", "fw01A3", "fw03A1"]
BOOT_IMAGE = "fw01A4"
# name -> size in bytes; VX2127 is exactly one 4096-byte block.
FPGA_IMAGES = {
    "VX2121A0": 5003, "VX2121A1": 6150, "VX2121A2": 7001, "VX2127A1": 8193,
    "VX3127A1": 9000, "VX6127A1": 20000, "VX6127A3": 4097, "VX6143A0": 12345,
    "VX6143A3": 30000, "VX2127": 4096, "VX3127": 2048, "VX6127": 10240,
    "VQ7329": 3333,
}
# Stored compressed in the resource system (and so made compressible).
COMPRESSED = {"VX6127A1", "VX6143A3"}


def stream(name, n):
    """n deterministic pseudo-random bytes for a name."""
    out = bytearray()
    counter = 0
    while len(out) < n:
        out += hashlib.sha256(f"{name}:{counter}".encode()).digest()
        counter += 1
    return bytes(out[:n])


def hex_record(addr, rtype, data):
    body = bytes([len(data), addr >> 8, addr & 0xFF, rtype]) + data
    check = (-sum(body)) & 0xFF
    return ":" + (body + bytes([check])).hex().upper() + "\r\n"


def hex_image(name):
    rnd = stream(name, 4096)
    text = ""
    pos = 0
    # A few runs of 16-byte records at spread addresses, a short last record.
    for base, count in ((0x0000, 8), (0x0100, 5), (0x1A00, 3), (0xFFF0, 1)):
        for i in range(count):
            data = rnd[pos:pos + 16]
            pos += 16
            text += hex_record(base + 16 * i, 0, data)
    text += hex_record(0x2000, 0, rnd[pos:pos + 7])
    text += hex_record(0, 1, b"")
    return text.encode("ascii")


def boot_image(name):
    rnd = stream(name, 8192)
    img = bytearray(b"CY\x1c\xb0")
    words_sum = 0
    for words, addr, off in ((300, 0x00000000, 0), (0, 0x00010000, 0), (4, 0x40003000, 1200)):
        data = rnd[off:off + 4 * words]
        img += struct.pack("<II", words, addr) + data
        for i in range(words):
            words_sum = (words_sum + struct.unpack_from("<I", data, 4 * i)[0]) & 0xFFFFFFFF
    img += struct.pack("<III", 0, 0x40000000, words_sum)
    return bytes(img)


def fpga_image(name, size):
    if name in COMPRESSED:
        pattern = stream(name, 64)
        return (pattern * (size // 64 + 1))[:size]
    return stream(name, size)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    os.makedirs(os.path.join(out, "fwusb"), exist_ok=True)
    os.makedirs(os.path.join(out, "fwfpga"), exist_ok=True)

    def write(path, data):
        full = os.path.join(out, path)
        try:
            with open(full, "rb") as f:
                if f.read() == data:
                    return
        except OSError:
            pass
        with open(full, "wb") as f:
            f.write(data)

    for n in HEX_IMAGES:
        write(f"fwusb/{n}", hex_image(n))
    write(f"fwusb/{BOOT_IMAGE}", boot_image(BOOT_IMAGE))
    for n, size in FPGA_IMAGES.items():
        write(f"fwfpga/{n}", fpga_image(n, size))

    qrc = ['<!DOCTYPE RCC><RCC version="1.0">', '<qresource prefix="/fwusb">']
    for n in HEX_IMAGES + [BOOT_IMAGE]:
        qrc.append(f'    <file alias="{n}" compression-algorithm="none">fwusb/{n}</file>')
    qrc += ['</qresource>', '<qresource prefix="/fwfpga">']
    for n in FPGA_IMAGES:
        if n in COMPRESSED:
            qrc.append(f'    <file alias="{n}" compress="9" threshold="0">fwfpga/{n}</file>')
        else:
            qrc.append(f'    <file alias="{n}" compression-algorithm="none">fwfpga/{n}</file>')
    qrc += ['</qresource>', '</RCC>', '']
    write("firmware_placeholder.qrc", "\n".join(qrc).encode())


if __name__ == "__main__":
    main()
