# Sourced by the scripts that drive a real window: a scratch folder in `work`, and `pids` for
# the processes they start; when the script ends, the processes are stopped and the folder goes,
# read-only parts included.
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  chmod -R u+w "$work" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
