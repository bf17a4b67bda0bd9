# Sourced by the scripts that start r3sim or the server in the background.
# wait_for_line FILE TEXT PID: 0 once FILE holds TEXT; 1 when the process
# PID ends first or 30 seconds pass.
wait_for_line() {
  for _ in $(seq 1 300); do
    grep -q "$2" "$1" && return 0
    kill -0 "$3" 2>/dev/null || break
    sleep 0.1
  done
  return 1
}
