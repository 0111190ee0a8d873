#!/bin/bash
# The editor's peak memory on x86 (and x64) for a machine that cannot run 32-bit programs:
# boots a Debian system with 32-bit and 64-bit Wine in qemu's software emulation of a PC,
# opens each card there with each editor, and prints the peak resident memory beside the
# file's size. The system is made once in build/vm (about 3 GB, from Debian's archive).
# Emulated, a program runs some ten times slower, and unevenly: the times printed only
# say how the editors compare with each other there.
# Usage: bench/editor_memory_vm.sh [CARD...]
#   (default: examples/sample.vcf and the bench's typical cards of 1 MB and 10 MB;
#    EDITORS="A.exe B.exe" chooses the editors, by default those of build/win32 and build/win64)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
VM="$ROOT/build/vm"
ROOTFS="$VM/rootfs"
MIRROR="http://deb.debian.org/debian"
[ $# -gt 0 ] || set -- "$ROOT/examples/sample.vcf" "$ROOT"/build/bench/data/typical-{1,10}MB.vcf
EDITORS="${EDITORS:-$ROOT/build/win32/app/vcardedit.exe $ROOT/build/win64/app/vcardedit.exe}"

SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
missing=()
command -v qemu-system-x86_64 >/dev/null || missing+=(qemu-system-x86)
command -v debootstrap >/dev/null || missing+=(debootstrap)
command -v mkfs.ext4 >/dev/null || missing+=(e2fsprogs)
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get update -q
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The guest: Debian with Wine of both kinds, Xvfb and xdotool, and a kernel that boots
# from a virtio disk.
if [ ! -f "$ROOTFS/.ready" ]; then
  echo "editor_memory_vm: making the guest system in $ROOTFS"
  $SUDO rm -rf "$ROOTFS"
  $SUDO debootstrap --variant=minbase --include=procps,xvfb,xdotool bookworm "$ROOTFS" "$MIRROR" >"$VM.log" 2>&1
  $SUDO chroot "$ROOTFS" /bin/sh -c "dpkg --add-architecture i386 && apt-get update -q && \
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    wine wine32 wine64 libwine libwine:i386 fonts-wine linux-image-amd64 initramfs-tools" >>"$VM.log" 2>&1
  $SUDO rm -rf "$ROOTFS"/usr/share/doc "$ROOTFS"/usr/share/man "$ROOTFS"/var/cache/apt/archives/*.deb
  $SUDO touch "$ROOTFS/.ready"
fi

# What the guest runs as its first process: for each editor, a prefix of its kind, then
# each card opened until the editor is idle, with its memory; then it powers off.
$SUDO rm -rf "$ROOTFS/root/t"
$SUDO mkdir -p "$ROOTFS/root/t"
kinds=()
for editor in $EDITORS; do
  case "$(x86_64-w64-mingw32-objdump -f "$editor" | awk '/file format/ { print $NF }')" in
    pei-i386) kind=win32 ;;
    pei-x86-64) kind=win64 ;;
    *) echo "editor_memory_vm: $editor is not a Windows program" >&2; exit 1 ;;
  esac
  kinds+=("$kind")
  $SUDO cp "$editor" "$ROOTFS/root/t/editor${#kinds[@]}-$kind.exe"
done
for card in "$@"; do $SUDO cp "$card" "$ROOTFS/root/t/"; done
$SUDO tee "$ROOTFS/measure.sh" >/dev/null <<'GUEST'
#!/bin/bash
mount -t proc proc /proc; mount -t sysfs sys /sys; mount -t devtmpfs dev /dev 2>/dev/null
mkdir -p /dev/pts /dev/shm; mount -t devpts devpts /dev/pts; mount -t tmpfs tmpfs /dev/shm; mount -t tmpfs tmpfs /tmp
export HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
Xvfb :5 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
export DISPLAY=:5
sleep 3
cd /root/t
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
for editor in editor*.exe; do
  kind="${editor#*-}"; kind="${kind%.exe}"
  export WINEPREFIX="/root/prefix-$kind" WINEARCH="$kind"
  if [ "$kind" = win32 ]; then loader=/usr/lib/wine/wine; unset WINELOADER; else loader=/usr/lib/wine/wine64; export WINELOADER=$loader; fi
  [ -d "$WINEPREFIX" ] || { "$loader" wineboot -i >/dev/null 2>&1; wineserver -w; }
  wineserver -p 2>/dev/null
  for card in *.vcf; do
    start=$(now_ms)
    "$loader" "$editor" "Z:\\root\\t\\$card" >/dev/null 2>&1 &
    pid=$!
    until xdotool search --name "^Oskan vCard Editor - ${card//./\\.}\$" >/dev/null 2>&1; do sleep 0.05; done
    title=$(( $(now_ms) - start ))
    process=$(pgrep -f "$editor" | head -1)
    while true; do
      before=$(ticks "$process"); sleep 0.5
      [ $(( $(ticks "$process") - before )) -lt 5 ] && break
    done
    echo "RESULT $editor $card $title $(awk '/^VmHWM/ { print $2 }' "/proc/$process/status")"
    kill "$pid"; wait "$pid" 2>/dev/null; sleep 1
  done
  wineserver -k 2>/dev/null; sleep 1
done
echo "RESULT done"
sync
echo o >/proc/sysrq-trigger
sleep 10
GUEST
$SUDO chmod +x "$ROOTFS/measure.sh"

$SUDO mkfs.ext4 -q -F -d "$ROOTFS" "$VM/disk.img" 5G
kernel="$(ls "$ROOTFS"/boot/vmlinuz-* | tail -1)"
initrd="$(ls "$ROOTFS"/boot/initrd.img-* | tail -1)"
echo "editor_memory_vm: booting the guest (this takes minutes)"
# SMAP and SMEP off: with them, qemu's emulation faulted on the return from the kernel to
# every 32-bit program. Huge pages only where asked for, as Debian's own kernels set
# them by default: given to every large region, they added a quarter to the figures.
timeout 3600 qemu-system-x86_64 -accel tcg,thread=multi -cpu max,-smap,-smep -smp 2 -m 6G \
  -nographic -no-reboot -kernel "$kernel" -initrd "$initrd" \
  -append "root=/dev/vda rw console=ttyS0 quiet init=/measure.sh transparent_hugepage=madvise" \
  -drive "file=$VM/disk.img,format=raw,if=virtio" >"$VM/console.log" 2>&1 || true
grep -q "^RESULT done" "$VM/console.log" || { echo "editor_memory_vm: the guest did not finish; see $VM/console.log" >&2; exit 1; }

echo
echo "Peak resident memory of the editor under Wine in an emulated PC (times emulated, to compare only):"
echo
echo "| editor | card | size | emulated start to titled window | peak memory | memory / size |"
echo "|---|---|---:|---:|---:|---:|"
tr -d '\r' <"$VM/console.log" | awk '/^RESULT editor/ { print $2, $3, $4, $5 }' | while read -r editor card title peak; do
  bytes=$(stat -c %s "$ROOTFS/root/t/$card")
  kind="${editor#*-}"; kind="${kind%.exe}"
  arch=x64; [ "$kind" = win32 ] && arch=x86
  number="${editor%%-*}"; number="${number#editor}"
  path="$(echo $EDITORS | cut -d' ' -f"$number")"
  echo "| $arch (${path#"$ROOT"/}) | $card | $(awk -v b="$bytes" 'BEGIN { printf "%.1f KB", b / 1024 }') | $title ms | $(( peak / 1024 )) MB | $(awk -v p="$peak" -v b="$bytes" 'BEGIN { printf "%.1fx", p * 1024 / b }') |"
done
