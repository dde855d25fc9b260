#!/usr/bin/env bash
# Lays out an application folder with the 64-bit proxy as opengl32.dll beside the stand-in vendor
# driver qelticd.dll, and runs the demo client there under wine64: the forwarded calls, then a
# photograph and a game texture with alpha uploaded as S3TC (results in build/win64/demo/out).
# Then the same images drawn by Wine's OpenGL (Mesa, on a private X server when there is no
# display) through the proxy and the pass-through driver: source, DXT1, DXT3 and DXT5 side by side,
# saved as build/win64/demo/out/render_frame.png.
# Then the panel, registered with regsvr32 and created by its CLSID: its TV-out page in a property
# sheet, saved as build/win64/demo/out/tvout_page.png.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/win64/bin
demo=build/win64/demo
mkdir -p "$demo"
cp "$bin/gl_demo.exe" "$demo/gl_demo.exe"
cp "$bin/qeltogl.dll" "$demo/opengl32.dll"
cp "$bin/standin_icd.dll" "$demo/qelticd.dll"
photograph=/usr/share/backgrounds/mate/nature/LadyBird.jpg           # mate-backgrounds
game_texture=/usr/share/games/neverball/textures/mtrl/goal-special.png  # neverball-data, with alpha
echo "== demo: the 64-bit proxy under wine64, forwarding to the stand-in driver =="
cd "$demo"
../wine-run.sh gl_demo.exe "Z:$photograph" "Z:$game_texture"

echo
echo "== demo: the proxy's DXT1, DXT3 and DXT5 blocks drawn by Mesa under wine64 =="
cd "$OLDPWD"
render=build/win64/demo-render
mkdir -p "$render" "$demo/out"
cp "$bin/gl_render.exe" "$render/gl_render.exe"
cp "$bin/qeltogl.dll" "$render/opengl32.dll"
cp "$bin/passthrough_icd.dll" "$render/qelticd.dll"
frame="$PWD/$demo/out/render_frame.png"
(cd "$render" && ../wine-run.sh gl_render.exe "Z:$frame" "Z:$photograph" "Z:$game_texture")
echo "frame (source, DXT1, DXT3, DXT5): $frame"

# The panel as the shell gets it: registered, created through COM, its TV-out page in a real
# property sheet (under a private X server when there is no display), with the simulated display
# driver behind it.
echo
echo "== demo: the TV-out page in the Display properties, with a simulated display driver =="
screenshot="$PWD/$demo/out/tvout_page.png"
(cd "$bin" && ../wine-run.sh regsvr32 /s qeltvbtv.dll && echo "registered qeltvbtv.dll" &&
  ../wine-run.sh display_properties.exe "Z:$screenshot")
