#!/usr/bin/env bash
# A long run of the player: a looped presentation of 30 slides (JPEG, PNG and BMP at 3840x2160,
# 1280x720 and 320x240, with captions of every length) with random styles and an interval of
# 1 s, played in a virtual X server of 3840x2160 with the player's figures switched on
# (QUENMORA_PLAYER_STATS), then ended with Escape at a random moment. Reports slides shown,
# transitions by style, late frames, resident memory every 10 s and the growth of each loop's
# peak after the first loop (with its anonymous, file-backed and shared parts), descriptors and
# threads in the first and the last loop, the temporary files while it runs and after it ends,
# and the time from Escape to the close.
#   bash bench/player/soak.sh BUILD_DIR [--minutes N] [--caption-position P]
#        [--max-growth-kb K] [--max-escape-ms M] [--seed S]
# Defaults: 60 minutes, a caption position drawn from 0..5, growth at most 1024 KiB, Escape
# within 50 ms (one frame of the window's pace); a limit of 0 reports without judging (as
# under a sanitizer, whose own memory and pace are not the player's). Exits 1 when a check
# fails: the figures above, the player's exit status (a sanitizer's finding), or a line of a
# sanitizer's report.
set -euo pipefail
bin=${1:?build directory, e.g. build/release}/bin
shift
minutes=60 position= max_growth_kb=1024 max_escape_ms=50 seed=$$
while [ $# -gt 0 ]; do
  case $1 in
    --minutes) minutes=$2 ;;
    --caption-position) position=$2 ;;
    --max-growth-kb) max_growth_kb=$2 ;;
    --max-escape-ms) max_escape_ms=$2 ;;
    --seed) seed=$2 ;;
    *) echo "soak.sh: unknown option $1" >&2; exit 2 ;;
  esac
  shift 2
