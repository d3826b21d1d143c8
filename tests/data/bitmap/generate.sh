#!/bin/bash
# Regenerates the bitmap fixtures with ImageMagick 6 (the "convert" command) and xxd. Each
# NAME.bmp comes with NAME.rgb, ImageMagick's own decoding of it: 8-bit red, green and blue for
# every pixel, the top row first. The tests compare the program's decoding with those files.
set -euo pipefail
cd "$(dirname "$0")"

# A 13 x 7 picture: an odd width, so that every depth pads its rows.
source=$(mktemp --suffix=.ppm)
trap 'rm -f "$source"' EXIT
awk 'BEGIN {
    w = 13; h = 7
    print "P3"; print w, h; print 255
    for (y = 0; y < h; y++)
        for (x = 0; x < w; x++)
            print (x * 19 + y * 7) % 256, (x * 3 + y * 37) % 256, (512 + 255 - x * 11 - y * 23) % 256
}' >"$source"

reference() { convert "$1.bmp" -depth 8 "rgb:$1.rgb"; }

# make NAME [convert options...] FORMAT: writes NAME.bmp from the picture.
make() {
    local name=$1 format=${*: -1}
    convert "$source" +dither "${@:2:$#-2}" "$format:$name.bmp"
    reference "$name"
}

make info40-24 BMP3
make info124-24 BMP
make info124-32 -alpha set -channel A -fx 'i/w' +channel BMP
make info124-16-565 -define bmp:subtype=RGB565 BMP
make info124-16-555 -define bmp:subtype=RGB555 BMP
make info40-8 -colors 100 -compress none BMP3
make info40-8-rle -colors 100 -compress RLE BMP3
make info124-8-rle -colors 100 BMP
make info40-4 -colors 16 BMP3
make info40-1 -colors 2 BMP3
make core-24 BMP2
make core-8 -colors 100 BMP2
make core-4 -colors 16 BMP2
make core-1 -colors 2 BMP2

# Hand-written run-length streams with deltas, absolute runs and pixels they never set.
le16() { printf '%02x%02x' $(($1 & 255)) $(($1 >> 8 & 255)); }
le32() { le16 $(($1 & 65535)); le16 $(($1 >> 16 & 65535)); }
# rle NAME WIDTH HEIGHT BITS COMPRESSION COLOURS PALETTE-HEX STREAM-HEX
rle() {
    local palette=$7 stream=$8
    local offset=$((14 + 40 + ${#palette} / 2)) size=$((${#stream} / 2))
    {
        printf '424d'; le32 $((offset + size)); le32 0; le32 $offset
        le32 40; le32 "$2"; le32 "$3"; le16 1; le16 "$4"; le32 "$5"; le32 $size
        le32 2835; le32 2835; le32 "$6"; le32 0
        printf '%s%s' "$palette" "$stream"
    } | xxd -r -p >"$1.bmp"
    reference "$1"
}
# Entry 0 is a dark grey-blue (10, 20, 30), then red, green and blue. Each stream ends in a
# spare pair after its end-of-bitmap mark, because ImageMagick reads one pair further.
palette=1e140a000000ff0000ff0000ff000000
rle rle8-delta 6 4 8 1 4 $palette \
    0301000302030200000002030002020102010000010200010000
rle rle4-delta 7 3 4 2 3 ${palette:0:24} \
    0512000000052121200000020101011000010000

# A GIF, which the toolkit reads but cannot write, for the tests of other picture kinds: the
# four quarters of tests/support/pictures.h's quarteredPicture(1008, 480).
convert \( -size 504x240 'xc:rgb(200,40,40)' 'xc:rgb(40,160,40)' +append \) \
    \( -size 504x240 'xc:rgb(40,40,200)' 'xc:rgb(120,120,30)' +append \) -append quarters.gif
