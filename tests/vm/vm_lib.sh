# Helpers of tests/vm/run: the kernel, the clip, the guest's root and one boot of one scenario.
# Sourced; expects $here, $src, $build, $work.

# Debian's kernel package for $2 (amd64 or arm64), unpacked, never installed. Kept in $1 between
# runs. Sets kernel and moddir.
fetch_kernel() {
    local cache=$1 arch=${2:-amd64} dir
    dir=$cache/kernel
    [ "$arch" = amd64 ] || dir=$cache/kernel-$arch
    mkdir -p "$cache"
    if ! ls "$dir"/boot/vmlinuz-* >/dev/null 2>&1; then
        local meta=linux-image-$arch pkg
        [ "$arch" = amd64 ] || meta=$meta:$arch
        pkg=$(apt-cache depends "$meta" 2>/dev/null | awk '/Depends: linux-image-/{print $2; exit}')
        if [ -z "$pkg" ] && [ "$(id -u)" -eq 0 ]; then
            apt-get update -qq
            pkg=$(apt-cache depends "$meta" | awk '/Depends: linux-image-/{print $2; exit}')
        fi
        [ -n "$pkg" ] || { echo "vm: no $meta package known to apt (run apt-get update)" >&2; return 1; }
        rm -rf "$dir" "$cache"/*.deb
        (cd "$cache" && apt-get download -q "$pkg" >/dev/null 2>&1) ||
            { echo "vm: cannot download $pkg" >&2; return 1; }
        dpkg -x "$cache"/"${pkg%%:*}"_*.deb "$dir"
        rm -f "$cache"/*.deb
    fi
    kernel=$(ls "$dir"/boot/vmlinuz-* | head -1)
    moddir=$(ls -d "$dir"/lib/modules/*/kernel | head -1)
}

