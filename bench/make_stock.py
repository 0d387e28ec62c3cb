#!/usr/bin/env python3
"""Writes a dealer-group stock as a vehicle data document, for the benchmarks.

    make_stock.py PORTAL VEHICLES OUT.xml [--photos-per-vehicle N] [--seed S]
                  [--encoding ISO-8859-15|UTF-8]

PORTAL is ParuVendu, AutoScout24, SitAutoPro, TopAnnonces, LeBonCoin or InfoPress: the
document has that portal's fields, spelled as its exporter reads them, its vehicle key
and photo slots, and the record sets every export expects (vehicles, photo links,
equipment labels, aliases; the dealer's coordinates first for SitAutoPro). The data is
French and varied (makes, models, accents, the euro sign, equipment code lists, some
codes without a label) and the same for the same arguments: a seeded generator, no
clock, no randomness from the system. Indented as the back office writes it.
"""

import argparse
import random
import sys
from xml.sax.saxutils import escape

MAKES = [
    ("Peugeot", ["208 1.2 PureTech 100 Allure", "308 1.5 BlueHDi 130 GT", "3008 1.6 Hybrid 225"]),
    ("Renault", ["Clio V 1.0 TCe 90 Zen", "Mégane IV 1.3 TCe 140 Intens", "Captur E-Tech 145"]),
    ("Citroën", ["C3 1.2 PureTech 83 Shine", "C5 Aircross 1.5 BlueHDi 130 Feel", "Berlingo XTR"]),
    ("Dacia", ["Sandero Stepway TCe 90", "Duster 1.5 Blue dCi 115 Prestige", "Logan MCV"]),
    ("Volkswagen", ["Golf VIII 2.0 TDI 115 Life", "Polo 1.0 TSI 95 Confortline", "Tiguan"]),
    ("Škoda", ["Octavia Combi 2.0 TDI 150 Style", "Fabia 1.0 TSI 110 Ambition", "Kodiaq"]),
    ("Toyota", ["Yaris Hybride 116h Dynamic", "C-HR 1.8 Hybride Édition", "RAV4 Hybride"]),
    ("Opel", ["Corsa F 1.2 Turbo 100 Élégance", "Astra 1.5 Diesel 122 GS Line", "Mokka-e"]),
]
COLOURS = ["Gris Artense", "Blanc Banquise", "Bleu Iron", "Rouge Flamme", "Noir Perla Nera",
           "Gris Platinium métallisé", "Beige Sable", "Vert Émeraude"]
ENERGIES = ["Essence", "Diesel", "Hybride", "Électrique", "GPL"]
GEARBOXES = ["Manuelle", "Automatique"]
BODIES = ["Berline", "Break", "Monospace", "4x4", "Coupé", "Cabriolet", "Société", "Pick up"]
DOORS = ["3 portes", "5 portes", "5p", "3 portes avec hayon"]
WARRANTIES = ["12 mois", "6 MOIS", "24 mois", " 3 mois "]
# (code, label): the codes the back office writes, and the labels of the upper-cased ones.
EQUIPMENT = [
    ("Clim", "Climatisation"), ("ClimAuto", "Climatisation automatique bizone"),
    ("GPS", "GPS intégré"), ("Regul", "Régulateur de vitesse"),
    ("Bluetooth", "Kit mains libres Bluetooth"), ("Camera", "Caméra de recul"),
    ("Cuir", "Sellerie cuir"), ("SiegChauf", "Sièges avant chauffants"),
    ("JantAll", "Jantes alliage"), ("ToitOuv", "Toit ouvrant panoramique"),
    ("VitresTeint", "Vitres arrière surteintées"), ("Attelage", "Crochet d'attelage"),
    ("ABS", "ABS"), ("ESP", "ESP"), ("Airbags", "Airbags frontaux et latéraux"),
    ("Radar", "Radar de recul"), ("CarnetEnt", "Carnet d'entretien à jour"),
    ("PremMain", "Première main"), ("CtOK", "Contrôle technique OK"),
]
UNLABELLED = ["Inconnu", "PackHiver"]  # codes the label set does not hold
GARAGES = [("Garage des Tilleuls - M. Lefèvre", "02 41 00 00 00"),
           ("Auto Sélection – Mme Girard", "04 76 12 34 56"),
           ("Garage de l'Étoile", "04 78 00 00 00")]

