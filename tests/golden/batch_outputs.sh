#!/usr/bin/env bash
# Runs the batch program over a fixed set of inputs and prints one manifest line
# per run: the exit status, what it printed (the work folder written as $DIR),
# the SHA-256 of every mesh it wrote and of every preview's decoded pixels.
# Two builds agree on batch behaviour when their manifests are equal:
#   tests/golden/batch_outputs.sh build/bin/orvanel > after.txt; diff before.txt after.txt
set -euo pipefail
program=$(realpath "$1")
bin=$(dirname "$program")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# heightmaps with exact integer formulas, written by ImageMagick as 24-bit BMPs
bmp() {  # bmp NAME WxH FX
  convert -size "$2" xc: -fx "$3" -type TrueColor -depth 8 "BMP3:$1"
}
bmp ramp256x128.bmp 256x128 '(i*7+j*3)%256/255'
bmp four.bmp 4x4 '(i+4*j)*16/255'
bmp wide.bmp 512x512 '(i^j)%256/255'
bmp odd.bmp 6x4 '0.5'
bmp line.bmp 2x1 '0.5'
bmp flat.bmp 8x8 '0'
bmp pit.bmp 8x8 '(i>3)*0.5'
cp "$bin/assets/sample.bmp" sample.bmp
printf 'not a bitmap' > garbage.bmp
printf 'text' > notes.txt
convert -size 8x8 xc:gray -type Palette -colors 4 BMP3:palette.bmp

run() {  # run NAME ARGS...: one manifest block
  local name=$1; shift
  set +e
  "$program" "$@" > out.txt 2> err.txt
  local status=$?
  set -e
  echo "== $name: exit $status"
  sed "s|$work|\$DIR|g" out.txt err.txt
  for file in *.3ds; do
    [ -e "$file" ] && echo "mesh $file $(sha256sum < "$file" | cut -c1-64)" && rm "$file"
  done
  for file in *.png; do
    [ -e "$file" ] && echo "pixels $file $(convert "$file" -depth 8 RGBA:- | sha256sum | cut -c1-64)" && rm "$file"
  done
  return 0
}

run sample --generate sample.bmp --output sample.3ds --eliminate-zero-height --overall-scale 12 \
    --height-scaling 1024 --tilt 55 --spin 25 --preview sample.png --preview-size 320x200
run sample-defaults --generate sample.bmp --output sample.3ds
run ramp-fuzz1 --generate ramp256x128.bmp --output ramp.3ds --grid-fuzz 1
run ramp-options --generate ramp256x128.bmp --output ramp.3ds --grid-fuzz 3 --texture-stretching 300 \
    --height-scaling 77 --overall-scale 5 --preview ramp.png --preview-size 64x48 --spin -30 --tilt 10
run four --generate four.bmp --output four.3ds --grid-fuzz 1
run pit-eliminated --generate pit.bmp --output pit.3ds --grid-fuzz 1 --eliminate-zero-height
"$program" --generate four.bmp --output kept.3ds --grid-fuzz 1 2>/dev/null
run info --info kept.3ds
rm -f kept.3ds
run too-many-faces --generate wide.bmp --output wide.3ds --grid-fuzz 1
run not-power-of-two --generate odd.bmp --output odd.3ds
run one-pixel-high --generate line.bmp --output line.3ds
run all-eliminated --generate flat.bmp --output flat.3ds --eliminate-zero-height
run missing --generate nowhere.bmp --output x.3ds
run garbage --generate garbage.bmp --output x.3ds
run palette --generate palette.bmp --output x.3ds
run unknown-extension --generate notes.txt --output x.3ds
run no-extension --generate noext --output x.3ds
run missing-settings --generate four.bmp --output x.3ds --settings nowhere.cfg
run unwritable --generate four.bmp --output /nonexistent/folder/x.3ds
run info-missing --info nowhere.3ds
run usage-unknown --frobnicate
run usage-range --generate four.bmp --output x.3ds --grid-fuzz 7
run usage-size --generate four.bmp --output x.3ds --preview x.png --preview-size 10
run usage-angle --generate four.bmp --output x.3ds --spin north
run usage-value --generate
run usage-both --generate four.bmp --info x.3ds
run usage-no-output --generate four.bmp
run help --help
run version --version
