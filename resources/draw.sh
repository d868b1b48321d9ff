#!/usr/bin/env bash
# Redraws the program's icon, button images and logo (ImageMagick).
set -euo pipefail
cd "$(dirname "$0")"
F=Liberation-Sans-Bold
# Program icon: a blue rounded tile with "pH".
convert -size 64x64 xc:none -fill '#1f5fbf' -draw 'roundrectangle 2,2 61,61 12,12' \
  -font $F -pointsize 30 -fill white -gravity center -annotate +0+1 'pH' tirevo.png
# Connect: a plug with its cord.
convert -size 24x24 xc:none -stroke '#303030' -strokewidth 2 -fill '#a0a0a0' \
  -draw 'roundrectangle 9,3 19,13 2,2' -draw 'line 11,13 11,17' -draw 'line 17,13 17,17' \
  -fill none -draw 'line 14,3 14,0' -stroke '#1f5fbf' -strokewidth 2 \
  -draw 'bezier 3,23 3,16 14,18 14,13' connect.png
# Calibrate: a scale with a pointer.
convert -size 24x24 xc:none -stroke '#303030' -strokewidth 2 -fill none \
  -draw 'arc 2,4 22,24 180,360' -stroke '#c03030' -draw 'line 12,14 18,7' \
  -stroke '#303030' -strokewidth 1 -draw 'line 4,14 6,14' -draw 'line 12,5 12,7' -draw 'line 18,14 20,14' \
  calibrate.png
# About: a blue disc with an "i".
convert -size 24x24 xc:none -fill '#1f5fbf' -draw 'circle 12,12 12,1' \
  -font $F -pointsize 17 -fill white -gravity center -annotate +0+1 'i' about.png
# Refresh: a circular arrow.
convert -size 16x16 xc:none -stroke '#1f7f3f' -strokewidth 2 -fill none -draw 'arc 2,2 14,14 30,300' \
  -stroke none -fill '#1f7f3f' -draw 'polygon 10,1 15,5 9,7' refresh.png
# Collect to disk: a red record dot.
convert -size 16x16 xc:none -fill '#d02020' -draw 'circle 8,8 8,2' record.png
# Stop collection: a dark square.
convert -size 16x16 xc:none -fill '#303030' -draw 'rectangle 3,3 12,12' stop.png
# Apply: a green tick.
convert -size 16x16 xc:none -stroke '#1f8f3f' -strokewidth 2.5 -fill none \
  -draw 'polyline 2,8 6,12 14,3' apply.png
# pH trend: a rising line over two axes.
convert -size 16x16 xc:none -stroke '#303030' -strokewidth 1 -fill none -draw 'polyline 1,1 1,14 14,14' \
  -stroke '#1f5fbf' -strokewidth 2 -draw 'polyline 3,11 6,7 9,9 14,3' trend.png
# Record a sample: a test tube with a green tick.
convert -size 16x16 xc:none -stroke '#303030' -strokewidth 1 -fill '#cfe0ff' \
  -draw 'roundrectangle 2,1 7,14 2,2' -stroke none -fill '#1f5fbf' -draw 'rectangle 3,8 6,13' \
  -stroke '#1f8f3f' -strokewidth 2 -fill none -draw 'polyline 8,9 10,12 15,5' sample.png
# Alarm limits: a bell.
convert -size 16x16 xc:none -stroke '#303030' -strokewidth 1 -fill '#e0a020' \
  -draw 'path "M 3,12 L 4,10 L 4,6 Q 4,2 8,2 Q 12,2 12,6 L 12,10 L 13,12 Z"' \
  -stroke none -fill '#303030' -draw 'circle 8,14 8,12.6' alarm.png
# Logo (JPEG, decoded by the program itself).
convert -size 194x82 xc:white -fill '#1f5fbf' -draw 'circle 36,41 36,12' \
  -fill white -font $F -pointsize 26 -gravity northwest -annotate +17+26 'pH' \
  -fill '#0f3f7f' -pointsize 38 -annotate +76+18 'QUVA' -quality 90 logo.jpg
# Bench view: four small tiles, two by two.
convert -size 16x16 xc:none -fill '#1f5fbf' -draw 'rectangle 1,1 7,7' -draw 'rectangle 9,1 15,7' \
  -draw 'rectangle 1,9 7,15' -draw 'rectangle 9,9 15,15' bench.png
