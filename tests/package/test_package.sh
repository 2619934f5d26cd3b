#!/usr/bin/env bash
# The .deb as a user installs it: its files, its programs run from the extracted tree (the window
# through one Refresh on simulated printers), its completion, and Debian's and AppStream's checkers.
set -euo pipefail
deb=$1 sim=$2 driver=$3
[ -f "$deb" ] || { echo "FAIL: $deb is missing: run make package"; exit 1; }
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
failed=0
expect() { # NAME EXPECTED ACTUAL
    [ "$2" = "$3" ] && return
    printf 'FAIL: %s\n--- expected\n%s\n--- actual\n%s\n' "$1" "$2" "$3"
    failed=1
}

files=(/usr/bin/{receipt-printer-setup,rpsetup} /usr/lib/udev/rules.d/70-receipt-printer.rules
    /usr/share/{applications/receipt-printer-setup.desktop,bash-completion/completions/rpsetup}
    /usr/share/doc/receipt-printer-setup/{changelog.gz,copyright}
    /usr/share/icons/hicolor/{128x128,256x256,48x48,64x64}/apps/receipt-printer-setup.png
    /usr/share/{icons/hicolor/scalable/apps/receipt-printer-setup.svg,lintian/overrides/receipt-printer-setup}
    /usr/share/{man/man1/{receipt-printer-setup,rpsetup}.1.gz,metainfo/org.example.ReceiptPrinterSetup.metainfo.xml})
expect "files" "$(printf '%s\n' "${files[@]}")" "$(cd "$root" && find . -type f | sed 's/^\.//' | LC_ALL=C sort)"
file -b "$root"/usr/bin/* | grep -v ', stripped' >/dev/null && expect "stripped" "" "$(file "$root"/usr/bin/*)"

bin=$root/usr/bin
expect "rpsetup --version" "rpsetup $(dpkg-deb -f "$deb" Version)" "$("$bin/rpsetup" --version)"
expect "rpsetup --help" "Usage: rpsetup [--port N | --path PATH | --all] COMMAND [ARGS]" "$("$bin/rpsetup" --help | sed -n 1p)"

# The windows style, unlike the default, never widens the open list by itself.
window=$(LC_ALL=C QT_QPA_PLATFORM=offscreen timeout 60 "$sim" \
    --printer "port=1,product=RP80 Front Counter Receipt Printer" --printer "port=2,product=RP58 Kitchen" \
    -- sh -c 'LD_PRELOAD="$LD_PRELOAD $0" exec "$1" -style windows' "$driver" "$bin/receipt-printer-setup" \
    | LC_ALL=C sort) || true
expect "one Refresh in the packaged window" \
    "RP58 Kitchen USB002|tooltip RP58 Kitchen USB002|fits
RP80 Front Counter Receipt Printer USB001|tooltip RP80 Front Counter Receipt Printer USB001|fits
icon set" "$window"

# The keys rpsetup accepts (it names them when refusing an unknown one) are the completion's, and
# each is in the manual page.
accepted=$(LC_ALL=C "$bin/rpsetup" set no.such.key=1 2>&1 | sed -n '1{s/.*: //; s/, /\n/g; p}' | sort || true)
source /usr/share/bash-completion/bash_completion
source "$root/usr/share/bash-completion/completions/rpsetup"
expect "keys of the completion" "$accepted" "$(printf '%s\n' "${!_rpsetup_choices[@]}" | sort)"
manual=$(MANWIDTH=200 man -l "$root/usr/share/man/man1/rpsetup.1.gz" 2>&1)
for key in $accepted; do
    grep -qF -- " $key=" <<<"$manual" || expect "key $key in rpsetup(1)" "$key=" ""
done
complete_line() {
    read -ra COMP_WORDS <<<"$1"
    [[ $1 == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) COMP_LINE=$1 COMP_POINT=${#1} COMPREPLY=()
    _rpsetup rpsetup "${COMP_WORDS[-1]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    echo "${COMPREPLY[*]}"
}
while IFS='|' read -r line want; do
    expect "completion of '$line'" "$want" "$(complete_line "$line" 2>/dev/null)"
done <<'ROWS'
rpsetup s|show set self-test status
rpsetup --host 192.168.1.100:9100 c|check-network
rpsetup status --|--json --check --help
rpsetup --port 2 set wifi.m|wifi.mode=
rpsetup set speed=|speed=slower speed=normal speed=faster
rpsetup --all logo print 3 --size double-|double-width double-height
rpsetup --all apply --|--check --diff --json --show-secrets --check-network
rpsetup show --|--json --show-secrets --help
ROWS

# With udev running the maintainer scripts reload it and re-apply the rule to the vendor's printers;
# without it (a container, a chroot) they do only the check, and succeed.
dpkg-deb -e "$deb" "$root/DEBIAN" && mkdir "$root/fake"
printf '#!/bin/sh\necho "$*" >>"$CALLS"\n[ "$2" != --ping ] || [ -n "$UP" ]\n' >"$root/fake/udevadm" &&
    chmod +x "$root/fake/udevadm"
for row in "postinst configure|1" "postrm remove|1" "postinst configure|" "postrm purge|"; do
    IFS='|' read -r script up <<<"$row" && rm -f "$root/calls"
    CALLS=$root/calls UP=$up PATH=$root/fake:$PATH sh "$root/DEBIAN/"$script || expect "$row" 0 $?
    want="control --ping${up:+
control --reload
trigger --subsystem-match=usb --attr-match=idVendor=36fc --action=change}"
    expect "udevadm calls of $row" "$want" "$(cat "$root/calls")"
done

lintian --fail-on error,warning --tag-display-limit 0 "$deb" || failed=1
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml || failed=1
desktop-file-validate "$root"/usr/share/applications/*.desktop || failed=1
exit $failed
