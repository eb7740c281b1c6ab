# Sourced by scripts: the recorder's windows driven from outside, as a user's clicks arrive.
# Each window publishes its controls in the _SC_CONTROL_TREE property: one line per control,
# fields separated by tabs: name, class, visible, enabled, rect (l,t,r,b), text, image.

# control_field <window id> <control name> <field number>: prints the field, empty if none.
control_field() {
  xprop -id "$1" -notype _SC_CONTROL_TREE 2>/dev/null |
    sed -e 's/^[^"]*"//' -e 's/"$//' -e 's/\\n/\n/g' -e 's/\\t/\t/g' |
    awk -F'\t' -v name="$2" -v field="$3" '$1 == name { print $field; exit }'
}

# click_control <window id> <control name>: a left click in the middle of the control; waits
# up to 10 s for the window to show it first.
click_control() {
  local rect="" i l t r b
  for i in $(seq 1 200); do
    rect=$(control_field "$1" "$2" 5)
    [[ -n $rect ]] && break
    sleep 0.05
  done
  [[ -n $rect ]] || { echo "no control $2 in window $1" >&2; return 1; }
  IFS=, read -r l t r b <<<"$rect"
  xdotool mousemove --window "$1" $(((l + r) / 2)) $(((t + b) / 2)) click 1
}
