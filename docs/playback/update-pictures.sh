#!/bin/sh
# Draws the README's playback pictures: runs the playback end-to-end test
# (the real headless viewer against the simulator, searching the archive
# through the calendar and playing camera 3) and copies what its script
# snapshotted next to this file.
#   docs/playback/update-pictures.sh [BUILD_FOLDER]   (default: build)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build}
cmake --build "$build" --target tevrano_e2e_tests -j2
ctest --test-dir "$build" -R '^PlaybackE2e\.' --output-on-failure
out="$build/tests/e2e/out/PlaybackE2e.CalendarMarksTheArchiveAndTheTransportSteersPlayback"
for picture in calendar.png keyform_playing.png playing.png; do
  cp "$out/$picture" "$here/$picture"
done
echo "pictures in $here"