# Per portal: vehicle key, photo slots, the four code-list fields and the field layout.
PORTALS = {
    "ParuVendu": {"key": "idNVO", "slots": ["NomPhoto%d" % i for i in range(1, 7)],
                  "lists": ["EqutInterieur", "EqutExterieur", "EqutSecurite", "InfoComplement"]},
    "AutoScout24": {"key": "idNVO", "slots": [],
                    "lists": ["InfoEquiInterieur", "InfoEquiExterieur", "InfoEquiSecurite"]},
    "SitAutoPro": {"key": "REFERENCE", "slots": ["NOMPHOTO%d" % i for i in range(1, 7)],
                   "lists": ["EQUTINTERIEUR", "EQUTEXTERIEUR", "EQUTSECURITE", "INFOCOMPLEMENT"]},
    "TopAnnonces": {"key": "reference", "slots": ["NOMPHOTO%d" % i for i in range(1, 7)],
                    "lists": ["EqutInterieur", "EqutExterieur", "EqutSecurite", "InfoComplement"]},
    "LeBonCoin": {"key": "idNVO", "slots": ["photo%d" % i for i in range(1, 7)],
                  "lists": ["EqutInterieur", "EqutExterieur", "EqutSecurite", "InfoComplement"]},
}
PORTALS["InfoPress"] = PORTALS["LeBonCoin"]


def code_list(rng):
    if rng.random() < 0.1:
        return ""
    codes = rng.sample(EQUIPMENT, rng.randint(1, 5))
    names = [c for c, _ in codes] + ([rng.choice(UNLABELLED)] if rng.random() < 0.05 else [])
    return ";" + ";".join(names) + ";"


def vehicle_fields(portal, rng, ident):
    """The fields of one vehicle record, in document order, as (name, text) pairs."""
    make, models = MAKES[rng.randrange(len(MAKES))]
    model = rng.choice(models)
    year = rng.randint(2012, 2024)
    month = rng.randint(1, 12)
    km = rng.randint(5, 220) * 1000 + rng.randint(0, 999)
    price = rng.randint(35, 450) * 100 - 10
    colour, energy, gearbox = rng.choice(COLOURS), rng.choice(ENERGIES), rng.choice(GEARBOXES)
    body, doors, warranty = rng.choice(BODIES), rng.choice(DOORS), rng.choice(WARRANTIES)
    garage, phone = rng.choice(GARAGES)
    text = "Très belle %s %s, %s, première main. Prix : %s €." % (
        make, model.split()[0], colour.lower(), "{:,}".format(price).replace(",", " "))
    lists = [code_list(rng) for _ in range(4)]
    if portal == "ParuVendu":
        fields = [("idNVO", ident), ("Rubrique", "Voitures d'occasion"), ("SousRubrique", make),
                  ("ModeleVersion", make + " " + model), ("Energie", energy),
                  ("BoiteVitesse", gearbox), ("Carrosserie", body), ("Couleur", colour),
                  ("AnneeMEC", year), ("Kilometrage", km), ("Prix", price),
                  ("NbPortes", doors), ("Garantie", warranty)]
        fields += list(zip(PORTALS[portal]["lists"], lists))
        fields += [("Texte", text), ("Contact", garage), ("Telephone", phone)]
        fields += [(slot, "") for slot in PORTALS[portal]["slots"]]
    elif portal == "AutoScout24":
        fields = [("idNVO", ident), ("IMarque", make), ("IModele", model.split()[0]),
                  ("IVersion", model), ("TypeBoiteVitesse", gearbox), ("TypeCarrosserie", body),
                  ("Couleur", colour), ("Energie", energy), ("MoisMEC", month),
                  ("AnneeMEC", year), ("Kilometrage", km), ("PrixDuBien", price),
                  ("NombreDePortes", doors[0]), ("NbPlaces", 5), ("Puissance", rng.randint(4, 12)),
                  ("Garantie", warranty), ("NChassis", "VF3%014d" % (int(ident) * 7919)),
                  ("Immatriculation", "%s-%03d-%s" % ("FG", int(ident) % 1000, "HJ"))]
        fields += list(zip(PORTALS[portal]["lists"], lists[:3]))
        fields += [("InfoComplement", "Révisé, garantie constructeur")]
    elif portal == "SitAutoPro":
        fields = [("REFERENCE", ident), ("CATEGORIE", body), ("MARQUE", make),
                  ("MODELE", model.split()[0]), ("VERSION", model), ("GARANTIE", warranty),
                  ("NB_PORTES", doors), ("KILOMETRAGE", km), ("PRIX", "%d €" % price)]
        fields += list(zip(PORTALS[portal]["lists"], lists))
        fields += [(slot, "") for slot in PORTALS[portal]["slots"]]
    elif portal == "TopAnnonces":
        fields = [("reference", ident), ("marque", make), ("modele", model.split()[0]),
                  ("Carrosserie", body), ("prix", "%d €" % price), ("MODELEVERSION", model)]
        fields += list(zip(PORTALS[portal]["lists"], lists))
        fields += [("Garantie", warranty), ("BOITE_DE_VITESSE", gearbox), ("NB_PORTES", doors),
                   ("Kilometrage", km), ("Couleur", colour), ("Energie", energy),
                   ("YearMEC", year), ("FirstMEC", "%02d/%d" % (month, year)),
                   ("accroche_url", ""), ("texte", ""), ("complements", "")]
        fields += [(slot, "") for slot in PORTALS[portal]["slots"]]
    else:  # LeBonCoin, InfoPress
        fields = [("idNVO", ident), ("InfoMarque", make), ("ModeleVersion", model),
                  ("Carrosserie", body), ("Puissance", rng.randint(4, 12)), ("Couleur", colour),
                  ("BoiteVitesse", gearbox), ("MEC", "%02d/%d" % (month, year)),
                  ("Garantie", warranty), ("Contact", garage), ("Telephone", phone),
                  ("Prix", "%d €" % price), ("Kilometrage", km)]
        fields += list(zip(PORTALS[portal]["lists"], lists))
        fields += [("Titre", ""), ("Texte", "")]
        fields += [(slot, "") for slot in PORTALS[portal]["slots"]]
    return fields


