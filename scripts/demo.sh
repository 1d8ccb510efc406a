#!/usr/bin/env bash
# Installs what kivtab needs, builds it, starts the reference central server on loopback with a
# small demo world, and runs `kivtab TABELAS_0001_001_` against an embedded local database in a
# fresh program directory. Shows the final message and the tail of the run log.
# KIVTAB_DEMO_SCALE sets the size of the world (1,378 + 3,790 x scale rows; default 1); the run's
# elapsed time and peak memory are shown when /usr/bin/time is there.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/setup.sh
# Only the two programs the demo runs, not the tests and benchmarks.
scripts/build.sh kivtab kivtab-central

bin="$root/build"
kivtab=$(find "$bin" -type f -name kivtab -perm -u+x | head -n 1)
central=$(find "$bin" -type f -name kivtab-central -perm -u+x | head -n 1)
for tool in kivtab central; do
  if [ -z "${!tool}" ]; then
    echo "demo: the build produced no ${tool//_/-} executable" >&2
    exit 1
  fi
done

home=$(mktemp -d /tmp/kivtab-demo.XXXXXX)
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
}
trap cleanup EXIT

port_is_free() { ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
port=$((20000 + RANDOM % 20000))
until port_is_free "$port"; do port=$((20000 + RANDOM % 20000)); done

echo "== program directory: $home"
echo "== central server: 127.0.0.1:$port"
"$central" init --db "$home/central.db" --scale "${KIVTAB_DEMO_SCALE:-1}"
"$central" serve --db "$home/central.db" --listen "127.0.0.1:$port" >"$home/central.log" 2>&1 &
server_pid=$!
for _ in $(seq 1 100); do
  port_is_free "$port" || break
  sleep 0.1
done
if port_is_free "$port"; then
  echo "demo: the central server did not start; its output:" >&2
  cat "$home/central.log" >&2
  exit 1
fi

local_db="$home/local.db"
# The structure step reads the catalogue of the login named here.
connection="Provider=SQLite;User ID=dbo;Data Source=$local_db"
cat >"$home/registry.ini" <<INI
[HKEY_LOCAL_MACHINE\\Software\\MORLEND\\Sistemas Integrados Morlend\\WebCli]
IPServer=127.0.0.1
WebPort=dword:$port
StringConex=$connection
INI

echo "== kivtab TABELAS_0001_001_"
status=0
timer=()
[ -x /usr/bin/time ] && timer=(/usr/bin/time -f "== elapsed %e s, peak memory %M KB")
KIVTAB_HOME="$home" KIVTAB_REGISTRY="$home/registry.ini" KIVTAB_CLOSE_DELAY=0 \
  "${timer[@]}" "$kivtab" TABELAS_0001_001_ || status=$?

echo "== exit status: $status"
echo "== tail of the run log"
log=$(ls "$home"/Dados/Kiv_Tab/Kiv_Tab*.txt | head -n 1)
tail -n 20 "$log" | iconv -f CP1252 -t UTF-8 | tr -d '\r'
exit "$status"
