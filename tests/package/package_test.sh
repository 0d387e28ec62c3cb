#!/usr/bin/env bash
# The Debian package of this build tree, made by cpack into a temporary folder,
# unpacked into a temporary root with dpkg -x and used from there as a dealer would:
# its version, its manual page, its example Kalvex.ini turned into the real one, and a
# console ParuVendu export to a loopback FTP drop.
#   package_test.sh SOURCE_DIR BINARY_DIR VERSION PREFIX
set -euo pipefail
SRC=$1 BIN=$2 VERSION=$3 PREFIX=$4

T=$(mktemp -d)
SERVER_PID=""
cleanup() {
  [ -n "$SERVER_PID" ] && kill "$SERVER_PID" 2>/dev/null && wait "$SERVER_PID" 2>/dev/null
  rm -rf "$T"
}
trap cleanup EXIT
fail() { echo "ÉCHEC : $*" >&2; exit 1; }

# The package, with a quick compression: the test build is large.
cpack --config "$BIN/CPackConfig.cmake" -B "$T/pkg" -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip \
  >"$T/cpack.log" 2>&1 || { cat "$T/cpack.log"; fail "cpack"; }
DEBS=("$T"/pkg/*.deb)
[ ${#DEBS[@]} -eq 1 ] && [ -f "${DEBS[0]}" ] || fail "un seul .deb attendu : ${DEBS[*]}"
DEB=${DEBS[0]}
[ "$(dpkg-deb -f "$DEB" Version)" = "$VERSION" ] || fail "version du paquet"
# Dependencies come from what the executable links.
DEPENDS=$(dpkg-deb -f "$DEB" Depends)
for lib in libc6 libcurl libxml2 libxslt1.1 libzip libicu; do
  [[ $DEPENDS == *"$lib"* ]] || fail "dépendance $lib absente de : $DEPENDS"
done

ROOT=$T/root
dpkg -x "$DEB" "$ROOT"
TOP=$ROOT$PREFIX
KALVEX=$TOP/bin/kalvex
DOC=$TOP/share/doc/kalvex
for f in "$KALVEX" "$DOC/Kalvex.ini.example" "$DOC/README.md" "$DOC/kalvex@.service" \
  "$DOC/kalvex@.timer" "$DOC/kalvex.cron" "$TOP/share/man/man1/kalvex.1"; do
  [ -s "$f" ] || fail "absent du paquet : ${f#"$ROOT"}"
done
grep -q "^ExecStart=$PREFIX/bin/kalvex --console .*%i$" "$DOC/kalvex@.service" ||
  fail "kalvex@.service ne lance pas $PREFIX/bin/kalvex"

[ "$(env -u DISPLAY -u WAYLAND_DISPLAY "$KALVEX" --version)" = "kalvex $VERSION" ] ||
  fail "kalvex --version"

# The manual page renders without a single groff warning.
MANWIDTH=80 man --warnings -l "$TOP/share/man/man1/kalvex.1" >"$T/man.txt" 2>"$T/man.err" ||
  fail "man -l"
[ ! -s "$T/man.err" ] || { cat "$T/man.err"; fail "avertissements de man"; }
grep -q "CODE DE RETOUR" "$T/man.txt" || fail "page de manuel sans codes de retour"
grep -q "Kalvex $VERSION" "$T/man.txt" || fail "page de manuel d'une autre version"

# A loopback portal drop.
mkdir -p "$T/drop" "$T/photos" "$T/windows/TEMP/Kalvex"
/usr/bin/python3 "$SRC/tests/support/ftp_server.py" --account "paruvendu:Drop-9pass:$T/drop" \
  --port-file "$T/port" >"$T/ftp.log" 2>&1 &
SERVER_PID=$!
for _ in $(seq 1 100); do
  [ -s "$T/port" ] && break
  sleep 0.1
done
[ -s "$T/port" ] || fail "le serveur FTP n'écoute pas"
PORT=$(tr -d '[:space:]' <"$T/port")

# Kalvex.ini beside the installed executable, from the example: a few keys uncommented.
sed -e "s|^;ServeurFTP=.*|ServeurFTP=127.0.0.1:$PORT|" \
  -e "s|^;PathImages=.*|PathImages=$T/photos|" \
  -e "/^\[PARUVENDU\]/,/^\[/{s|^;User=.*|User=paruvendu|;s|^;PassWord=.*|PassWord=Drop-9pass|}" \
  "$DOC/Kalvex.ini.example" >"$TOP/bin/Kalvex.ini"
cp "$SRC/tests/data/ExpDatasParuVendu.xml" "$T/windows/TEMP/Kalvex/"

set +e
(cd "$T" && env -u DISPLAY -u WAYLAND_DISPLAY Windir="$T/windows" timeout 120 \
  "$KALVEX" --console ParuVendu </dev/null >"$T/out.txt" 2>"$T/err.txt")
STATUS=$?
set -e
[ "$STATUS" -eq 0 ] || { cat "$T/out.txt" "$T/err.txt"; fail "code de sortie $STATUS"; }
SENT=("$T"/windows/TEMP/Kalvex/FerlaneDatasVO-*.xml)
[ -f "${SENT[0]}" ] || fail "pas de fichier ParuVendu dans le dossier de travail"
cmp "${SENT[0]}" "$T/drop/$(basename "${SENT[0]}")" || fail "fichier non reçu par le dépôt"
grep -q "Transfert FTP OK" "$T/windows/TEMP/DadozoVavirePARUVENDU.log" ||
  fail "journal sans « Transfert FTP OK »"
! grep -q "Drop-9pass" "$T/out.txt" "$T/err.txt" "$T/windows/TEMP/DadozoVavirePARUVENDU.log" ||
  fail "mot de passe affiché"
echo "paquet $(basename "$DEB") : installé, version, manuel et export ParuVendu vérifiés"
