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
import zlib

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


def with_language(stub, value):
    """The stub with its language byte (file offset 46) set, as zsfx make --lang sets it."""
    assert stub[46] == 0
    return stub[:46] + bytes([value]) + stub[47:]


TRAILER_MARK = b"\x00ZSFXCRC"


def with_trailer(payload):
    """The payload (settings block, members, end mark) and the trailer zsfx make writes behind
    it: the mark and the CRC-32 of the payload, here from zlib, independently of zsfx."""
    return payload + TRAILER_MARK + struct.pack("<I", zlib.crc32(payload))


def write_damaged_downloads(work, stub, settings, members):
    """A whole download with the trailer, and the ways a download goes wrong: cut where a
    member header begins, inside a header, inside the settings block, at 10, 50 and 99 % of
    the payload, and one flipped bit in a member's data at the right length."""
    payload = settings + b"".join(members) + b"\x00"
    whole = stub + with_trailer(payload)
    third = len(stub) + len(settings) + len(members[0]) + len(members[1])
    flipped = bytearray(whole)
    flipped[third + len(members[2]) // 2] ^= 0x10
    length = len(whole) - len(stub)
    cases = {
        "download-whole": whole,
        "download-cut-boundary": whole[:third],
        "download-cut-header": whole[:third + 10],
        "download-cut-settings": whole[:len(stub) + 5],
        "download-cut-10": whole[:len(stub) + length // 10],
        "download-cut-50": whole[:len(stub) + length // 2],
        "download-cut-99": whole[:len(stub) + length * 99 // 100],
        "download-flipped": bytes(flipped),
    }
    for name, data in cases.items():
        with open(os.path.join(work, "cases", name + ".exe"), "wb") as out:
            out.write(data)


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
    write_damaged_downloads(work, stub, settings_block(destination="out"),
                            [member(n, original(n)) for n in ("one.txt", "small.txt", "text.txt", "prog.bin")])
    # Version 2 over an installed version 1 (the driver installs it first): five members, the
    # third one failing in the way each case names.
    tree = ["file%d.bin" % i for i in range(5)]
    new = [member(n, ("version 2 of %s\r\n" % n).encode("ascii") * 50) for n in tree]
    bad = bytearray(new[2])
    bad[21] ^= 0xFF  # the header's CRC-16 (level 2, offset 21)
    write_case(work, stub, "tree-crc", settings_block(destination="tree"), new[:2] + [bytes(bad)] + new[3:])
    write_case(work, stub, "tree", settings_block(destination="tree"), new)
    # The third member lands in tree\sub, which run.sh links to the 4 MiB volume: it cannot
    # be written whole, while the destination's own volume has room.
    write_case(work, stub, "tree-full", settings_block(destination="tree"),
               new[:2] + [zero_member("sub/file2.bin", 5 << 20)] + new[3:])
    # Long paths: a member of 400 characters, and a shortcut to one of 200 (a settings string
    # holds 255 units at the most) that a shortcut file cannot hold below a long destination;
    # a program that is not there.
    long_member = "/".join(["p%02d" % i + "q" * 95 for i in range(4)]) + "/long.txt"
    assert len(long_member) >= 400
    target = "t" * 190 + "/target.txt"
    write_case(work, stub, "long-member",
               settings_block(destination="out", target=target.replace("/", "\\"), startmenu=2, name="long-test"),
               [member(long_member, b"at the end of a long path\r\n"), member(target, b"target\r\n")])
    write_case(work, stub, "no-program", settings_block(destination="out", program="bin\\missing.exe"), basic)
    # More than the 4 MiB volume of the free-space scenario holds.
    write_case(work, stub, "five-mib", settings_block(destination="app"), [zero_member("big.bin", 5 << 20)])
    # The keyboard: every shortcut option changeable and off, and a large member, so that the
    # progress window is up long enough to take keys.
    write_case(work, stub, "keys", settings_block(destination="out", target="one.txt", startmenu=1, desktop=1,
                                                  sendto=1, name="keys-test"),
               [member("one.txt", original("one.txt")), zero_member("big.bin", 4 * big_mib << 20)])
    # The same stub as zsfx make --lang writes it: byte 46 of its DOS header 1 (English) or 2
    # (the user's display language).
    english = with_language(stub, 1)
    write_case(work, english, "en-cancel", settings_block(destination="out", sendto=1), basic)
    write_case(work, english, "en-crc", settings_block(destination="out"), [launched, damaged[:-1]])
    write_case(work, english, "en-silent-crc", settings_block(destination="out"), [launched, damaged[:-1]])
    write_case(work, english, "en-abort", settings_block(destination="out"), big)
    write_case(work, english, "en-keys", settings_block(destination="out", target="one.txt", startmenu=1, desktop=1,
                                                        sendto=1, name="keys-test"),
               [member("one.txt", original("one.txt")), zero_member("big.bin", 4 * big_mib << 20)])
    write_case(work, with_language(stub, 2), "auto", settings_block(destination="out"), basic)
    write_case(work, english, "en-shots",
               settings_block(title="Sample installer", program_files=True, destination="Zolt\\Sample",
                              target="bin\\launched.exe", startmenu=3, desktop=1, sendto=2),
               [member("documents/manuals/english/setup-guide/readme.txt", b"readme\r\n"),
                zero_member("data/archives/large-sample-data/big.bin", big_mib << 20)])
    for name, shortcut in (("abort", "abort-test"), ("close", "close-test")):
        write_case(work, stub, name,
                   settings_block(title="中断テスト", target="bin\\launched.exe", startmenu=2,
                                  program="bin\\launched.exe", name=shortcut), big)


if __name__ == "__main__":
    main()
