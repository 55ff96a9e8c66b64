# Starting and stopping the demo FTP server, for tools/demo.sh and tools/screenshots.sh.
# Source it; it sets server_pid and server_log.
#
#   start_demo_server PORT ROOT [SERVER ARGUMENTS...]    (exits the script with a message when it cannot start)
#   stop_demo_server

demo_python=/usr/bin/python3   # by path: another python3 on PATH may lack pyftpdlib
demo_source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
server_pid=
server_log=

stop_demo_server() {
  if [ -n "$server_pid" ] && kill -0 "$server_pid" 2>/dev/null; then
    kill -TERM "$server_pid" 2>/dev/null || true
    for _ in $(seq 1 50); do
      kill -0 "$server_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
    echo "Demo server stopped."
  fi
  server_pid=
  [ -z "$server_log" ] || rm -f "$server_log"
  server_log=
}

start_demo_server() {
  local port=$1 root=$2
  shift 2
  server_log=$(mktemp "${TMPDIR:-/tmp}/ferrow-demo-server.XXXXXX")
  "$demo_python" "$demo_source_dir/tools/demo-server.py" --port "$port" "$@" "$root" >"$server_log" 2>&1 &
  server_pid=$!
  for _ in $(seq 1 600); do   # up to a minute: the tree has a few MiB to write
    if ! kill -0 "$server_pid" 2>/dev/null; then
      echo "The demo server did not start:" >&2
      cat "$server_log" >&2
      exit 1
    fi
    if grep -q '^ready ' "$server_log" && demo_server_accepts "$port"; then
      return 0
    fi
    sleep 0.1
  done
  echo "The demo server does not accept connections on 127.0.0.1:$port:" >&2
  cat "$server_log" >&2
  exit 1
}

demo_server_accepts() {
  (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}
