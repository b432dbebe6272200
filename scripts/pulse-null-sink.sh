#!/usr/bin/env bash
# A private sound server with one null sink, for the sound device tests.
#
#   pulse-null-sink.sh start DIR [KIND]  start a server whose socket is DIR/native, unless
#                                        one answers there already; prints
#                                        PULSE_SERVER=unix:DIR/native
#   pulse-null-sink.sh stop DIR          stop the server that "start DIR" started
#   pulse-null-sink.sh check             exit 0 when $PULSE_SERVER reaches a server with
#                                        the sink
#
# KIND is the server and its sink:
#   norewinds  (the default) PulseAudio, the sink without rewinds: its monitor records
#              exactly what was played
#   ordinary   PulseAudio, the sink as it is usually loaded (rewinds, default latency:
#              it renders up to two seconds ahead while nothing plays)
#   pipewire   PipeWire with its PulseAudio server and WirePlumber, on a private D-Bus
#              session bus
# The sink "aurisona_null" (44100 Hz, stereo, 16-bit) is the default sink and its monitor
# the default source. The server keeps everything of its own (runtime files, cookie,
# configuration) inside DIR and never touches the user's own sound server or
# configuration. It runs for root as well as for other users.
set -euo pipefail

sink=aurisona_null

usage() {
  echo "usage: $0 start DIR [norewinds|ordinary|pipewire] | stop DIR | check" >&2
  exit 2
}

answers() {  # socket path
  PULSE_SERVER="unix:$1" timeout 5 pactl list short sinks 2>/dev/null | grep -q "[[:space:]]$sink[[:space:]]"
}

case "${1:-}" in
  start)
    [ $# -eq 2 ] || [ $# -eq 3 ] || usage
    kind=${3:-norewinds}
    case "$kind" in norewinds|ordinary|pipewire) ;; *) usage ;; esac
    mkdir -p "$2"
    dir=$(cd "$2" && pwd)
    socket="$dir/native"
    if [ ${#socket} -gt 90 ]; then
      echo "$0: socket path too long for a unix socket: $socket" >&2
      exit 1
    fi
    if ! answers "$socket"; then
      mkdir -p "$dir/run" "$dir/home" "$dir/config"
      chmod 700 "$dir" "$dir/run"
      rm -f "$socket"
      run_env=(env -u PULSE_SERVER HOME="$dir/home" XDG_CONFIG_HOME="$dir/config" XDG_RUNTIME_DIR="$dir/run")
      if [ "$kind" = pipewire ]; then
        for program in pipewire pipewire-pulse wireplumber dbus-daemon; do
          command -v "$program" >/dev/null || { echo "$0: $program is not installed" >&2; exit 1; }
        done
        bus="unix:path=$dir/run/bus"
        run_env+=(PIPEWIRE_RUNTIME_DIR="$dir/run" DBUS_SESSION_BUS_ADDRESS="$bus" DISPLAY= WAYLAND_DISPLAY=)
        : > "$dir/run/pids"
        "${run_env[@]}" dbus-daemon --session --fork --nopidfile --address="$bus" --print-pid >> "$dir/run/pids"
        for program in pipewire wireplumber pipewire-pulse; do
          "${run_env[@]}" setsid "$program" > "$dir/$program.log" 2>&1 < /dev/null &
          echo $! >> "$dir/run/pids"
          sleep 0.3
        done
        for _ in $(seq 50); do
          [ -S "$dir/run/pulse/native" ] && break
          sleep 0.1
        done
        ln -sf "$dir/run/pulse/native" "$socket"
        PULSE_SERVER="unix:$socket" timeout 5 pactl load-module module-null-sink \
          sink_name=$sink rate=44100 channels=2 format=s16le > /dev/null || true
      else
        command -v pulseaudio >/dev/null || { echo "$0: pulseaudio is not installed" >&2; exit 1; }
        options="sink_name=$sink rate=44100 channels=2 format=s16le"
        [ "$kind" = norewinds ] && options="$options norewinds=1"
        "${run_env[@]}" PULSE_RUNTIME_PATH="$dir/run" PULSE_STATE_PATH="$dir/home" \
          pulseaudio --daemonize=yes --use-pid-file=yes --system=false -n \
            --exit-idle-time=-1 --disallow-exit=yes --disable-shm=yes \
            --log-target="file:$dir/pulseaudio.log" \
            --load="module-null-sink $options" \
            --load="module-native-protocol-unix auth-anonymous=1 socket=$socket" \
            --load="module-always-sink"
      fi
      for _ in $(seq 50); do
        answers "$socket" && break
        sleep 0.1
      done
      answers "$socket" || { echo "$0: the server did not start (see the logs in $dir)" >&2; exit 1; }
      PULSE_SERVER="unix:$socket" pactl set-default-sink "$sink"
      PULSE_SERVER="unix:$socket" pactl set-default-source "$sink.monitor"
    fi
    echo "PULSE_SERVER=unix:$socket"
    ;;
  stop)
    [ $# -eq 2 ] || usage
    # Only processes of ours: the pid files may be stale.
    stop_pid() {  # pid, expected command names
      local pid=$1 name
      shift
      [ -n "$pid" ] || return 0
      name=$(cat "/proc/$pid/comm" 2>/dev/null) || return 0
      case " $* " in *" $name "*) ;; *) return 0 ;; esac
      kill "$pid" 2>/dev/null || true
      for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
      done
    }
    if [ -f "$2/run/pid" ]; then
      stop_pid "$(cat "$2/run/pid")" pulseaudio
      rm -f "$2/run/pid"
    fi
    if [ -f "$2/run/pids" ]; then
      # Last started first.
      for pid in $(tac "$2/run/pids"); do
        stop_pid "$pid" pipewire pipewire-pulse wireplumber dbus-daemon
      done
      rm -f "$2/run/pids"
    fi
    rm -f "$2/native"
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
