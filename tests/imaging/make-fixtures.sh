#!/usr/bin/env bash
# Draws the test pictures that the decoder tests cannot make in-process
# (the imaging service here has no GIF, ICO or 16-bit encoder that reads
# back) into the folder given. Run by the build.
set -euo pipefail
out=$1
mkdir -p "$out"
cd "$out"
# 4 x 2 pixels of known colours, one per palette entry.
convert -size 4x2 xc:'#ff0000' \
  -fill '#00ff00' -draw 'point 1,0' -fill '#0000ff' -draw 'point 2,0' \
  -fill '#ffffff' -draw 'point 3,0' -fill '#000000' -draw 'point 0,1' \
  -fill '#808080' -draw 'point 1,1' -fill '#ffff00' -draw 'point 2,1' \
  -fill '#00ffff' -draw 'point 3,1' exact.gif
# A 16 x 16 icon: opaque blue with a fully transparent top-left quarter.
convert -size 16x16 xc:'#0000ff' -alpha set -region 8x8+0+0 -alpha transparent \
  +region -define icon:format=bmp exact.ico
# 16 bits per channel.
convert -size 8x8 xc:'#123456' -depth 16 png48:deep16.png
convert -size 8x8 xc:'#123456' -depth 16 -compress none deep16.tif
# Larger pictures with real compressed data, to cut short and to mutate.
convert -size 160x120 -seed 5 plasma:'#2e86c1'-'#f1c40f' -quality 85 photo.jpg
convert -size 160x120 -seed 6 plasma:'#c0392b'-'#27ae60' -depth 8 photo.png
convert -size 160x120 -seed 7 plasma:'#8e44ad'-'#f39c12' -colors 64 photo.gif
# One small picture per decoded pixel format, odd-sized so that rows carry
# padding, for comparing the ways of reaching premultiplied ARGB.
p=(-size 37x23 -seed 3 plasma:'#2e86c1'-'#f1c40f')
convert "${p[@]}" -quality 90 route-rgb24.jpg
convert "${p[@]}" -type TrueColor BMP3:route-rgb24.bmp
# Palettes with a transparent entry.
hole=(-fill magenta -draw 'rectangle 3,3 12,10' -transparent magenta -colors 31)
convert "${p[@]}" "${hole[@]}" route-pal8t.gif
convert "${p[@]}" "${hole[@]}" png8:route-pal8t.png
convert "${p[@]}" -colorspace Gray -depth 8 -type Grayscale route-grey.png
convert "${p[@]}" -colorspace Gray -type Grayscale -quality 90 route-grey.jpg
convert "${p[@]}" -monochrome route-mono.png
convert "${p[@]}" -monochrome -type Bilevel BMP3:route-mono.bmp
convert "${p[@]}" -colors 16 -type Palette -depth 4 BMP3:route-pal4.bmp
# Well-formed variants that must keep opening, and seeds for the fuzz test.
# Four quadrants of known colours, 48 x 32: red, green / blue, yellow.
q=(\( -size 24x16 xc:'#ff0000' xc:'#00ff00' +append \)
   \( -size 24x16 xc:'#0000ff' xc:'#ffff00' +append \) -append)
convert "${q[@]}" -interlace Plane -quality 85 form-progressive.jpg
convert "${q[@]}" -define jpeg:restart-interval=1 -quality 85 form-restart.jpg
convert "${q[@]}" -interlace PNG form-interlaced.png
convert "${q[@]}" -set comment 'a text chunk' -define png:exclude-chunk=none form-text.png
convert "${q[@]}" -colors 16 png8:form-palette.png
convert -size 24x16 xc:'#ff0000' -size 24x16 xc:'#0000ff' -delay 10 form-frames.gif
convert -size 24x16 xc:'#00ff00' -size 24x16 xc:'#ff00ff' form-pages.tif
convert "${q[@]}" -compress LZW form-lzw.tif
convert "${q[@]}" BMP2:form-core.bmp
convert "${q[@]}" -type TrueColor BMP:form-v5.bmp
convert "${q[@]}" -colors 16 -type Palette -compress RLE BMP3:form-rle8.bmp
convert -size 256x256 xc:'#ffff00' -define icon:auto-resize=256 form-png.ico
# One odd-sized photo (the blocks and MCUs at the right and bottom edges are
# partial) in each form that the one-eighth reader takes, and in two that it
# refuses. Its luma is textured, its colour changes slowly, so that how the
# full decode fills in subsampled colour hardly shows in block averages.
convert -size 197x133 -seed 9 plasma:grey35-grey75 -blur 0x4 -colorspace gray \
  \( -size 133x197 gradient:gray45-gray55 -rotate 90 \) \( -size 197x133 gradient:gray54-gray46 \) \
  -set colorspace YCbCr -combine -colorspace sRGB ppm:eighth.ppm
cjpeg -quality 90 eighth.ppm > eighth-420.jpg
cjpeg -quality 90 -sample 2x1 -restart 3B eighth.ppm > eighth-422.jpg
cjpeg -quality 90 -sample 1x1 eighth.ppm > eighth-444.jpg
cjpeg -quality 90 -grayscale eighth.ppm > eighth-grey.jpg
cjpeg -quality 90 -rgb eighth.ppm > eighth-rgb.jpg
# Sequential, one scan per component, luma sampled 3 x 2.
printf '0;\n1;\n2;\n' > eighth.scans
cjpeg -quality 90 -sample 3x2,1x1,1x1 -scans eighth.scans eighth.ppm > eighth-separate.jpg
cjpeg -quality 90 -progressive -restart 1 eighth.ppm > eighth-progressive.jpg
# Progressive with the DC values in a scan per component, refined over two
# bits, their last bits behind the AC scans.
printf '%s\n' '0: 0-0, 0, 2;' '1: 0-0, 0, 1;' '2: 0-0, 0, 0;' '0: 1-63, 0, 0;' '1: 1-63, 0, 0;' \
  '2: 1-63, 0, 0;' '0: 0-0, 2, 1;' '1: 0-0, 1, 0;' '0: 0-0, 1, 0;' > eighth.scans
cjpeg -quality 90 -sample 1x1 -restart 2B -scans eighth.scans eighth.ppm > eighth-steps.jpg
exiftool -q -Orientation=6 -n -o - eighth-420.jpg > eighth-turned.jpg
cjpeg -arithmetic eighth.ppm > eighth-arithmetic.jpg
convert eighth.ppm -colorspace CMYK -quality 90 eighth-cmyk.jpg
rm -f eighth.ppm eighth.scans
# 16000 x 12000, red on the left half and blue on the right: more than a
# 32-bit process holds in 2 GiB beside the decoder's copy.
perl -e 'print "P6\n16000 12000\n255\n"; my $r = ("\xff\x00\x00" x 8000) . ("\x00\x00\xff" x 8000); print $r for 1 .. 12000' |
  cjpeg -quality 75 > vast.jpg
touch stamp
