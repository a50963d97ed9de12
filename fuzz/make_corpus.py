#!/usr/bin/env python3
"""Writes the fuzzers' seed inputs into fuzz/corpus/<harness>/.

Usage: fuzz/make_corpus.py <build>/Data

Seeds are small on purpose: each is one well-formed file or exchange from which the fuzzer
mutates. Two real data files from the build are copied; everything else is written here.
"""
import shutil
import struct
import sys
from pathlib import Path

CORPUS = Path(__file__).resolve().parent / "corpus"
ACK, NAK, ENQ, EOT = 0x06, 0x15, 0x05, 0x04


def narrow(text):
    raw = text.encode("ascii")
    return bytes([len(raw)]) + raw


def wide(text):
    raw = text.encode("utf-16-le")
    return b"\xff\xfe\xff" + bytes([len(text)]) + raw


def dword(v):
    return struct.pack("<I", v & 0xFFFFFFFF)


def word(v):
    return struct.pack("<H", v & 0xFFFF)


def count(n):
    return word(n) if n < 0xFFFF else word(0xFFFF) + dword(n)


def data_file(series, version, types, options, groups):
    out = wide("ORVA - Korvane Data File Editor") + word(0x0100) + wide("Seed") + word(series)
    out += word(0) * 4 + dword(version)
    out += dword(len(types))
    for name, unit, num, den, flags in types:
        out += wide(name) + wide("") + wide("") + wide(unit) + dword(num) + dword(den)
        out += bytes([flags])
    out += dword(len(options))
    for name, texts in options:
        out += wide(name) + dword(len(texts)) + b"".join(wide(t) for t in texts)
    out += dword(len(groups))
    for name, items in groups:
        out += wide(name) + dword(len(items))
        for addr, placeholder, lo, hi, default, pname, tname, oname in items:
            out += word(addr) + dword(placeholder) + dword(1) + dword(0)
            out += struct.pack("<ii", lo, hi) + dword(default)
            out += wide(pname) + wide(tname) + wide(oname) + wide("") * 3
    return out


def para_file(series, version, pairs):
    out = dword(0x3F2A) + wide("ParaArray") + dword(series) + dword(version) + dword(len(pairs))
    out += b"".join(dword(a) for a, _ in pairs) + b"".join(dword(v) for _, v in pairs)
    return out


def user_group(series, version, pairs):
    out = dword(0x3F6A) + dword(series) + dword(version) + count(len(pairs))
    return out + b"".join(dword(a) + dword(v) for a, v in pairs)


def history(rows):
    out = b""
    for column in range(13):
        out += count(len(rows))
        for row in rows:
            cell = row[column]
            out += (narrow(cell) if column == 12 else wide(cell)) if isinstance(cell, str) else word(cell)
    return out


def sco(points, channels):
    out = struct.pack("<iiidd", 39153, 12, 5, 100.0, -10.0)
    for on, station, series, version, address, item, offset, div in channels:
        out += struct.pack("<iiiiHiii", on, station, series, version, address, item, offset, div)
    out += struct.pack("<i", len(points))
    out += b"".join(struct.pack("<d", stamp) for stamp, _ in points)
    for ch in range(4):
        out += b"".join(struct.pack("<d", values[ch]) for _, values in points)
    return out


def tk_checksum(body):
    return sum(body) & 0xFF


def tk_reply(lead, body):
    body = body.encode("ascii")
    return bytes([lead]) + body + b"%02X" % tk_checksum(body) + bytes([EOT])


def tk_request(payload):
    payload = payload.encode("ascii")
    return bytes([ENQ]) + payload + b"%02X" % tk_checksum(payload) + bytes([EOT])


def crc16(data):
    crc = 0xFFFF
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def with_crc(frame):
    return frame + struct.pack("<H", crc16(frame))


def write(harness, name, data):
    path = CORPUS / harness / name
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(data)


