#!/usr/bin/env python3
"""Reads an ESC/POS receipt stream as a receipt printer would, strictly.

  kalvenor-escpos-preview FILE.prn [OUT.png|OUT.pgm]
  (the installed command; scripts/escpos_page.py in the source tree)
      prints one JSON line per document (inked width, height, cut, band and
      feed counts) and writes the first document's page as a picture.

Only ESC @, GS v 0 (at most 255 rows a band), ESC J and the two cuts are
accepted, in the order of one document: any other byte fails (exit 1).
"""
import json
import struct
import sys
import zlib


class StreamError(Exception):
    pass


def parse(data):
    """Documents of a stream: dicts with rows (bytes), width_bytes, cut."""
    docs, at = [], 0
    if not data:
        raise StreamError("empty stream")
    while at < len(data):
        if data[at:at + 2] != b"\x1b\x40":
            raise StreamError("byte %d: expected ESC @, got %r" % (at, data[at:at + 2]))
        at += 2
        doc = {"rows": [], "width_bytes": 0, "cut": "none", "bands": 0, "feeds": 0}
        while at < len(data) and data[at:at + 2] != b"\x1b\x40":
            head = data[at:at + 2]
            if data[at:at + 4] == b"\x1d\x76\x30\x00":
                if at + 8 > len(data):
                    raise StreamError("byte %d: short band header" % at)
                xb, rows = struct.unpack_from("<HH", data, at + 4)
                if not 1 <= rows <= 255 or xb < 1:
                    raise StreamError("byte %d: band of %d rows, %d bytes" % (at, rows, xb))
                at += 8
                if at + xb * rows > len(data):
                    raise StreamError("byte %d: short band" % at)
                for r in range(rows):
                    doc["rows"].append(data[at + r * xb:at + (r + 1) * xb])
                doc["width_bytes"] = max(doc["width_bytes"], xb)
                doc["bands"] += 1
                at += xb * rows
            elif head == b"\x1b\x4a":
                if at + 3 > len(data) or data[at + 2] == 0:
                    raise StreamError("byte %d: bad feed" % at)
                doc["rows"].extend([b""] * data[at + 2])
                doc["feeds"] += 1
                at += 3
            elif data[at:at + 4] in (b"\x1d\x56\x42\x00", b"\x1d\x56\x41\x00"):
                doc["cut"] = "partial" if data[at + 2] == 0x42 else "full"
                at += 4
                if at < len(data) and data[at:at + 2] != b"\x1b\x40":
                    raise StreamError("byte %d: output after the cut" % at)
            else:
                raise StreamError("byte %d: not in the grammar: %r" % (at, data[at:at + 8]))
        docs.append(doc)
    return docs


_DOTS = [bytes(0 if b & (0x80 >> i) else 255 for i in range(8)) for b in range(256)]


def grey(doc):
    """The page as 8-bit grey rows (0 black, 255 white)."""
    wb = doc["width_bytes"]
    return wb * 8, [b"".join(_DOTS[b] for b in row.ljust(wb, b"\0")) for row in doc["rows"]]


def write_picture(path, width, rows):
    if path.endswith(".pgm"):
        with open(path, "wb") as f:
            f.write(b"P5 %d %d 255\n" % (width, len(rows)) + b"".join(rows))
        return
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    raw = b"".join(b"\0" + r for r in rows)
    png = (b"\x89PNG\r\n\x1a\n" +
           chunk(b"IHDR", struct.pack(">IIBBBBB", width, len(rows), 8, 0, 0, 0, 0)) +
           chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(png)


def check(path, picture=None):
    with open(path, "rb") as f:
        docs = parse(f.read())
    for doc in docs:
        print(json.dumps({"inked_width": doc["width_bytes"] * 8, "height": len(doc["rows"]),
                          "cut": doc["cut"], "bands": doc["bands"], "feeds": doc["feeds"]}))
    if picture:
        width, rows = grey(docs[0])
        write_picture(picture, width, rows)


if __name__ == "__main__":
    if len(sys.argv) < 2:
        raise SystemExit(__doc__)
    try:
        check(sys.argv[1], sys.argv[2] if len(sys.argv) > 2 else None)
    except StreamError as e:
        print("bad ESC/POS stream: %s" % e, file=sys.stderr)
        sys.exit(1)
