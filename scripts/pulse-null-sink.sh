#!/usr/bin/env bash
# A private PulseAudio server with one null sink, for the sound device tests.
#
#   pulse-null-sink.sh start DIR   start a server whose socket is DIR/native, unless one
#                                  answers there already; prints PULSE_SERVER=unix:DIR/native
#   pulse-null-sink.sh stop DIR    stop the server that "start DIR" started
#   pulse-null-sink.sh check       exit 0 when $PULSE_SERVER reaches a server with the sink
#
# The sink "aurisona_null" (44100 Hz, stereo, 16-bit, no rewinds, so that its monitor
# records exactly what was played) is the default sink and its monitor the default
# source. The server keeps everything of its own (runtime files, cookie, configuration)
# inside DIR and never touches the user's own sound server or configuration. It runs
# for root as well as for other users.
set -euo pipefail

sink=aurisona_null

usage() {
  echo "usage: $0 start DIR | stop DIR | check" >&2
  exit 2
}

answers() {  # socket path
  PULSE_SERVER="unix:$1" timeout 5 pactl list short sinks 2>/dev/null | grep -q "[[:space:]]$sink[[:space:]]"
}

case "${1:-}" in
  start)
    [ $# -eq 2 ] || usage
    command -v pulseaudio >/dev/null || { echo "$0: pulseaudio is not installed" >&2; exit 1; }
    mkdir -p "$2"
    dir=$(cd "$2" && pwd)
    socket="$dir/native"
    if [ ${#socket} -gt 100 ]; then
      echo "$0: socket path too long for a unix socket: $socket" >&2
      exit 1
    fi
    if ! answers "$socket"; then
      mkdir -p "$dir/run" "$dir/home" "$dir/config"
      chmod 700 "$dir" "$dir/run"
      rm -f "$socket"
      env -u PULSE_SERVER HOME="$dir/home" XDG_CONFIG_HOME="$dir/config" XDG_RUNTIME_DIR="$dir/run" \
        PULSE_RUNTIME_PATH="$dir/run" PULSE_STATE_PATH="$dir/home" \
        pulseaudio --daemonize=yes --use-pid-file=yes --system=false -n \
          --exit-idle-time=-1 --disallow-exit=yes --disable-shm=yes \
          --log-target="file:$dir/pulseaudio.log" \
          --load="module-null-sink sink_name=$sink rate=44100 channels=2 format=s16le norewinds=1" \
          --load="module-native-protocol-unix auth-anonymous=1 socket=$socket" \
          --load="module-always-sink"
      for _ in $(seq 50); do
        answers "$socket" && break
        sleep 0.1
      done
      answers "$socket" || { echo "$0: the server did not start (see $dir/pulseaudio.log)" >&2; exit 1; }
      PULSE_SERVER="unix:$socket" pactl set-default-sink "$sink"
      PULSE_SERVER="unix:$socket" pactl set-default-source "$sink.monitor"
    fi
    echo "PULSE_SERVER=unix:$socket"
    ;;
  stop)
    [ $# -eq 2 ] || usage
    pidfile="$2/run/pid"
    [ -f "$pidfile" ] || exit 0
    pid=$(cat "$pidfile")
    # Only a pulseaudio process of ours: the pid file may be stale.
    if [ -n "$pid" ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = pulseaudio ]; then
      kill "$pid" 2>/dev/null || true
      for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
      done
    fi
    rm -f "$pidfile" "$2/native"
    ;;
  check)
    [ -n "${PULSE_SERVER:-}" ] || exit 1
    socket=${PULSE_SERVER#unix:}
    [ "$socket" != "$PULSE_SERVER" ] || exit 1
    answers "$socket"
    ;;
  *)
    usage
    ;;
esac
