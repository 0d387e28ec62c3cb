#!/usr/bin/env python3
"""Écrit le dossier des photos de la démonstration d'après les liens photo d'un document.

Pour chaque enregistrement LiensImages, écrit NomImage.jpg (320x240) et sa vignette
NomImagem.jpg (80x60) dans le dossier des photos, une couleur de carrosserie par
véhicule, sauf les photos nommées par --missing (absentes, photo et vignette). Les
photos nommées par --on-server sont aussi copiées, avec leurs vignettes, dans le dossier
du serveur d'images, comme si un export précédent les avait envoyées.

    prepare_photos.py DOCUMENT PHOTO_FOLDER IMAGE_SERVER_FOLDER
                      [--missing NAME]... [--on-server NAME]...
"""

import argparse
import os
import shutil
import sys
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_jpeg  # noqa: E402

BODY_COLOURS = [
    (200, 30, 30), (30, 70, 160), (235, 235, 235), (20, 20, 20), (230, 120, 20),
    (150, 150, 155), (40, 120, 60), (240, 200, 30), (110, 30, 60), (70, 170, 190),
]


def main(argv):
    parser = argparse.ArgumentParser()
    parser.add_argument("document")
    parser.add_argument("photo_folder")
    parser.add_argument("image_server_folder")
    parser.add_argument("--missing", action="append", default=[])
    parser.add_argument("--on-server", action="append", default=[])
    options = parser.parse_args(argv)

    os.makedirs(options.photo_folder, exist_ok=True)
    os.makedirs(options.image_server_folder, exist_ok=True)
    root = ElementTree.parse(options.document).getroot()
    vehicles = {}
    written = 0
    for link in root.iterfind("LiensImagesS/LiensImages"):
        vehicle = link.findtext("idNVO", "").strip()
        name = link.findtext("NomImage", "").strip()
        if not name or name in options.missing:
            continue
        colour = BODY_COLOURS[vehicles.setdefault(vehicle, len(vehicles)) % len(BODY_COLOURS)]
        for file_name, (width, height) in ((name + ".jpg", (320, 240)), (name + "m.jpg", (80, 60))):
            path = os.path.join(options.photo_folder, file_name)
            with open(path, "wb") as f:
                f.write(make_jpeg.encode(width, height, colour))
            written += 1
            if name in options.on_server:
                shutil.copyfile(path, os.path.join(options.image_server_folder, file_name))
    print("%d photos et vignettes écrites dans %s" % (written, options.photo_folder))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
