#!/usr/bin/env python3
"""Petit écrivain de JPEG de base pour les photos de la démonstration (sans bibliothèque
d'images).

L'image est une carrosserie d'une couleur unie sur une bande grise, faite de blocs 8x8
d'une seule couleur chacun : chaque bloc ne porte que son coefficient DC, si bien que
l'encodeur n'a besoin que des tables de Huffman DC standard et d'une table AC réduite au
code de fin de bloc.

    make_jpeg.py OUT.jpg WIDTH HEIGHT R G B
"""

import struct
import sys

# Tables DC standard (UIT T.81, annexe K) : nombres de codes par longueur et symboles.
DC_LUMA = ([0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0], list(range(12)))
DC_CHROMA = ([0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0], list(range(12)))
# Un seul symbole : fin de bloc (0x00), code "0".
AC_EOB_ONLY = ([1] + [0] * 15, [0])


def huffman_codes(table):
    counts, symbols = table
    codes, code, k = {}, 0, 0
    for length in range(1, 17):
        for _ in range(counts[length - 1]):
            codes[symbols[k]] = (code, length)
            code += 1
            k += 1
        code <<= 1
    return codes


class BitWriter:
    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.n = 0

    def put(self, value, length):
        for i in range(length - 1, -1, -1):
            self.acc = (self.acc << 1) | ((value >> i) & 1)
            self.n += 1
            if self.n == 8:
                self.out.append(self.acc)
                if self.acc == 0xFF:
                    self.out.append(0)  # octet de bourrage
                self.acc, self.n = 0, 0

    def flush(self):
        while self.n:
            self.put(1, 1)  # complété par des uns
        return bytes(self.out)


def segment(marker, payload):
    return struct.pack(">BBH", 0xFF, marker, len(payload) + 2) + payload


def dht(table_class, table_id, table):
    counts, symbols = table
    return segment(0xC4, bytes([(table_class << 4) | table_id] + counts + symbols))


def ycbcr(r, g, b):
    y = 0.299 * r + 0.587 * g + 0.114 * b
    cb = 128 - 0.168736 * r - 0.331264 * g + 0.5 * b
    cr = 128 + 0.5 * r - 0.418688 * g - 0.081312 * b
    return y, cb, cr


def encode(width, height, body_rgb):
    blocks_x, blocks_y = (width + 7) // 8, (height + 7) // 8
    road_from = blocks_y - max(1, blocks_y // 4)
    dc_codes = [huffman_codes(DC_LUMA), huffman_codes(DC_CHROMA), huffman_codes(DC_CHROMA)]
    eob = [huffman_codes(AC_EOB_ONLY)[0]] * 3
    bits = BitWriter()
    previous = [0, 0, 0]
    for by in range(blocks_y):
        for bx in range(blocks_x):
            if by < road_from // 3:
                rgb = (170, 205, 235)  # ciel
            elif by < road_from:
                rgb = body_rgb
            else:
                rgb = (90, 90, 90)  # route
            for c, value in enumerate(ycbcr(*rgb)):
                # Un bloc 8x8 uni : DC = 8 x (valeur - 128), quantificateur 1.
                dc = max(-1024, min(1016, int(round(8 * (value - 128)))))
                diff = dc - previous[c]
                previous[c] = dc
                size = abs(diff).bit_length()
                code, length = dc_codes[c][size]
                bits.put(code, length)
                if size:
                    bits.put(diff if diff > 0 else diff + (1 << size) - 1, size)
                bits.put(*eob[c])
    scan = bits.flush()

    out = bytearray(b"\xFF\xD8")
    out += segment(0xE0, b"JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00")
    out += segment(0xDB, bytes([0]) + bytes([1] * 64))  # table 0 : que des uns
    out += segment(
        0xC0,
        struct.pack(">BHHB", 8, height, width, 3) + bytes([1, 0x11, 0, 2, 0x11, 0, 3, 0x11, 0]),
    )
    out += dht(0, 0, DC_LUMA) + dht(0, 1, DC_CHROMA) + dht(1, 0, AC_EOB_ONLY)
    out += segment(0xDA, bytes([3, 1, 0x00, 2, 0x10, 3, 0x10, 0, 63, 0]))
    out += scan
    out += b"\xFF\xD9"
    return bytes(out)


def main(argv):
    if len(argv) != 7:
        sys.stderr.write(__doc__)
        return 2
    path, width, height = argv[1], int(argv[2]), int(argv[3])
    rgb = tuple(int(v) for v in argv[4:7])
    with open(path, "wb") as f:
        f.write(encode(width, height, rgb))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
