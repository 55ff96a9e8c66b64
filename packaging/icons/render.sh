#!/bin/sh
# Renders ferrow.svg into the PNG sizes the hicolor theme and the window icon use.
# Run after changing the drawing; the PNGs are committed so that building needs no renderer.
set -eu
cd "$(dirname "$0")"
for size in 16 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" ferrow.svg -o "ferrow-$size.png"
done
