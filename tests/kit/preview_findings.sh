#!/bin/bash
# quarnel-kit preview of products made to go wrong, each under the Wine of
# the tree's target: a description too long for its field, a shortcut that
# Program Manager cannot make (its title names a folder that does not
# exist) and an INI value that a later entry means to change but its rule
# keeps must be found, exactly those three; an installer whose package is
# missing, or is another package, stops with status 2 and the installer's
# word.
# Usage: preview_findings.sh KIT WORKDIR --64|--32
set -u
kit=$1 work=$2 bits=$3
rm -rf "$work"
mkdir -p "$work/files"
cd "$work" || exit 1
fail=0
bad() { echo "FAIL: $*"; fail=1; }

printf 'first file\r\n' >files/A.TXT
printf 'second file\r\n' >files/B.TXT
long=$(printf 'A description that goes on and on, %.0s' $(seq 1 18))
cat >product.toml <<EOF
[product]
name = "Preview Faults"
version = "1.0"
description = "$long"

[install]
package = "FAULTS.PKG"
destination = 'C:\\QFAULTS'

[program_group]
name = "Preview Faults"

[[program_group.icon]]
title = "Read A"
command = '%DA.TXT'

[[program_group.icon]]
title = 'Notes\\B'
command = '%DB.TXT'

[[item]]
source = "files/A.TXT"
destination = '%DA.TXT'
name = "A"
date = 1998-09-09

[[item]]
source = "files/B.TXT"
destination = '%DB.TXT'
name = "B"
date = 1998-09-09

[[ini]]
file = '%DFAULTS.INI'
section = "Install"
key = "Version"
value = "1.0"

[[ini]]
file = '%DFAULTS.INI'
section = "Install"
key = "Version"
value = "2.0"
overwrite = "N"
EOF

# The three faults and nothing else; --strict makes them exit 1.
"$kit" preview product.toml -o out "$bits" --strict >preview.log 2>&1
rc=$?
cat preview.log
[ "$rc" -eq 1 ] || bad "the faulty product's preview exited $rc, not 1"
python3 - out/report.json <<'EOF' || fail=1
import json, sys
r = json.load(open(sys.argv[1]))
kinds = sorted(f["kind"] for f in r["findings"])
ok = kinds == ["clipped", "ini", "shortcut"]
for f in r["findings"]:
    want = {"clipped": "control 203 ", "ini": "[Install] Version = \"1.0\", the product writes \"2.0\"",
            "shortcut": "Preview Faults\\Notes\\B.lnk: missing"}.get(f["kind"], "?")
    if want not in f["message"]:
        ok = False
    print("finding:", f["kind"], f["message"])
if not ok:
    print("FAIL: the findings are not exactly the clipped description, the missing shortcut and the kept INI value")
sys.exit(0 if ok else 1)
EOF
grep -q 'class="mark"' out/index.html || bad "index.html marks no clipped control"

# Missing or foreign packages: the install itself fails.
"$kit" build product.toml -o dist --stub "$(dirname "$kit")/quarnel-stub-win${bits#--}.exe" >/dev/null 2>&1 ||
  bad "the faulty product does not build"
mkdir -p other && printf 'xx\r\n' >other/FAULTS.PKG && cp dist/FAULTS.PKG other/ELSE.PKG
for case in "other/ELSE.PKG|the installer showed no message" "other/FAULTS.PKG|The install package file is invalid."; do
  package=${case%%|*} word=${case#*|}
  "$kit" preview dist/quarnel.exe "$package" -o "out-${package##*/}" "$bits" >failed.log 2>&1
  rc=$?
  cat failed.log
  [ "$rc" -eq 2 ] || bad "preview with $package exited $rc, not 2"
  grep -qF "$word" failed.log || bad "preview with $package does not say: $word"
done
[ "$fail" -eq 0 ] && echo "preview findings: as made"
exit "$fail"
