#!/usr/bin/env bash
# Renders the SVG sources in win/resources/art/ to the pictures the programs ship:
# the button pictures, icons and logo under win/resources/Resource/Image/ and the Mac
# pictures under mac/resources/art/, the menu icons under win/resources/icons/. Run by hand after changing a source; the rendered
# files are committed, so a build never needs this script.
# Needs rsvg-convert (librsvg2-bin), g++ and the Qt 6 Gui development files.
set -euo pipefail
cd "$(dirname "$0")/.."

art=win/resources/art
image=win/resources/Resource/Image
mac=mac/resources/art
mkdir -p "$image" "$mac"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# name width height destination
render() {
    rsvg-convert --width "$2" --height "$3" --keep-aspect-ratio "$art/$1.svg" -o "$4"
}

# Main-window buttons (drawn scaled into the buttons, aspect kept).
for name in Setting Help TakeAShot TimedShot StopTimedShot RecordingMovie StopRecordingMovie Exit; do
    render "$name" 96 96 "$image/$name.png"
done
render FullScreen 96 84 "$image/FullScreen.png"

# Window icon, film symbol of movie thumbnails, folder-tree icons, splitter toggle strips.
render Varnolet 256 256 "$image/Varnolet.png"
render Film 32 32 "$image/Film.png"
render Folder 16 16 "$image/Folder.png"
render FolderOpen 16 16 "$image/FolderOpen.png"
render ToggleLeft 24 50 "$image/ToggleLeft.png"
render ToggleRight 24 50 "$image/ToggleRight.png"
render ToggleUp 150 8 "$image/ToggleUp.png"
render ToggleDown 150 8 "$image/ToggleDown.png"

# The desktop's menu icons, one picture per hicolor size (the SVG is installed as the
# scalable one).
for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "win/resources/icons/${size}x${size}"
    render Varnolet "$size" "$size" "win/resources/icons/${size}x${size}/Varnolet.png"
done

# Logos: a 24-bit BMP for VarnoletWin's about box, a JPEG for VarnoletMac's.
g++ -std=c++20 -O1 -fPIC "$art/ArtConvert.cpp" -o "$work/ArtConvert" \
    $(pkg-config --cflags --libs Qt6Gui)
render log 360 120 "$work/log.png"
"$work/ArtConvert" "$work/log.png" "$image/log.bmp"
"$work/ArtConvert" "$work/log.png" "$mac/log.jpg"

# Movie badge of the Mac thumbnails.
render Player 32 32 "$mac/Player.png"

echo "rendered into $image and $mac"