def write_stock(out, portal, vehicles, photos, seed):
    rng = random.Random("%s/%d/%d/%d" % (portal, vehicles, photos, seed))
    first_id = 100001
    out.write("<document>\n")
    if portal == "SitAutoPro":
        out.write('  <COORDONNEESS EOF="False" RecordName="COORDONNEES">\n    <COORDONNEES>'
                  "<CODECLIENT>SAP0421</CODECLIENT><RAISON_SOCIALE>Garage de l'Étoile"
                  "</RAISON_SOCIALE><VILLE>Lyon</VILLE></COORDONNEES>\n  </COORDONNEESS>\n")
    out.write('  <DataVOS EOF="False" RecordName="DataVO">\n')
    for n in range(vehicles):
        out.write("    <DataVO>\n")
        for name, value in vehicle_fields(portal, rng, str(first_id + n)):
            out.write("      <%s>%s</%s>\n" % (name, escape(str(value)), name))
        out.write("    </DataVO>\n")
    out.write("  </DataVOS>\n")
    out.write('  <LiensImagesS EOF="False" RecordName="LiensImages">\n')
    for n in range(vehicles):
        ident = first_id + n
        for p in range(1, photos + 1):
            out.write("    <LiensImages><idNVO>%d</idNVO><NomImage>vo%d_%d</NomImage>"
                      "</LiensImages>\n" % (ident, ident, p))
    out.write("  </LiensImagesS>\n")
    out.write('  <LiensEquipementsS EOF="False" RecordName="LiensEquipements">\n')
    for code, label in EQUIPMENT:
        out.write("    <LiensEquipements><AbbrEquip>%s</AbbrEquip><LibelleEquipement>%s"
                  "</LibelleEquipement></LiensEquipements>\n" % (code.upper(), escape(label)))
    out.write("  </LiensEquipementsS>\n")
    out.write('  <Aliases><Alias Nom="VO">DataVO</Alias><Alias Nom="Photos">LiensImages</Alias>'
              "</Aliases>\n</document>\n")


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("portal", choices=sorted(PORTALS))
    parser.add_argument("vehicles", type=int)
    parser.add_argument("out")
    parser.add_argument("--photos-per-vehicle", type=int, default=10)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--encoding", default="ISO-8859-15")
    options = parser.parse_args(argv)
    with open(options.out, "w", encoding=options.encoding, errors="xmlcharrefreplace",
              newline="\r\n") as out:
        out.write('<?xml version="1.0" encoding="%s"?>\n' % options.encoding)
        write_stock(out, options.portal, options.vehicles, options.photos_per_vehicle,
                    options.seed)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
