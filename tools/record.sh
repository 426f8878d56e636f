# Sourced by run.sh: ./run.sh --record makes an animated GIF of the real
# program on a private Xvfb, steered by a scripted key sequence, stepped and
# grabbed frame by frame; ./run.sh --plot draws the joint angles of the real
# tick over a stand-run-stand sequence. Expects ROOT and BUILD, and
# tools/setup.sh sourced, and its handle_signals in force.

RECORD_FPS=20              # frames per second of the GIF
RECORD_TICKS=5             # program ticks (10 ms each) per GIF frame: its own speed
RECORD_FRAMES=230          # frames recorded
RECORD_WIDTH=480           # GIF width in pixels; the window is 640x480
RECORD_TMP=""              # the folder of the recorded frames

# The scripted drive, one key event per row: the frame before which it is
# sent, xdotool's event and the key. The squirrel starts at the origin facing
# -z; the first tree's trunk stands at x = 3, z = 0, straight to its right.
# A frame is five ticks, so four frames of a turn key make 90 degrees.
RECORD_DRIVE=(
    "40 keydown Right"    # two seconds standing first: the slow sway, the bird ahead
    "44 keyup Right"      # about 90 degrees on the spot: the tail swings out
    "50 keydown Up"       # start to run (the ten-tick blend), into the trunk
    "68 keydown Left"     # turn left, away from the trunk: the tail swings to the left
    "74 keyup Left"
    "92 keydown Right"    # a half turn to the right, back toward the trees
    "100 keyup Right"
    "134 keydown Right"   # and two more turns to the right among them
    "140 keyup Right"
    "157 keydown Right"
    "161 keyup Right"
    "175 keyup Up"        # stop (the blend back) and stand
)

# start_recorded_program: the real program, as ./squirrel, in the build
# folder beside its textures; its window at 0,0, filling the 640x480 screen.
# Leaves it stopped.
start_recorded_program() {
    cd "$BUILD"
    start_program ./squirrel ./squirrel
    kill -STOP "$PID"
    xdotool windowmove "$WIN" 0 0
}

# send_due_keys FRAME: the drive's key events for that frame. They wait in
# the program's event queue and take effect on the first tick of its slice.
send_due_keys() {
    local row at event key
    for row in "${RECORD_DRIVE[@]}"; do
        read -r at event key <<<"$row"
        [ "$at" -eq "$1" ] || continue
        send_keys "$event" "$key"
    done
}

# grab_frame FILE: lets the program draw RECORD_TICKS frames, one per tick,
# and saves the screen.
grab_frame() {
    run_job timeout 10 "$BUILD/frame_step" "$WIN" "$PID" "$RECORD_TICKS" ||
        fail "frame_step could not step the program (it drew nothing for 10 s, or stopped)"
    import -window root -depth 8 "$1" || fail "could not grab the screen"
}

# encode_gif GIF: one palette generated from the whole clip, then each frame
# mapped onto it, only the changed rectangle stored.
encode_gif() {
    run_job ffmpeg -nostdin -loglevel error -y -framerate "$RECORD_FPS" -i "$RECORD_TMP/%04d.ppm" \
        -filter_complex "scale=$RECORD_WIDTH:-1:flags=lanczos,split[a][b];[a]palettegen=stats_mode=full[p];[b][p]paletteuse=dither=sierra2_4a:diff_mode=rectangle" \
        "$1" || fail "ffmpeg could not encode $1"
}

# record_gif [FILE]: builds, records the scripted drive frame by frame and
# writes the GIF (default build/squirrel.gif).
record_gif() {
    local out frame frames rate
    out=$(realpath -m -- "${1:-$BUILD/squirrel.gif}")
    ensure_packages "${BUILD_PACKAGES[@]}" "${XVFB_PACKAGES[@]}" "${SCREENSHOT_PACKAGES[@]}" \
        "${RECORD_PACKAGES[@]}"
    build_program frame_step
    temp_dir record
    RECORD_TMP=$TEMP_DIR
    start_xvfb 640x480
    start_recorded_program
    echo "Recording $RECORD_FRAMES frames of the scripted drive on a virtual display ($DISPLAY)"
    for ((frame = 0; frame < RECORD_FRAMES; frame++)); do
        send_due_keys "$frame"
        grab_frame "$(printf '%s/%04d.ppm' "$RECORD_TMP" "$frame")"
    done
    mkdir -p "$(dirname "$out")"
    encode_gif "$out"
    frames=$(ffprobe -v error -count_frames -select_streams v:0 \
        -show_entries stream=nb_read_frames -of csv=p=0 "$out")
    rate=$(ffprobe -v error -select_streams v:0 -show_entries stream=avg_frame_rate -of csv=p=0 "$out" |
        awk -F/ '{ print $1 / $2 }')
    echo "$frames frames at $rate fps, $(( $(stat -c %s "$out") / 1024 )) KiB"
    echo "Recording: $out"
}

# blend_stretches CSV: gnuplot commands that shade and label each blend. The
# trace's action is taken after each tick, so a blend's last tick already
# shows the state it leads to.
blend_stretches() {
    awk -F, 'NR > 1 {
        if (!kind && ($2 == 1 || $2 == 3)) { kind = $2; from = $1 }
        else if (kind && $2 != kind) {
            printf "set object rect from %g, graph 0 to %g, graph 1 fc rgb \"#dddddd\" fs solid noborder behind\n", from - 0.5, $1 + 0.5
            printf "set label \"%s\" at %g, graph 1.03 center\n",
                kind == 1 ? "10-tick blend into running" : "10-tick blend into standing", (from + $1) / 2
            kind = 0 } }' "$1"
}

# plot_joints [FILE]: builds, traces 150 ticks standing, 150 with Up held and
# 150 standing again, and draws the PNG (default build/joints.png).
plot_joints() {
    local out csv
    out=$(realpath -m -- "${1:-$BUILD/joints.png}")
    ensure_packages "${BUILD_PACKAGES[@]}" "${PLOT_PACKAGES[@]}"
    build_program joint_trace
    csv="$BUILD/joints.csv"
    "$BUILD/joint_trace" --all stand=150 run=150 stand=150 >"$csv" || fail "joint_trace failed"
    mkdir -p "$(dirname "$out")"
    gnuplot <<EOF || fail "gnuplot could not draw $out"
set terminal pngcairo size 1000,600 font ",11"
set output "$out"
set datafile separator ","
set title "Joint angles from the real animation tick, Up held from tick 151 to 300" offset 0,1
set xlabel "tick (10 ms)"
set ylabel "angle (degrees)"
set xrange [0:450]
set yrange [-50:100]
set grid
set key below maxrows 2
set tmargin 5
$(blend_stretches "$csv")
# Joint j is column j + 3 of the trace, under its name in the header row.
plot for [j in "0 1 3 5 8 10"] "$csv" using 1:(column(j + 3)) with lines lw 2 \
     title columnheader(j + 3)." (joint ".j.")"
EOF
    echo "Plot: $out"
}
