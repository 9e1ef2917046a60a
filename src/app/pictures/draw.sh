#!/bin/sh
# Redraws the three pictures of the main window and the hint window with
# ImageMagick and the AR PL UMing CN face (fonts-arphic-uming). The drawn files
# are committed; the build only embeds them and never runs this script.
#
#   spinner.gif  86 x 86, 8 frames of 150 ms, looping: the decoration at the top
#   contact.png  59 x 68: messenger bubble above 联系客服
#   hint.png    701 x 394: two sample questions and the note on unreadable ones
set -eu

cd "$(dirname "$0")"

if command -v magick >/dev/null 2>&1; then
  IM=magick
else
  IM=convert
fi
CJK=AR-PL-UMing-CN
if ! $IM -list font | grep -q "Font: $CJK\$"; then
  CJK=/usr/share/fonts/truetype/arphic/uming.ttc
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Semi-transparent edges are blended into the light skin colour and the alpha
# is cut to on/off, because a GIF has no partial transparency.
matte() { # in out
  $IM "$1" \( +clone -alpha extract -threshold 35% \) \
    \( -clone 0 -background '#eef5fc' -alpha remove \) -delete 0 +swap \
    -alpha off -compose CopyOpacity -composite "$2"
}

# ---- spinner.gif: a ring of eight dots whose dark head runs clockwise -------
# Dot i sits at angle i*45 degrees from the top; in frame k dot k is the head
# and the dots behind it fade and shrink.
spinner_frame() { # k out
  dots=$(awk -v k="$1" 'BEGIN {
    pi = atan2(0, -1)
    for (i = 0; i < 8; i++) {
      a = (k - i + 8) % 8
      t = i * pi / 4
      x = 43 + 30 * sin(t); y = 43 - 30 * cos(t)
      r = 7.6 - a * 0.42
      f = a / 7 # colour from #1f6fd1 (head) to #cfe3f8 (tail)
      R = 31 + (207 - 31) * f; G = 111 + (227 - 111) * f; B = 209 + (248 - 209) * f
      printf "fill \"#%02x%02x%02x\" circle %.2f,%.2f %.2f,%.2f ", R, G, B, x, y, x + r, y
    }
  }')
  $IM -size 86x86 xc:none \
    -fill '#f4f9ff' -stroke '#bcd6f2' -strokewidth 1.5 -draw "circle 43,43 43,61" \
    -stroke none -draw "$dots" \
    -font "$CJK" -pointsize 21 -fill '#1f6fd1' -stroke '#1f6fd1' -strokewidth 0.5 \
    -gravity center -annotate +0+1 '答' \
    "$work/raw$1.png"
  matte "$work/raw$1.png" "$2"
}

k=0
frames=""
while [ $k -lt 8 ]; do
  spinner_frame $k "$work/frame$k.png"
  frames="$frames $work/frame$k.png"
  k=$((k + 1))
done
# shellcheck disable=SC2086 # the frame list is meant to split
$IM -dispose Background -delay 15 $frames -loop 0 spinner.gif

# ---- contact.png: a blue speech bubble with three dots above 联系客服 --------
$IM -size 59x68 xc:black -fill white \
  -draw "roundrectangle 5,3 53,39 13,13" -draw "polygon 14,34 10,50 28,38" \
  "$work/bubble_mask.png"
$IM -size 59x68 gradient:'#6cb8f8'-'#1a62c4' "$work/bubble_mask.png" \
  -alpha off -compose CopyOpacity -composite "$work/bubble.png"
$IM "$work/bubble.png" \
  -fill white -draw "circle 18,21 21.4,21" -draw "circle 29.5,21 32.9,21" \
  -draw "circle 41,21 44.4,21" \
  -font "$CJK" -pointsize 13 -fill '#1b4a8a' -stroke '#1b4a8a' -strokewidth 0.25 \
  -gravity south -annotate +0+2 '联系客服' \
  -depth 8 -strip -define png:color-type=6 contact.png

# ---- hint.png: two exam questions as the exam page shows them, and the note --
# The hint window shows about the top 700 x 376 pixels, so everything that
# matters ends above that. Text is placed by its baseline; widths are measured so that the link and the
# red marks follow the question texts.
textw() { # pointsize text
  $IM -font "$CJK" -pointsize "$1" label:"$2" -format %w info:
}

q1='1. 商品描述与实物明显不符，属于下列哪种违规行为？'
q2='2. 买家付款后，卖家未在约定时间内发货，属于哪种行为？'
link='规则详情'
mark1='← 有链接：本软件可读取'
mark2='← 没有“规则详情”链接：本软件无法读取'
note1='题目后面没有蓝色“规则详情”链接的题，本软件无法读取，可随意选择一个答案'
note2='80分即可通过考试'

q1w=$(textw 15 "$q1")
q2w=$(textw 15 "$q2")
linkw=$(textw 15 "$link")
n1w=$(textw 16 "$note1")
n2w=$(textw 19 "$note2")
lx=$((16 + q1w + 8))
m1x=$((lx + linkw + 14))
m2x=$((16 + q2w + 12))
n1x=$(((701 - n1w) / 2))
n2x=$(((701 - n2w) / 2))

options() { # first-baseline A B C D
  y=$1
  shift
  for text in "$@"; do
    echo "fill white stroke '#8a96a3' stroke-width 1.2 circle 32,$((y - 5)) 38,$((y - 5))"
    echo "fill '#333333' stroke none text 46,$y '$text'"
    y=$((y + 22))
  done
}

{
  cat <<MVG
font '$CJK'
fill '#eaf2fb' stroke '#c5d3e3' stroke-width 1 rectangle 0,0 700,32
fill none rectangle 0,0 700,393
stroke none fill '#2b4a6f' font-size 14
text 14,22 '单选题（共20题，每题5分，满分100分）'

font-size 15 fill '#222222' text 16,58 '$q1'
fill '#0b5ed7' text $lx,58 '$link'
stroke '#0b5ed7' line $lx,61 $((lx + linkw - 1)),61
fill none stroke '#e02020' stroke-width 1.5
roundrectangle $((lx - 5)),40 $((lx + linkw + 4)),67 5,5
stroke none font-size 14
MVG
  options 84 'A. 虚假交易' 'B. 描述不符' 'C. 滥发信息' 'D. 违背承诺'
  cat <<MVG
stroke '#e3e8ef' stroke-width 1 line 12,167 688,167

stroke none font-size 15 fill '#222222' text 16,192 '$q2'
font-size 14
MVG
  options 218 'A. 延迟发货' 'B. 虚假发货' 'C. 正常交易' 'D. 以上都不是'
  cat <<MVG
stroke none fill '#e02020' font-size 13
text $m1x,58 '$mark1'
text $m2x,192 '$mark2'

fill '#fff4b8' stroke '#e6bf45' stroke-width 1 roundrectangle 8,300 692,366 6,6
fill '#d0021b' stroke '#d0021b' stroke-width 0.4
font-size 16 text $n1x,326 '$note1'
font-size 19 text $n2x,354 '$note2'
MVG
} >"$work/hint.mvg"
# A policy may forbid -draw @file, so the drawing is passed as text.

$IM -size 701x394 xc:white -draw "$(cat "$work/hint.mvg")" -depth 8 -strip hint.png