# The static busybox built for $2, from its Debian package (the host's own for amd64). Prints its
# path.
fetch_busybox() {
    local cache=$1 arch=$2
    if [ "$arch" = amd64 ]; then
        echo /bin/busybox
        return 0
    fi
    if [ ! -x "$cache/busybox-$arch/bin/busybox" ]; then
        rm -rf "$cache/busybox-$arch" "$cache"/*.deb
        (cd "$cache" && apt-get download -q "busybox-static:$arch" >/dev/null 2>&1) ||
            { echo "vm: cannot download busybox-static:$arch" >&2; return 1; }
        dpkg -x "$cache"/busybox-static_*_"$arch".deb "$cache/busybox-$arch"
        rm -f "$cache"/*.deb
    fi
    echo "$cache/busybox-$arch/bin/busybox"
}

# A still picture held for many frames: whichever frame the screendump catches, it is this one.
make_clip() {
    local out=$1 size=$2 fmt=$3 one=$work/one.y4m
    ffmpeg -loglevel error -y -f lavfi -i "testsrc2=size=$size:rate=25" -frames:v 1 \
        -pix_fmt "$fmt" -f yuv4mpegpipe "$one"
    head -1 "$one" > "$out"
    local frame
    frame=$(mktemp "$work/frame.XXXXXX")
    tail -n +2 "$one" > "$frame"
    for _ in $(seq 40); do cat "$frame"; done >> "$out"
    rm -f "$frame" "$one"
}

# Two pictures taking turns, frame by frame: a capture that mixes them is a torn frame.
make_alternating_clip() {
    local out=$1 size=$2 fmt=$3 frames=$4 a=$work/a.y4m b=$work/b.y4m
    ffmpeg -loglevel error -y -f lavfi -i "testsrc2=size=$size:rate=25" -frames:v 1 \
        -pix_fmt "$fmt" -f yuv4mpegpipe "$a"
    ffmpeg -loglevel error -y -f lavfi -i "testsrc2=size=$size:rate=25" -frames:v 1 -vf negate \
        -pix_fmt "$fmt" -f yuv4mpegpipe "$b"
    head -1 "$a" > "$out"
    local fa fb
    fa=$(mktemp "$work/frame.XXXXXX")
    fb=$(mktemp "$work/frame.XXXXXX")
    tail -n +2 "$a" > "$fa"
    tail -n +2 "$b" > "$fb"
    for _ in $(seq $((frames / 2))); do cat "$fa" "$fb"; done >> "$out"
    rm -f "$fa" "$fb" "$a" "$b"
}

# The shared libraries a binary loads, as absolute paths (an arm64 one through its own loader,
# under the user-mode emulator).
needed_libs() {
    local bin=$1 arch=$2
    if [ "$arch" = amd64 ]; then
        ldd "$bin"
    else
        qemu-aarch64-static /lib/ld-linux-aarch64.so.1 --list "$bin"
    fi | awk '{for (i = 1; i <= NF; i++) if ($i ~ /^\//) print $i}'
}

# busybox, the modules, the driver with its shared libraries, the clip and the configuration, for
# $3 (amd64 or arm64; default amd64), with the kernel set by fetch_kernel.
make_base_root() {
    local root=$1 bld=$2 arch=${3:-amd64}
    mkdir -p "$root/bin" "$root/modules" "$root/vexa"
    cp "$(fetch_busybox "$here/cache" "$arch")" "$root/bin/busybox"
    cp "$here/guest-init" "$root/init"
    chmod +x "$root/init"
    local ko
    for ko in drm.ko drm_kms_helper.ko drm_ttm_helper.ko drm_vram_helper.ko drm_shmem_helper.ko \
        ttm.ko bochs.ko cirrus.ko cirrusfb.ko vfb.ko virtio.ko virtio_ring.ko virtio_pci.ko \
        virtio_pci_legacy_dev.ko virtio_pci_modern_dev.ko virtio_dma_buf.ko virtio-gpu.ko \
        virtio_console.ko; do
        find "$moddir" -name "$ko" -exec cp {} "$root/modules/" \;
    done
    local bin lib
    for bin in "$bld/driver/vexa_out_fbdev" "$bld/tools/vexa_ctl"; do
        cp "$bin" "$root/vexa/"
        for lib in $(needed_libs "$bin" "$arch"); do
            mkdir -p "$root$(dirname "$lib")"
            cp -L "$lib" "$root$lib"
        done
    done
    # The lib64 loader path must exist where the binaries expect it.
    [ -e "$root/lib64" ] || ln -s lib "$root/lib64"
    cp "$work/clip.y4m" "$root/vexa/clip.y4m"
    cat > "$root/vexa/fb.conf" <<'CONF'
item=/vexa/clip.y4m,fps=4
autostart item=1
realtime process=0
lock memory=0
take framebuffer console=
device=/dev/fb0
CONF
    # Page flipping while the pictures take turns as fast as a video plays.
    cp "$work/flip.y4m" "$root/vexa/flip.y4m"
    sed -e 's|^item=.*|item=/vexa/flip.y4m,fps=25|' "$root/vexa/fb.conf" > "$root/vexa/flip.conf"
    echo "vsync=2" >> "$root/vexa/flip.conf"
}

# For the video scenario: the FFmpeg module with its shared libraries where the driver looks for it
# (lib/vexa_out_fbdev beside the binary's directory), and the clip as a lossless H.264 mp4 at 4
# frames a second in place of the YUV4MPEG2 item. Other scenarios stay small without them.
add_video() {
    local root=$1 module=$build/lib/vexa_out_fbdev/vexa_media_ffmpeg.so lib
    mkdir -p "$root/lib/vexa_out_fbdev"
    cp "$module" "$root/lib/vexa_out_fbdev/"
    for lib in $(ldd "$module" | awk '{for (i = 1; i <= NF; i++) if ($i ~ /^\//) print $i}'); do
        mkdir -p "$root$(dirname "$lib")"
        cp -L "$lib" "$root$lib"
    done
    ffmpeg -loglevel error -y -r 4 -i "$work/clip.y4m" -c:v libx264 -qp 0 -pix_fmt yuv420p \
        "$root/vexa/clip.mp4"
    sed -i 's|^item=.*|item=/vexa/clip.mp4|' "$root/vexa/fb.conf"
}

# Waits up to $2 seconds for a line matching $1 in the serial log; 1 if QEMU ended first.
wait_serial() {
    local pattern=$1 limit=$(( $2 * 10 )) i=0
    while [ $i -lt "$limit" ]; do
        grep -qa -- "$pattern" "$dir/serial.log" 2>/dev/null && return 0
        kill -0 "$qemu_pid" 2>/dev/null || return 1
        sleep 0.1
        i=$((i + 1))
    done
    return 1
}

monitor() { echo "$*" >&"$monfd"; }

screendump() {
    local out=$1 i=0
    rm -f "$out"
    monitor "screendump $out"
    while [ $i -lt 50 ]; do
        # The file is complete once QEMU has answered with its next prompt.
        [ -s "$out" ] && sleep 0.2 && return 0
        sleep 0.1
        i=$((i + 1))
    done
    return 1
}

serial_value() { grep -a "^VEXA-$1 " "$dir/serial.log" | head -1 | tr -d '\r' | cut -d' ' -f2-; }

# Boots one scenario and checks it. Sets scenario_note; 0 when everything held.
run_scenario() {
    local name=$1 display=$2 kargs=$3 modules=$4 envs=$5 expect=$6
    dir=$work/$name
    scenario_note=""
    mkdir -p "$dir"
    local base=$work/base
    [[ $name == arm64-* ]] && base=$work/base-arm64
    cp -a "$base" "$dir/root"
    # The alternating clip is large; only the scenarios that play it carry it.
    [[ $envs == *flip.conf* ]] || rm -f "$dir/root/vexa/flip.y4m"
    [[ " $envs " == *" VIDEO=1 "* ]] && add_video "$dir/root"
    {
        echo "MODULES='$modules'"
        local kv
        for kv in $envs; do echo "$kv"; done
        [[ $expect == refused* ]] && echo "EXPECT_FAIL=1"
        [[ $expect == dump* ]] && echo "DUMP=1"
    } > "$dir/root/scenario.env"
    (cd "$dir/root" && find . | cpio -o -H newc --quiet | gzip -1) > "$dir/initrd.gz"

    mkfifo "$dir/mon.in" "$dir/mon.out" "$dir/ctl.in" "$dir/ctl.out"
    local limit=120
    if [[ $name == arm64-* ]]; then
        # The arm64 board: one serial port for the reports, a virtio console for the answers.
        limit=300  # a foreign processor emulated instruction by instruction boots slower
        # shellcheck disable=SC2086
        qemu-system-aarch64 -machine virt -cpu cortex-a53 -accel tcg -m 512 -smp 1 -no-reboot \
            -display none -kernel "$kernel_arm64" -initrd "$dir/initrd.gz" \
            -append "console=ttyAMA0 panic=-1 loglevel=4 $kargs" $display \
            -serial "file:$dir/serial.log" \
            -device virtio-serial-pci -chardev "pipe,id=ctl,path=$dir/ctl" \
            -device virtconsole,chardev=ctl \
            -chardev "pipe,id=mon,path=$dir/mon" -mon chardev=mon,mode=readline \
            > "$dir/qemu.log" 2>&1 &
    else
        # shellcheck disable=SC2086
        qemu-system-x86_64 -machine pc -accel tcg -m 512 -smp 1 -no-reboot -display none \
            -kernel "$kernel" -initrd "$dir/initrd.gz" \
            -append "console=ttyS0 panic=-1 loglevel=4 $kargs" $display \
            -serial "file:$dir/serial.log" \
            -chardev "pipe,id=ctl,path=$dir/ctl" -serial chardev:ctl \
            -chardev "pipe,id=mon,path=$dir/mon" -mon chardev=mon,mode=readline \
            > "$dir/qemu.log" 2>&1 &
    fi
    qemu_pid=$!
    exec {monfd}<>"$dir/mon.in"
    exec {ctlfd}<>"$dir/ctl.in"
    cat "$dir/mon.out" > "$dir/mon.log" &
    local mon_reader=$!
    cat "$dir/ctl.out" > /dev/null &
    local ctl_reader=$!

    local ok=0 problems=()
    if [[ $expect == dump* ]]; then
        wait_serial "^VEXA-DUMP-END" $limit || problems+=("no dump")
    else
        if wait_serial "^VEXA-CAPTURE" $limit; then
            sleep 0.2  # the display is refreshed from guest memory a few times a second
            screendump "$dir/playing.ppm" || problems+=("no screendump")
            if [[ $expect == flips* ]]; then
                # More captures at uneven moments while the pictures take turns.
                local n
                for n in 1 2 3 4 5 6 7 8; do
                    sleep "0.$((n * 37 % 10))"
                    screendump "$dir/playing-$n.ppm" || problems+=("no screendump $n")
                done
            fi
            echo go >&"$ctlfd"
        else
            problems+=("driver never showed a frame")
        fi
    fi
    if wait_serial "^VEXA-CONSOLE-BACK" 60; then
        sleep 1  # let the console repaint
        [[ $expect == dump* ]] || screendump "$dir/after.ppm" || problems+=("no screendump after")
        echo go >&"$ctlfd"
    fi
    wait_serial "^VEXA-DONE" 30 || true
    for _ in $(seq 50); do kill -0 "$qemu_pid" 2>/dev/null || break; sleep 0.1; done
    kill "$qemu_pid" 2>/dev/null || true
    wait "$qemu_pid" 2>/dev/null || true
    exec {monfd}>&- {ctlfd}>&-
    kill "$mon_reader" "$ctl_reader" 2>/dev/null || true
    wait "$mon_reader" "$ctl_reader" 2>/dev/null || true

    check_scenario "$expect" || ok=1
    [ ${#problems[@]} -eq 0 ] || { ok=1; scenario_note="${problems[*]}; $scenario_note"; }
    if [ $ok -ne 0 ]; then
        echo "---- $name: serial console ----" >&2
        tr -d '\r' < "$dir/serial.log" | grep -a -v '^[A-Za-z0-9+/=]\{60,\}$' | tail -60 >&2
    fi
    return $ok
}

# Checks what one boot reported against its expectation words (see the table in run).
check_scenario() {
    local expect=$1 bad=() word
    local before after status exitcode log=$dir/driver.log want_exit=1
    before=$(serial_value MODE-BEFORE)
    after=$(serial_value MODE-AFTER)
    status=$(serial_value STATUS)
    exitcode=$(serial_value EXIT)
    grep -a '^VEXA-LOG ' "$dir/serial.log" | tr -d '\r' | cut -c10- > "$log" || true
    local bpp=${before%% *} stride=${before##* } vsize
    vsize=$(echo "$before" | cut -d' ' -f2)
    for word in $expect; do
        case "$word" in
        bpp=*) [ "$bpp" = "${word#bpp=}" ] || bad+=("device has ${bpp:-no} bpp") ;;
        exit=*) want_exit=${word#exit=} ;;
        restore)
            [ "$(serial_value RESTORE)" = 0 ] || bad+=("--restore exit status $(serial_value RESTORE)")
            grep -q '^Gave back what pid [0-9]* left taken: console, /dev/fb0 mode' "$log" ||
                bad+=("--restore gave nothing back") ;;
        green=*) [[ $status == *":5:${word#green=}:5,argbp="* ]] || bad+=("green length not ${word#green=}") ;;
        blue=*) [[ $status == *"argbp="*":${word#blue=}\""* || $status == *"argbp="*":${word#blue=},"* ]] ||
            bad+=("blue offset not ${word#blue=}") ;;
        kms)
            [[ $status == *"Is KMS. "* ]] || bad+=("no 'Is KMS. ' note")
            grep -q '^\*\*NOTICE: The framebuffer device is tied' "$log" || bad+=("no KMS notice") ;;
        refused)
            [[ $status == *'"*last error":"Framebuffer is set to an unsupported format"'* ]] ||
                bad+=("format not refused")
            grep -q '^Unsupported format$' "$log" || bad+=("no 'Unsupported format' line") ;;
        fallback)
            [[ $status == *'"*active":"1,'* ]] || bad+=("not active while playing")
            [[ $status == *",vsync=0,"* ]] || bad+=("status does not show vsync=0 in force")
            [[ $status == *"No page flip. No vsync wait. "* ]] || bad+=("no fall-back notes")
            grep -q '^WARNING: Cannot flip pages, ' "$log" || bad+=("no page flip warning")
            grep -q '^WARNING: Cannot wait for the vertical blank, ' "$log" ||
                bad+=("no vsync wait warning") ;;
        picture | dump | flips)
            [[ $status == *'"*active":"1,'* ]] || bad+=("not active while playing")
            [[ $expect == *cleared* || $status == *"Taking fbcon. "* ]] || bad+=("console not taken") ;;
        cleared)
            sed -n '/^VEXA-LEFT-BEGIN/,/^VEXA-LEFT-END/p' "$dir/serial.log" | tr -d '\r' |
                grep -v '^VEXA-\|^T ' | base64 -d > "$dir/left.raw" 2>/dev/null || true
            if [ ! -s "$dir/left.raw" ] || [ -n "$(tr -d '\0' < "$dir/left.raw" | head -c 1)" ]; then
                bad+=("screen memory not zero after exit")
            fi ;;
        esac
    done
    [ "$exitcode" = "$want_exit" ] || bad+=("exit status ${exitcode:-none}, not $want_exit")
    [ -n "$before" ] && [ "$before" = "$after" ] || bad+=("mode '$before' became '$after'")
    local result=""
    case "$expect" in
    flips*)
        [[ $status == *",vsync=2,"* ]] || bad+=("pages not flipped (status: no vsync=2)")
        local quant=dither5 shot torn=0
        [ "$bpp" = 32 ] && quant=exact8
        for shot in "$dir"/playing*.ppm; do
            [ -s "$shot" ] || continue
            "$build/tests/vm/vm_picture_check" --clip "$work/flip.y4m" --frames 2 --quant $quant \
                --ppm "$shot" > "$shot.txt" 2>&1 || torn=$((torn + 1))
        done
        result="$(ls "$dir"/playing*.ppm 2>/dev/null | wc -l) captures, $torn not one whole picture"
        [ $torn -eq 0 ] || bad+=("torn or wrong picture")
        # Only a display that follows the pan shows both pictures. No pipe into grep -q: under
        # pipefail, the writer it leaves behind fails the check whenever a match comes early.
        grep -qs '^frame 0:' "$dir"/playing*.ppm.txt &&
            grep -qs '^frame 1:' "$dir"/playing*.ppm.txt || bad+=("one picture never shown")
        if [ -s "$dir/after.ppm" ]; then
            "$build/tests/vm/vm_picture_check" --not-black "$dir/after.ppm" >/dev/null ||
                bad+=("console not repainted after exit")
        fi ;;
    picture*)
        local quant=dither5
        [ "$bpp" = 32 ] && quant=exact8
        if [ -s "$dir/playing.ppm" ]; then
            result=$("$build/tests/vm/vm_picture_check" --clip "$work/clip.y4m" --quant $quant \
                --ppm "$dir/playing.ppm" 2>&1) || bad+=("picture differs")
        fi
        if [ -s "$dir/after.ppm" ]; then
            "$build/tests/vm/vm_picture_check" --not-black "$dir/after.ppm" >/dev/null ||
                bad+=("console not repainted after exit")
            if [[ " $expect " == *" text-after "* ]] &&
                "$build/tests/vm/vm_picture_check" --clip "$work/clip.y4m" --quant $quant \
                    --ppm "$dir/after.ppm" >/dev/null 2>&1; then
                bad+=("the clip is still on the screen after exit")
            fi
        fi ;;
    dump*)
        local layout=bgr565 quant=dither5
        [ "$bpp" = 32 ] && layout=bgr888 quant=exact8
        sed -n '/^VEXA-DUMP-BEGIN/,/^VEXA-DUMP-END/p' "$dir/serial.log" | tr -d '\r' |
            grep -v '^VEXA-\|^T ' | base64 -d > "$dir/screen.raw" 2>/dev/null || true
        result=$("$build/tests/vm/vm_picture_check" --clip "$work/clip.y4m" --quant $quant \
            --raw "$dir/screen.raw" --layout $layout --stride "$stride" --size "${vsize/,/x}" 2>&1) ||
            bad+=("picture differs") ;;
    refused*)
        [ -s "$dir/after.ppm" ] && { "$build/tests/vm/vm_picture_check" --not-black "$dir/after.ppm" \
            >/dev/null || bad+=("console not repainted after exit"); } ;;
    esac
    scenario_note="$result${bad[*]:+; ${bad[*]}}"
    [ ${#bad[@]} -eq 0 ]
}
