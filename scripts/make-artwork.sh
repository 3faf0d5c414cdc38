#!/usr/bin/env bash
# Draws the installer's artwork with ImageMagick into src/wizard/art/. Every picture is an
# original, simple geometric design. Run again only to change the artwork: the results are
# committed, so builds do not need ImageMagick.
set -euo pipefail
cd "$(dirname "$0")/.."
out=src/wizard/art
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
bold=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
regular=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf

navy='#1c3466'
gold='#e0b43c'
ember='#b8401c'

# The modification's emblem, drawn large and scaled down: a gold ring on navy, a gold
# chevron "V" and an ember diamond above it.
convert -size 400x400 xc:none \
  -fill "$navy" -stroke "$gold" -strokewidth 26 -draw "circle 200,200 200,22" \
  -stroke none -fill "$gold" -draw "polygon 92,112 152,112 200,250 248,112 308,112 222,318 178,318" \
  -fill "$ember" -draw "polygon 200,62 228,92 200,122 172,92" \
  "$tmp/emblem.png"

# Image4: GIF 50 x 50; the corners take the page's face colour, as GIF has no partial transparency.
convert "$tmp/emblem.png" -resize 50x50 -background '#f0f0f0' -flatten -colors 64 "$out/image4.gif"
# Image2: JPEG 32 x 32 of the same design.
convert "$tmp/emblem.png" -resize 32x32 -background '#f0f0f0' -flatten -quality 92 "$out/image2.jpg"
# Window icon: 16 x 16 in 256 colours, PNG for Qt and ICO for the Windows program file.
convert "$tmp/emblem.png" -resize 16x16 -background '#f0f0f0' -flatten -colors 256 PNG8:"$out/vornak-icon.png"
convert "$out/vornak-icon.png" -colors 256 -type Palette -compress None BMP3:"$tmp/icon.bmp"
convert "$tmp/icon.bmp" -colors 256 "$out/vornak-icon.ico"

# Image5: the game's small logo, 47 x 30 with a transparent colour: a kite shield with a
# crossed pair of blades.
convert -size 470x300 xc:none \
  -stroke '#3a3a3a' -strokewidth 14 -fill '#8a8f96' \
  -draw "line 90,40 380,270" -draw "line 380,40 90,270" \
  -fill '#6b2c1a' -stroke '#d9c089' -strokewidth 16 \
  -draw "polygon 150,40 320,40 320,150 235,270 150,150" \
  -fill '#d9c089' -stroke none -draw "polygon 235,80 265,140 235,200 205,140" \
  -resize 47x30! -channel A -threshold 50% +channel -colors 32 "$out/image5.gif"

# Image3: the online service's small logo, 47 x 30 with a transparent colour: a globe with
# an orbit.
convert -size 470x300 xc:none \
  -fill '#2a6fb8' -stroke '#123a66' -strokewidth 10 -draw "circle 235,150 235,40" \
  -fill none -stroke '#dfeeff' -strokewidth 8 \
  -draw "ellipse 235,150 50,110 0,360" -draw "line 125,150 345,150" \
  -draw "line 140,95 330,95" -draw "line 140,205 330,205" \
  -stroke "$gold" -strokewidth 14 -draw "ellipse 235,150 215,45 200,520" \
  -resize 47x30! -channel A -threshold 50% +channel -colors 32 "$out/image3.gif"

# Image6: the short-name logo "VQ", 47 x 28 with a transparent colour.
convert -size 470x280 xc:none -font "$bold" -pointsize 250 \
  -fill "$gold" -stroke "$navy" -strokewidth 14 -gravity center -annotate +0+8 'VQ' \
  -resize 47x28! -channel A -threshold 50% +channel -colors 32 "$out/image6.gif"

# The banner band, 481 x 75: a dusk gradient, the emblem and the installer's name.
convert -size 481x75 gradient:'#24457e'-'#0b1530' \
  \( "$tmp/emblem.png" -resize 58x58 \) -gravity west -geometry +12+0 -composite \
  -gravity northwest -font "$bold" -pointsize 22 -fill "$gold" -annotate +84+12 'Vornak MOD Installer' \
  -font "$regular" -pointsize 11 -fill '#c9d6ee' -annotate +86+44 'Installs the VQ MOD into your Warcraft III maps' \
  -colors 128 "$out/banner.gif"

echo "Artwork written to $out"
