#!/usr/bin/env bash
# The MQTT gateway under a full line: 31 simulated drives at 38400 baud in tick pacing, a local
# mosquitto, and korvane-cli publish for DURATION seconds (default 600). Prints the publisher's
# CPU share of one core, its resident memory at the start and the end, and messages per second.
# Usage: bench/publish_bench.sh BUILD_DIR [DURATION]
set -euo pipefail
build=${1:?usage: publish_bench.sh BUILD_DIR [DURATION]}
duration=${2:-600}
mosquitto=$(command -v mosquitto || echo /usr/sbin/mosquitto)
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence false\n' "$port" >"$work/broker.conf"
"$mosquitto" -c "$work/broker.conf" >"$work/broker.log" 2>&1 &
pids+=($!)

drives=()
for id in $(seq 1 31); do drives+=(--drive "$id:11:0x0310:4:1"); done
mkfifo "$work/sim.in"
"$build/src/korvane-sim" --pty --baud 38400 "${drives[@]}" <"$work/sim.in" >"$work/sim.out" 2>&1 &
pids+=($!)
exec 3>"$work/sim.in"  # keeps the simulator's input open
for _ in $(seq 100); do grep -q '^PTY ' "$work/sim.out" && break; sleep 0.1; done
pty=$(awk '/^PTY /{print $2; exit}' "$work/sim.out")

mosquitto_sub -h 127.0.0.1 -p "$port" -t 'bench/#' -v >"$work/messages" &
pids+=($!)
"$build/src/korvane-cli" --port "$pty" --baud 38400 --pacing tick publish 1-31 \
  --broker "mqtt://127.0.0.1:$port" --topic-prefix bench --data-dir "$build/Data" \
  2>"$work/publisher.log" &
publisher=$!
pids+=($publisher)

# Identification of 31 drives takes a while; measure from when all are announced.
for _ in $(seq 600); do
  [ "$(grep -c '^bench/drive/[0-9]* {"station".*"connected":true' "$work/messages" || true)" -ge 31 ] && break
  sleep 0.5
done
ticks=$(getconf CLK_TCK)
cpu() { awk '{print $14 + $15}' "/proc/$publisher/stat"; }
rss() { awk '/VmRSS/{print $2}' "/proc/$publisher/status"; }
cpu0=$(cpu); rss0=$(rss); msgs0=$(wc -l <"$work/messages"); t0=$(date +%s.%N)
sleep "$duration"
cpu1=$(cpu); rss1=$(rss); msgs1=$(wc -l <"$work/messages"); t1=$(date +%s.%N)
kill -TERM "$publisher"
python3 - "$cpu0" "$cpu1" "$ticks" "$t0" "$t1" "$rss0" "$rss1" "$msgs0" "$msgs1" <<'PY'
import sys
c0, c1, hz, t0, t1, r0, r1, m0, m1 = map(float, sys.argv[1:])
secs = t1 - t0
print(f"drives announced: 31, measured for {secs:.0f} s")
print(f"publisher CPU: {100 * (c1 - c0) / hz / secs:.2f} % of one core")
print(f"resident memory: start {r0:.0f} kB, end {r1:.0f} kB, growth {r1 - r0:.0f} kB")
print(f"messages: {(m1 - m0) / secs:.1f} per second")
PY
