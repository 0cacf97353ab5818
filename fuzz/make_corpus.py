#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets: real frames and a small valid
oscillogram, in the input layout each target reads. Run from anywhere."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def frame(start, words):
    """start, the words, their LRC, CR LF (the checksum word's low byte)."""
    total = (words[0] >> 8) + (words[0] & 0xFF) + sum(words[1:])
    lrc = (-total) & 0xFF
    return (start + "".join("%04X" % w for w in words) + "%02X" % lrc + "\r\n").encode()


def line(data):
    """fuzz_link_tick: action 5 delivers 256 * (b % 8) + a bytes, then ticks."""
    out = b""
    while data:
        piece, data = data[:2047], data[2047:]
        out += bytes([5, len(piece) & 0xFF, len(piece) >> 8]) + piece
    return out


TIMER1, IDLE, BUTTON, FAIL_WRITES = bytes([7]), bytes([6]), bytes([12]), bytes([9])

version = [0] * 15
version[0], version[3], version[14] = 0x014D, 0x0002, 0
settings = [0] * 14
settings[0], settings[12], settings[13] = 0x015F, 30, 56


def chart(n):
    return frame("~", [0x0142, n, 0, 0x1234, 0, n, 0, 60, 0, 0x0000, 0x41F0])


seeds = {
    "command_echo": line(b":014DB2\r\n"),
    "version_reply": TIMER1 + line(b"") + line(frame(":", version)),
    "connect_and_stream": TIMER1 + line(b"") + line(frame(":", version)) + TIMER1 + line(frame(":", settings))
    + BUTTON + b"\x00" + line(frame(":", [0x015B, 0]) + frame(":", [0x015B, 1]))
    + line(b"".join(chart(i) for i in range(20))),
    "status_alarm": TIMER1 + line(frame(":", [0x0141, 0x0006]) + frame(":", [0x0141, 0x0010])),
    "silence_then_hangup": TIMER1 + IDLE + b"\xff" + IDLE + b"\xff" + FAIL_WRITES + TIMER1 + IDLE + b"\x40",
    "split_frame": TIMER1 + bytes([0, 20]) + frame(":", version)[:20] + bytes([0, 45]) + frame(":", version)[20:],
    "overflow": line(b"0123456789ABCDEF" * 70 + b"\r\n"),
}

for name, data in seeds.items():
    with open(os.path.join(HERE, "corpus", "link_tick", name), "wb") as f:
        f.write(data)


def oscillogram(count, start=0):
    out = struct.pack("<BH", 2, count)
    out += b"".join(struct.pack("<f", 30.0 + i % 5) for i in range(count))
    for k in range(4):
        out += b"".join(struct.pack("<I", start + 1000 * k + i) for i in range(count))
    return out


files = {
    "window_10.bin": oscillogram(10),
    "empty_count.bin": struct.pack("<BH", 2, 0),
    "short.bin": oscillogram(12)[:150],
    "wrong_version.bin": b"\x01" + oscillogram(10)[1:],
    "trailing.bin": oscillogram(11) + b"\x00\x01\x02",
}
for name, data in files.items():
    with open(os.path.join(HERE, "corpus", "oscillogram", name), "wb") as f:
        f.write(data)
