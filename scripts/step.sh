# Sourced by the stage scripts: `step COMMAND...` runs one step of the stage
# named by $STAGE, printing its name and how long it took.
step() {
  local start=$SECONDS
  echo "--- ${STAGE}: $*"
  "$@"
  echo "--- ${STAGE}: $* took $((SECONDS - start)) s"
}
