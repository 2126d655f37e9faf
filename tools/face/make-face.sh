#!/usr/bin/env bash
# Regenerates Orvi's default face (the webp shipped in the app bundle) from
# orvi-default.svg. Needs rsvg-convert (librsvg2-bin) and cwebp (webp).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
svg="$here/orvi-default.svg"
out="$root/resources/OrviDesktop_OrviDesktop.bundle/Resources/orvi-default.webp"
size="${FACE_SIZE:-256}"
quality="${FACE_QUALITY:-85}"

for tool in rsvg-convert cwebp; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "make-face.sh: $tool not found (apt-get install -y librsvg2-bin webp)" >&2
    exit 1
  fi
done

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

rsvg-convert -w "$size" -h "$size" -o "$tmp/orvi-default.png" "$svg"
mkdir -p "$(dirname "$out")"
cwebp -quiet -q "$quality" -alpha_q 100 "$tmp/orvi-default.png" -o "$out"

if [[ -n "${FACE_PNG_PREVIEW:-}" ]]; then
  cp "$tmp/orvi-default.png" "$FACE_PNG_PREVIEW"
fi

echo "wrote $out ($(stat -c %s "$out") bytes)"