done
RANDOM=$seed
position=${position:-$((RANDOM % 6))}
scale=${QUENMORA_TEST_TIMEOUT_SCALE:-1}
work=$(mktemp -d)
xvfb= player=
cleanup() {
  [ -z "$player" ] || kill "$player" 2>/dev/null || true
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
failed=0
fail() { echo "FAILED: $*"; failed=1; }

# The pictures: the demo gallery at three sizes, twice; captions from none to several lines.
pictures=() captions=()
long="Ein langer Text über die ganze Breite: $(printf 'Grüße aus Köln, ' {1..24})Ende."
for size in 3840x2160 1280x720 320x240; do
  "$bin/quenmora-demo-gallery" "$work/$size" "$size" >/dev/null
  mapfile -t gallery_captions < "$work/$size/captions.txt"
  i=0
  for p in sonnenaufgang.jpg bergwelt.bmp see.png muster.png nacht.jpg; do
    pictures+=("$work/$size/$p" "$work/$size/$p")
    captions+=("${gallery_captions[$i]}" "$([ $((i % 2)) = 0 ] && echo "$long" || true)")
    i=$((i + 1))
  done
done
slides=${#pictures[@]}
printf '%s\n' "${captions[@]}" > "$work/captions.txt"
"$bin/quenmora" pack -o "$work/show" --player "$bin/quenmora-player" --fit none --loop \
  --interval 1 --style random --caption-position "$position" --captions "$work/captions.txt" \
  "${pictures[@]}" >/dev/null

exec 3< <(exec Xvfb -displayfd 1 -screen 0 3840x2160x24 -nolisten tcp 2>/dev/null)
xvfb=$!
read -r -u 3 display
export DISPLAY=:$display
mkdir "$work/tmp"
TMPDIR=$work/tmp QUENMORA_PLAYER_STATS=1 "$work/show" 2>"$work/stats" &
player=$!
timeout $((60 * scale)) xdotool search --sync --onlyvisible --name '^Quenmora$' \
  windowfocus --sync %1 >/dev/null 2>&1 || fail "no window"

shown() { grep -c '^quenmora-stats: slide' "$work/stats" || true; }
# One sample a second: seconds, slides shown, resident KiB, threads, descriptors, temporary
# files, the peak resident KiB since the last sample, and the resident anonymous, file-backed
# and shared KiB. The peak is the kernel's high-water mark, reset after each reading, so a
# transition's frames between two samples count; where it cannot be reset it is the resident
# memory of the moment.
sample() {
  local status
  status=$(cat "/proc/$player/status" 2>/dev/null) || return 1
  echo 5 2>/dev/null > "/proc/$player/clear_refs" || true
  awk -v t="$1" -v shown="$(shown)" -v fds="$(ls "/proc/$player/fd" 2>/dev/null | wc -l)" \
      -v tmp="$(ls -A "$work/tmp" | wc -l)" -v reset="$([ -w "/proc/$player/clear_refs" ] && echo 1)" '
    { v[$1] = $2 }
    END {
      peak = reset ? v["VmHWM:"] : v["VmRSS:"]
      print t, shown, v["VmRSS:"], v["Threads:"], fds, tmp, peak, v["RssAnon:"], v["RssFile:"], v["RssShmem:"]
    }' <<< "$status"
}
start=$SECONDS
end=$((start + minutes * 60))
while [ $SECONDS -lt $end ] && kill -0 "$player" 2>/dev/null; do
  sample $((SECONDS - start)) >> "$work/samples" || break
  sleep 1
done
kill -0 "$player" 2>/dev/null || fail "the player ended by itself"

# Escape at a random moment within the next three seconds: in a transition, in the interval
# or while the next slide is decoded.
sleep "$((RANDOM % 3)).$((RANDOM % 1000))"
sent=$(date +%s%N)
xdotool key Escape
status=0
timeout $((60 * scale)) tail --pid="$player" -f /dev/null || fail "the player did not end"
wait "$player" || status=$?
player=
closed=$(awk '/^quenmora-stats: closed/ { print $4 }' "$work/stats")
left=$(ls -A "$work/tmp" | wc -l)

echo "soak: $minutes min, $slides slides, caption position $position, seed $seed"
awk -v slides="$slides" '
  /^quenmora-stats: slide/ { n++; style[$5]++; frames += $9; late += $11 }
  END {
    printf "slides shown: %d (%.1f loops); frames: %d, late: %d\n", n, n / slides, frames, late
    printf "transitions by style:"
    for (s in style) printf " %s:%d", s, style[s]
    printf "\n"
  }' "$work/stats"
awk -v slides="$slides" -v files=$((2 + 2 * slides)) -v limit="$max_growth_kb" '
  {
    t[NR] = $1; n[NR] = $2; rss[NR] = $3; th[NR] = $4; fd[NR] = $5; tmp[NR] = $6; peak[NR] = $7
    anon[NR] = $8; file[NR] = $9; shm[NR] = $10
  }
  function most(a, l, v) { if (!((l, a) in m) || v > m[l, a]) m[l, a] = v }
  END {
    printf "resident memory (KiB) every 10 s:"
    for (i = 1; i <= NR; i += 10) printf " %d", rss[i]
    printf "\n"
    # Growth: the resident memory rises and falls with the slide on screen (a 4K slide, the one
    # decoded ahead and the frames of a transition, or a small one), so each loop is summed up
    # by its peak, the most any moment of it held: every loop shows every slide and runs
    # transitions of 4K slides, so a loop that holds nothing more than the one before peaks as
    # high. The second loop (the first after the first) is set against the last. The most of
    # each part per loop tells a growing heap from pages of a font or a library read in once
    # and from the shared images of the display.
    for (i = 1; i <= NR; ++i) {
      loop = int(n[i] / slides)
      most("peak", loop, peak[i]); most("anon", loop, anon[i]); most("file", loop, file[i])
      most("shm", loop, shm[i])
      if (loop > loops) loops = loop
    }
    # The last loop counts only when it ran whole: it is the one before the loop under way.
    last = loops - 1
    if (last < 2) {
      print "growth after the first loop: fewer than three loops ran"
    } else {
      printf "peak resident memory (KiB) per loop (anonymous/file/shared at most):"
      for (l = 0; l <= last; ++l) printf " %d (%d/%d/%d)", m[l, "peak"], m[l, "anon"], m[l, "file"], m[l, "shm"]
      printf "\n"
      growth = m[last, "peak"] - m[1, "peak"]
      printf "growth of the peak from the second loop to loop %d: %d KiB (anonymous %d, file %d, shared %d)\n",
             last + 1, growth, m[last, "anon"] - m[1, "anon"], m[last, "file"] - m[1, "file"],
             m[last, "shm"] - m[1, "shm"]
      if (limit > 0 && growth > limit) print "FAILED: memory grew by more than " limit " KiB"
    }
    # Descriptors and threads (their least and most) in the first and the last third of the
    # run, once the first slide is on screen. A slide file is open for a moment while it is
    # read, so the most descriptors may differ by one; the least may not.
    for (j = 1; j <= NR && n[j] < 1; ++j) {}
    first = j; third = int((NR - first + 1) / 3)
    for (j = first; j <= NR; ++j) {
      w = j < first + third ? 1 : j > NR - third ? 2 : 0
      if (tmp[j] != files) wrong++
      if (!w) continue
      if (!(w in fmin) || fd[j] < fmin[w]) fmin[w] = fd[j]
      if (!(w in fmax) || fd[j] > fmax[w]) fmax[w] = fd[j]
      if (!(w in hmin) || th[j] < hmin[w]) hmin[w] = th[j]
      if (!(w in hmax) || th[j] > hmax[w]) hmax[w] = th[j]
    }
    printf "descriptors: %d-%d at the start, %d-%d at the end; threads: %d-%d at the start, %d-%d at the end\n",
           fmin[1], fmax[1], fmin[2], fmax[2], hmin[1], hmax[1], hmin[2], hmax[2]
    if (fmin[1] != fmin[2] || hmin[1] != hmin[2] || hmax[1] != hmax[2])
      print "FAILED: descriptors or threads differ"
    printf "temporary files while running: %d expected, %d samples of %d differ\n", files, wrong, NR - first + 1
    if (wrong) print "FAILED: temporary files"
  }' "$work/samples" | tee "$work/report"
grep -q FAILED "$work/report" && failed=1
echo "temporary files after the end: $left"
[ "$left" = 0 ] || fail "temporary files left"
if [ -n "$closed" ]; then
  escape_ms=$(((closed - sent) / 1000000))
  echo "Escape to close: $escape_ms ms; exit status $status"
  [ "$max_escape_ms" = 0 ] || [ "$escape_ms" -le "$max_escape_ms" ] || fail "Escape took longer than $max_escape_ms ms"
else
  fail "the player never closed (exit status $status)"
fi
[ "$status" = 0 ] || fail "exit status $status"
if grep -E 'Sanitizer|runtime error' "$work/stats" | head -20; then fail "a sanitizer's report"; fi
exit $failed
