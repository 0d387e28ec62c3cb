#!/usr/bin/python3
"""Writes the seed corpora of the fuzz targets under fuzz/corpus/ from the test data and
from small inputs made here (archives with and without ZIP64 end records, INI files,
version blocks, texts). Run once from the source tree; the result is committed.

  fuzz/make_seeds.py BUILD_DIR   (BUILD_DIR holds src/app/kalvex, for the version block)
"""
import io
import os
import shutil
import struct
import subprocess
import sys
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CORPUS = os.path.join(ROOT, "fuzz", "corpus")


def put(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode("utf-8"))


def xml_seeds():
    data = os.path.join(ROOT, "tests", "data")
    small = [
        ("doctype.xml", b'<?xml version="1.0"?>\n<!DOCTYPE document [<!ENTITY e "x">]>\n<document>&e;</document>\n'),
        ("latin9.xml", '<?xml version="1.0" encoding="ISO-8859-15"?>\n<document><DataVOS><DataVO><idNVO>1</idNVO><Texte>Très €</Texte></DataVO></DataVOS></document>\n'.encode("iso-8859-15")),
        ("utf16.xml", b"\xff\xfe" + '<document><DataVOS><DataVO><idNVO>1</idNVO></DataVO></DataVOS></document>'.encode("utf-16-le")),
        ("broken.xml", b'<?xml version="1.0"?>\n<document>\n<DataVOS>\n</document>\n'),
        ("long_line.xml", b"<document>" + b"<v>1</v>" * 400 + b"<a>x</b></document>"),
        ("namespaces.xml", b'<document xmlns:p="urn:p"><p:DataVOS><DataVO p:a="1"><idNVO>2</idNVO></DataVO></p:DataVOS><Aliases/></document>'),
        ("many_attributes.xml", b"<document><DataVOS" + b"".join(b' a%d="="' % i for i in range(300)) + b"/><!-- a=1 --></document>"),
        ("cdata_pi.xml", b'<?xml version="1.0" standalone="yes"?><?pi x?><!--c--><document><LiensImagesS><LiensImages><idNVO>1</idNVO><NomImage><![CDATA[a&b]]></NomImage></LiensImages></LiensImagesS></document>'),
    ]
    # One corpus for both XML readers (the document loader and LoadXML).
    for name in sorted(os.listdir(data)):
        with open(os.path.join(data, name), "rb") as f:
            put("xml", name, f.read())
    for name, content in small:
        put("xml", name, content)


def ini_seeds():
    put("ini_reader", "full.ini",
        "[Options]\r\nPathImages=\"c:\\photos\"\r\nURLImages='http://127.0.0.1/p'\r\n"
        "[Pixtrove]\r\nServeurFTP=127.0.0.1:21\r\nUser=u\r\nPassWord=p\r\nPathFTP=www/pixtrove\r\n"
        "[paruvendu]\r\nTestFTPPixtrove=\r\nFlgInfoEquip=1\r\n; comment\r\n[AUTOSCOUT24]\r\n"
        "PathTemp=\\Temp\\AS24\r\nidClient=0123456789\r\n\x01Options\x01pathimages")
    put("ini_reader", "latin1.ini", b"[Options]\nPathImages=C:\\Images\\\xe9t\xe9\n  [ Pixtrove ] \n User = x \n")
    put("ini_reader", "utf16.ini", b"\xff\xfe" + "[Options]\r\nPathImages=D:\\é\r\n".encode("utf-16-le"))
    put("ini_reader", "utf16be.ini", b"\xfe\xff" + "[Options]\r\nURLImages=x\r\n".encode("utf-16-be"))
    put("ini_reader", "binary.ini", b"MZ\x90\x00\x03\x00\x00\x00[Options]\x00PathImages=x")
    put("ini_reader", "long.ini", "[Options]\nPathImages=" + "a" * 3000 + "\n")
    put("ini_reader", "utf8_after_mark.ini", b"\xff\xfe[Options]\nPathImages=/img\xc3\xa9\n")
    put("ini_reader", "duplicates.ini", "[Options]\nPathImages=/a\nPathImages=/b\n[OPTIONS]\nURLImages=x\n")


def zip_with(entries, comment=b"", zip64_end=False):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in entries:
            z.writestr(name, data)
        z.comment = comment
    data = buffer.getvalue()
    if not zip64_end:
        return data
    # The same archive with a ZIP64 end record and its locator before the classic end
    # record, whose counts and offsets say "see ZIP64".
    eocd = data.rfind(b"PK\x05\x06")
    (_, disk, cd_disk, n_disk, n, cd_size, cd_offset, clen) = struct.unpack("<IHHHHIIH", data[eocd:eocd + 22])
    zip64 = struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, n, n, cd_size, cd_offset)
    locator = struct.pack("<IIQI", 0x07064B50, 0, eocd, 1)
    classic = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF, clen)
    return data[:eocd] + zip64 + locator + classic + data[eocd + 22:]


def zip_seeds():
    put("zip_directory", "empty.zip", b"PK\x05\x06" + b"\x00" * 18)
    put("zip_directory", "two_files.zip", zip_with([("123.csv", "a;b;c\r\n"), ("42_1.jpg", b"\xff\xd8" * 40)]))
    put("zip_directory", "comment.zip", zip_with([("dir/é.xml", "<a/>")], comment=b"Kalvex \x82"))
    put("zip_directory", "zip64_end.zip", zip_with([("a.xml", "<a/>"), ("b.xml", "<b/>")], zip64_end=True))
    put("zip_directory", "zip64_empty.zip", zip_with([], zip64_end=True))
    put("zip_directory", "not_a_zip.zip", b"This is not an archive\r\n")


def version_seeds(build):
    exe = os.path.join(build, "src", "app", "kalvex")
    block = subprocess.run(["objcopy", "-O", "binary", "--only-section=.kalvex_version", exe, "/dev/stdout"],
                           check=True, capture_output=True).stdout
    put("version_block", "block.bin", block)
    put("version_block", "block_cut.bin", block[: len(block) // 2])
    small = os.path.join(build, "version-seed.elf")
    subprocess.run(["objcopy", "--only-section=.kalvex_version", "--strip-all", exe, small], check=True)
    with open(small, "rb") as f:
        put("version_block", "section_only.elf", f.read())
    os.remove(small)


def text_seeds():
    put("text_helpers", "spans", "<a EOF=\"x\" RecordName=\"a\">rest<a EOF=\"y\" RecordName=\"a\">\x01<a EOF=\"\x01RecordName=\"a\">\x01<a>")
    put("text_helpers", "brand", "Citroën C3 CITROEN Aircross Citroen\x01Citroën\x01x\x01y")
    put("text_helpers", "codes", ";Clim;GPS;été;ABS;\x01GPS\x01;\x01")
    put("text_helpers", "case", "İstanbul ß straße ﬃ É é\x01É\x01e\x01")
    put("text_helpers", "photo", "sub/../../x.JPG\x01..\\y.jpg\x01a:b\x01")
    put("text_helpers", "doors", "5 portes avec hayon 24 mois Berline 3p\x01\x01\x01")


def main(argv):
    build = argv[1] if len(argv) > 1 else os.path.join(ROOT, "build", "asan")
    if os.path.isdir(CORPUS):
        shutil.rmtree(CORPUS)
    xml_seeds()
    ini_seeds()
    zip_seeds()
    version_seeds(build)
    text_seeds()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
