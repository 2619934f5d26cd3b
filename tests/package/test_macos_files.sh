#!/bin/sh
# The macOS bundle's Info.plist and icon as made on this machine, read back by Linux's tools:
# test_macos_files.sh PLISTUTIL ICNS2PNG DIR VERSION
set -eu
plistutil=$1 icns2png=$2 dir=$3 version=$4
fail() { echo "FAIL: $*" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Through the binary form and back: plistutil converts nothing but a property list.
"$plistutil" -i "$dir/Info.plist" -o "$tmp/binary" -f bin && [ -s "$tmp/binary" ] || fail "Info.plist does not parse"
"$plistutil" -i "$tmp/binary" -o "$tmp/Info.plist" -f xml || fail "the binary form does not parse"
value() { sed -n "/<key>$1<\/key>/{n;s/.*<string>\(.*\)<\/string>.*/\1/p;}" "$tmp/Info.plist"; }
for expected in CFBundleIdentifier=org.example.ReceiptPrinterSetup CFBundleShortVersionString="$version" \
                CFBundleVersion="$version" CFBundleExecutable=receipt-printer-setup \
                CFBundleIconFile=receipt-printer-setup.icns CFBundlePackageType=APPL; do
  key=${expected%%=*}
  [ "$(value "$key")" = "${expected#*=}" ] || fail "$key is '$(value "$key")', not '${expected#*=}'"
done
grep -A1 '<key>NSHighResolutionCapable</key>' "$tmp/Info.plist" | grep -q '<true/>' ||
  fail "not high-resolution capable"

[ -f "$dir/receipt-printer-setup.icns" ] || fail "no icon named as CFBundleIconFile says"
"$icns2png" -l "$dir/receipt-printer-setup.icns" > "$tmp/list" || fail "icns2png cannot read the icon"
for size in 16 32 128 256 512; do
  grep -q " ${size}x${size} 32-bit icon" "$tmp/list" || { cat "$tmp/list"; fail "no ${size} px picture"; }
done
echo "PASS"
