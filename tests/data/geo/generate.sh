#!/bin/sh
# Makes the GeoTIFFs the placement tests read, with GDAL's own writer (gdal-bin): an 8 x 6 pixel
# picture over 800 x 600 US survey feet of New York Long Island State Plane (EPSG:2263) whose
# upper-left corner is at 980000, 200600, written as pixel-is-area, as pixel-is-point (GDAL
# moves the tie point half a pixel so that the corners stay where they are), big-endian and as
# a BigTIFF; the same picture turned by a rotation term (a ModelTransformation tag); one in
# longitude and latitude; and one without any placement.
set -e
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert -size 8x6 xc:red -fill blue -draw "rectangle 0,0 3,2" "$work/base.png"
place="-a_srs EPSG:2263 -a_ullr 980000 200600 980800 200000"
gdal_translate -q -co COMPRESS=DEFLATE $place "$work/base.png" area.tif
gdal_translate -q -co COMPRESS=DEFLATE -mo AREA_OR_POINT=Point $place "$work/base.png" point.tif
gdal_translate -q -co COMPRESS=DEFLATE -co ENDIANNESS=BIG $place "$work/base.png" bigendian.tif
gdal_translate -q -co BIGTIFF=YES $place "$work/base.png" bigtiff.tif
gdal_translate -q -co COMPRESS=DEFLATE -a_srs EPSG:4326 -a_ullr -73.99 40.76 -73.97 40.75 \
    "$work/base.png" lonlat.tif
gdal_translate -q -co COMPRESS=DEFLATE "$work/base.png" plain.tif
cat >"$work/rotated.vrt" <<VRT
<VRTDataset rasterXSize="8" rasterYSize="6">
  <SRS>EPSG:2263</SRS>
  <GeoTransform>980000, 100, 20, 200600, 20, -100</GeoTransform>
  <VRTRasterBand dataType="Byte" band="1">
    <SimpleSource><SourceFilename>$work/base.png</SourceFilename><SourceBand>1</SourceBand></SimpleSource>
  </VRTRasterBand>
</VRTDataset>
VRT
gdal_translate -q -co COMPRESS=DEFLATE "$work/rotated.vrt" rotated.tif
rm -f ./*.aux.xml
