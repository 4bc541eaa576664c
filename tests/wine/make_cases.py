#!/usr/bin/env python3
"""Builds the self-extracting files that tests/wine/driver.exe runs.

    make_cases.py STUB.exe DRIVER.exe CORPUS_DIR WORKDIR [BIG_MEMBER_MiB]

Each case is the stub, a settings block and an LZH archive, written to WORKDIR/cases/NAME.exe.
The archives are written here with level-2 headers and stored (-lh0-) members; the program
to run is a copy of the driver named launched.exe. A copy of the stub goes to WORKDIR too.
"""
import os
import shutil
import struct
import sys

TIME = 1700000000  # the corpus files' modification time


def crc16(data):
    """CRC-16/ARC: reflected polynomial 0xA001, initial value 0."""
    table = CRC_TABLE
    crc = 0
    for byte in data:
        crc = (crc >> 8) ^ table[(crc ^ byte) & 0xFF]
    return crc


def _table():
    table = []
    for n in range(256):
        c = n
        for _ in range(8):
            c = (c >> 1) ^ 0xA001 if c & 1 else c >> 1
        table.append(c)
    return table


CRC_TABLE = _table()


def text_field(text):
    units = text.encode("utf-16-le")
    assert len(units) // 2 <= 255
    return bytes([len(units) // 2]) + units


def settings_block(title="", program_files=False, destination="", target="", startmenu=0, desktop=0,
                   sendto=0, program="", name=""):
    return (b"\x01" + text_field(title) + bytes([1 if program_files else 0]) + text_field(destination) +
            text_field(target) + bytes([startmenu, desktop, sendto]) + text_field(program) + text_field(name))


def extended(kind, data):
    return bytes([kind]) + data


def member_header(path, size, crc, method=b"-lh0-"):
    """A level-2 header: base header, then the file-name and directory extended headers."""
    folder, _, name = path.rpartition("/")
    extensions = [extended(0x01, name.encode("ascii"))]
    if folder:
        extensions.append(extended(0x02, folder.replace("/", "\xff").encode("latin-1") + b"\xff"))
    body = b""
    for ext in extensions:
        body += struct.pack("<H", len(ext) + 2) + ext
    body += struct.pack("<H", 0)
    total = 24 + len(body)
    return (struct.pack("<H", total) + method + struct.pack("<IIIBBH", size, size, TIME, 0x20, 2, crc) +
            b"M" + body)


def member(path, data):
    return member_header(path, len(data), crc16(data)) + data


def zero_member(path, size):
    """A large member of zero bytes, written without holding it: its CRC-16 is 0."""
    return member_header(path, size, 0), size


def write_case(work, stub, name, settings, parts):
    path = os.path.join(work, "cases", name + ".exe")
    with open(path, "wb") as out:
        out.write(stub)
        out.write(settings)
        for part in parts:
            if isinstance(part, tuple):  # (header, count of zero bytes)
                out.write(part[0])
                chunk = bytes(1 << 20)
                left = part[1]
                while left:
                    n = min(left, len(chunk))
                    out.write(chunk[:n])
                    left -= n
            else:
                out.write(part)
        out.write(b"\x00")


def main():
    stub_path, driver_path, corpus, work = sys.argv[1:5]
    big_mib = int(sys.argv[5]) if len(sys.argv) > 5 else 512
    os.makedirs(os.path.join(work, "cases"), exist_ok=True)
    shutil.copyfile(stub_path, os.path.join(work, "stub.exe"))
    stub = open(stub_path, "rb").read()
    driver = open(driver_path, "rb").read()

    def original(name):
        return open(os.path.join(corpus, "files", name), "rb").read()

    launched = member("bin/launched.exe", driver)
    basic = [member(n, original(n)) for n in ("one.txt", "small.txt", "text.txt")] + [launched]
    big = [member("one.txt", original("one.txt")), launched, zero_member("big.bin", big_mib << 20),
           member("after.txt", b"after\r\n")]
    # The damaged member and the one behind it, as the corpus has them (end byte dropped).
    damaged = open(os.path.join(corpus, "headers", "crc-mismatch.lzh"), "rb").read()
    assert damaged.endswith(b"\x00")

    lzh0 = open(os.path.join(corpus, "methods", "lh0-level2.lzh"), "rb").read()
    with open(os.path.join(work, "cases", "nosettings.exe"), "wb") as out:
        out.write(stub + b"\x00" + lzh0)
    # Every method of the corpus through the stub's own build of the decoders (level-2
    # headers: their times do not depend on the time zone).
    for method in ("lh1", "lh2", "lh3", "lh4", "lh5", "lh6", "lh7", "lzs", "lz5", "lz4"):
        archive = open(os.path.join(corpus, "methods", method + "-level2.lzh"), "rb").read()
        with open(os.path.join(work, "cases", "method-" + method + ".exe"), "wb") as out:
            out.write(stub + b"\x00" + archive)

    write_case(work, stub, "dialog1",
               settings_block(title="解凍テスト1", destination="preset1", target="bin\\launched.exe",
                              startmenu=3, desktop=2, sendto=1, name="Zolt テスト"), basic)
    write_case(work, stub, "dialog2",
               settings_block(target="bin\\launched.exe", startmenu=2, desktop=0, sendto=3,
                              program="bin\\launched.exe"), basic)
    write_case(work, stub, "cancel", settings_block(destination="out", sendto=1), basic)
    write_case(work, stub, "nocreate", settings_block(destination="out"), basic)
    write_case(work, stub, "crc",
               settings_block(target="bin\\launched.exe", startmenu=2, desktop=2, sendto=2,
                              program="bin\\launched.exe", name="crc-test"), [launched, damaged[:-1]])
    write_case(work, stub, "nofolder",
               settings_block(target="bin\\launched.exe", startmenu=2, desktop=2, name="nofolder-test"), basic)
    # For scripts/screenshots.sh: a dialog with every kind of check box, and a long path.
    write_case(work, stub, "shots",
               settings_block(title="サンプル インストーラ", program_files=True, destination="Zolt\\サンプル",
                              target="bin\\launched.exe", startmenu=3, desktop=1, sendto=2),
               [member("documents/manuals/japanese/setup-guide/readme.txt", b"readme\r\n"),
                zero_member("data/archives/large-sample-data/big.bin", big_mib << 20)])
    # The planted-DLL scenario: with the dialog (and a shortcut, which brings in COM), and
    # without settings, so without the dialog.
    write_case(work, stub, "planted",
               settings_block(title="planted", destination="dest", target="bin\\launched.exe", startmenu=2,
                              name="planted-test"), basic)
    write_case(work, stub, "planted-nodialog", b"\x00", basic)
    # Unattended runs: a destination with a space, the Start menu and Send To on, the desktop
    # changeable but off, and a program to start.
    write_case(work, stub, "silent",
               settings_block(title="silent", destination="silent out", target="bin\\launched.exe", startmenu=2,
                              desktop=1, sendto=3, program="bin\\launched.exe", name="silent-test"), basic)
    write_case(work, stub, "silent-crc", settings_block(destination="out"), [launched, damaged[:-1]])
    # Names Windows refuses, as an archive made on another system holds them.
    write_case(work, stub, "refused", b"\x00",
               [member(n, n.encode("latin-1") + b"\r\n") for n in
                ("what?.txt", 'quote"x.txt', "a<b>c.txt", "pipe|star*.txt", "trail.", "space ", "ctl\x01\x1f.txt",
                 ".../g.txt", "dir?/colon:x.txt", "CON.", "after.txt")])
    for name, shortcut in (("abort", "abort-test"), ("close", "close-test")):
        write_case(work, stub, name,
                   settings_block(title="中断テスト", target="bin\\launched.exe", startmenu=2,
                                  program="bin\\launched.exe", name=shortcut), big)


if __name__ == "__main__":
    main()