def main():
    data_dir = Path(sys.argv[1]) if len(sys.argv) > 1 else None
    if data_dir:
        for rel in ("Larch/Larch_0112.dat", "Hazel/Hazel_0023.dat"):
            shutil.copy(data_dir / rel, CORPUS / "data_file" / Path(rel).name)

    types = [("DEC1", "Hz", 1, 10, 0), ("HEX", "", 1, 1, 2), ("TIME1", "s", 1, 10, 0),
             ("FREQ3", "Hz", 1, 100, 0), ("MSG", "", 1, 1, 0)]
    options = [("ONOFF", ["Off", "On"]), ("DIR", ["Fwd", "Rev", "Both"])]
    items = [(0x0100, 0, 0, 6000, 500, "Max $$$$", "FREQ3", ""),
             (0x0101, 1, -100, 100, 0, "Bias @@@@", "DEC1", ""),
             (0x0102, 0, 0, 1, 1, "Enable", "MSG", "ONOFF"),
             (0x0103, 0, 0, 0xFFFF, 0x1234, "Mask", "HEX", ""),
             (0x0104, 0, 1, 36000, 100, "Accel", "TIME1", "")]
    write("data_file", "small.dat", data_file(11, 0x0310, types, options, [("Basic", items)]))
    write("data_file", "empty.dat", data_file(0, 0, [], [], []))

    write("para_file", "set.par", para_file(11, 0x0310, [(0x100, 500), (0x101, 0xFFF6), (0x102, 1)]))
    write("para_file", "empty.par", para_file(9, 0x0112, []))

    write("user_group", "group.usr", user_group(11, 0x0310, [(0x0001, 5), (0x0100, 60), (0x70000, 1)]))
    write("user_group", "empty.usr", user_group(0, 0, []))

    rows = [["2026.12.08", "21:45:00", 1, 11, 5, 2, 8, 0, 0, 0, 0, 0, "COM1"],
            ["2026.12.07", "08:00:59", 31, 9, 3, 1, 0, 4, 1, 0, 0, 2, "ttyUSB0"]]
    write("alarm_history", "two.log", history(rows))
    write("alarm_history", "empty.log", history([]))

    off = (0, 0, 255, 0, 0xFFFF, 0, 8, 5)
    chart = [(46364.875 + i / 86400.0, (i * 1.5, 50.0 - i, 0.0, -3.25)) for i in range(6)]
    write("sco_file", "chart.sco", sco(chart, [(1, 1, 11, 0x0310, 0x1001, 2, 8, 5),
                                               (1, 2, 9, 0x0112, 0x2003, 0, 10, 3), off, off]))
    write("sco_file", "empty.sco", sco([], [off] * 4))

    # Exchanges: expectation header (station, letter selector, words), then the line bytes.
    letters = {"R": 0, "W": 1, "X": 2, "Y": 3}

    def tk(name, station, letter, words, line):
        write("tk485_assembler", name, bytes([station, letters[letter], words]) + line)

    tk("read.bin", 1, "R", 1, tk_request("01R01001") + tk_reply(ACK, "01R01F4"))
    tk("write.bin", 2, "W", 1, tk_reply(ACK, "02W1388"))
    tk("monitor.bin", 3, "Y", 3, tk_reply(ACK, "03Y000100020003"))
    tk("register.bin", 3, "X", 0, tk_reply(ACK, "03X"))
    tk("nak.bin", 1, "R", 1, tk_reply(NAK, "01RIA"))
    tk("noise.bin", 1, "R", 1, b"\x00\xff" + tk_reply(ACK, "01R00") + tk_reply(ACK, "01R7FFF"))

    # A reply longer than the receive buffer, whose kept part ends in a matching checksum.
    kept = b"01X" + b"0" * 293
    tk("overlong.bin", 1, "X", 0,
       bytes([ACK]) + kept + b"%02X" % tk_checksum(kept) + b"Z junk" + bytes([EOT]))

    def mb(name, station, function, register, line):
        write("modbus_assembler", name,
              bytes([station, 1 if function == 6 else 0]) + struct.pack(">H", register) + line)

    mb("read.bin", 1, 4, 0x00FF, with_crc(bytes([1, 4, 2, 0x01, 0xF4])))
    mb("write.bin", 2, 6, 0x0100, with_crc(bytes([2, 6, 0x01, 0x00, 0x13, 0x88])))
    mb("exception.bin", 1, 4, 0x00FF, with_crc(bytes([1, 0x84, 2])))
    mb("two.bin", 1, 4, 0, with_crc(bytes([1, 4, 2, 0, 1])) + b"\x00" + with_crc(bytes([1, 4, 2, 0, 2])))

    # MBAP: request header (station, function selector, register), then the gateway's bytes.
    def adu(tid, unit, pdu, protocol=0):
        return struct.pack(">HHHB", tid, protocol, len(pdu) + 1, unit) + pdu

    def mbap(name, station, function, register, line):
        # One read of up to 64 bytes: the byte in front says how many arrive at once.
        write("mbap_assembler", name,
              bytes([station, 1 if function == 6 else 0]) + struct.pack(">H", register) +
              bytes([63]) + line)

    mbap("read.bin", 3, 4, 0x0010, adu(1, 3, bytes([4, 2, 0xFF, 0xFF])))
    mbap("write.bin", 3, 6, 0x0100, adu(1, 3, bytes([6, 0x01, 0x00, 0x13, 0x88])))
    mbap("gateway.bin", 3, 4, 0, adu(1, 3, bytes([0x84, 0x0B])))
    mbap("late.bin", 3, 4, 0, adu(7, 3, bytes([4, 2, 0, 9])) + adu(1, 3, bytes([4, 2, 0, 5])))

    # Telnet: the first byte is where the stream is cut in two.
    IAC, SB, SE, WILL, DO = 255, 250, 240, 251, 253
    write("telnet_decoder", "data.bin", bytes([3, 1, IAC, IAC, 2]))
    write("telnet_decoder", "negotiation.bin", bytes([2, IAC, WILL, 0, 7, IAC, DO, 44, 8]))
    write("telnet_decoder", "comport.bin",
          bytes([5, IAC, SB, 44, 101, 0, 0, 0x96, 0, IAC, SE, 1, IAC, IAC]))


if __name__ == "__main__":
    main()
