#!/usr/bin/env bash
# Drives installer_tui in a real terminal through tmux, as a person would:
# keys in, screen text out. Builds nothing: takes the binary's path.
# Usage: run_tmux_tests.sh PATH/TO/installer_tui
# The last line of the output is "N passed, M failed"; the exit status is
# non-zero when a case failed.
set -u

TUI=${1:?usage: run_tmux_tests.sh PATH/TO/installer_tui}
TUI=$(readlink -f "$TUI")
WORK=$(mktemp -d "${TMPDIR:-/tmp}/tui-tests.XXXXXX")
MACHINE="$WORK/machine"
SOCKET="$WORK/tmux.sock"
SESSION=tui
PASSED=0
FAILED=0
export LANG=C.UTF-8 ASAN_OPTIONS=detect_leaks=0

tm() { tmux -S "$SOCKET" "$@"; }
screen() { tm capture-pane -p -t "$SESSION" 2>/dev/null; }
keys() { tm send-keys -t "$SESSION" "$@"; sleep 0.3; }

# Waits until the screen shows the text (fixed string), up to $2 seconds.
wait_for() {
    local text=$1 limit=${2:-10} i
    for ((i = 0; i < limit * 10; i++)); do
        screen | grep -qF -- "$text" && return 0
        sleep 0.1
    done
    echo "    timed out waiting for: $text"
    screen | sed 's/^/    | /'
    return 1
}

# Starts the front end in a fresh tmux session; the shell stays so that
# the program's last words can be read.
start() {
    stop_server
    tm -f /dev/null new-session -d -s "$SESSION" -x 120 -y 40 "$TUI --machine '$MACHINE' --time-scale 0 $*; echo EXIT=\$?; sleep 60"
    wait_for "当前系统为" 15 || return 1
    # Install is enabled right after the system line is shown.
    sleep 0.5
}

stop_server() {
    tm kill-server 2>/dev/null
    local i
    for ((i = 0; i < 50; i++)); do
        tm has-session 2>/dev/null || break
        sleep 0.1
    done
    rm -f "$SOCKET"
}

# Selects row $1 of the port-type list: from the model list (the first
# focus) Tab moves over printer name and check box to the list.
choose_port_row() {
    keys Tab Tab Tab Up Up Up
    local i
    for ((i = 0; i < $1; i++)); do keys Down; done
    keys BTab BTab BTab
}

check() {
    local name=$1
    shift
    if "$@"; then
        echo "ok   $name"
        PASSED=$((PASSED + 1))
    else
        echo "FAIL $name"
        FAILED=$((FAILED + 1))
    fi
}

usb_installation() {
    start --reset || return 1
    choose_port_row 1
    screen | grep -qF ">USB" || { echo "    USB row not selected"; screen | sed 's/^/    | /'; return 1; }
    keys Down  # the second model
    keys Enter
    wait_for "安装已完成" 15 || return 1
    wait_for "完成   >" 5 || return 1
    screen > "$WORK/usb-done.txt"
    keys Enter
    wait_for "The installer ended (OK)" 10
}

state_after_usb() {
    local out
    out=$("$TUI" --machine "$MACHINE" --state) || return 1
    echo "$out" | grep -qF "port:   USB002" || { echo "$out" | sed 's/^/    | /'; return 1; }
    echo "$out" | grep -qF "Printers (1)"
}

serial_installation() {
    start || return 1
    screen | grep -qF "(已载入)" || { echo "    the saved machine was not loaded"; return 1; }
    choose_port_row 0
    keys Enter
    wait_for "提示(自动匹配可用串口设置)" 15 || return 1
    # A label is cut at its own width: the group box's right frame beside
    # the long first line stays as whole as beside the short second one.
    local frames1 frames2
    frames1=$(screen | grep -F "1.若需要" | grep -o "│" | wc -l)
    frames2=$(screen | grep -F "2.若不需要" | grep -o "│" | wc -l)
    [[ $frames1 -ge 2 && $frames1 -eq $frames2 ]] ||
        { echo "    a label runs over the frame ($frames1 vs $frames2)"; screen | sed 's/^/    | /'; return 1; }
    # Focus starts on 需要; Tab to the rates, 19200 -> 9600, back, press.
    keys Tab Up
    wait_for "9600" 3 || return 1
    keys BTab Enter
    wait_for "成功配置打印机端口为 COM2:" 20 || return 1
    keys Enter
    wait_for "The installer ended (OK)" 10 || return 1
    local out
    out=$("$TUI" --machine "$MACHINE" --state)
    echo "$out" | grep -qF "port:   COM2:" && echo "$out" | grep -qF "Printers (2)" ||
        { echo "$out" | sed 's/^/    | /'; return 1; }
}

network_message_box() {
    start --port-wizard cancel || return 1
    choose_port_row 3
    keys Enter
    wait_for "网络端口配置" 10 || return 1
    wait_for "IP_192.168.1.100" 3 || return 1
    # Tab order: list, 新端口, 确定, 配置端口, 删除端口, 取消: delete the only
    # port, then OK on the empty list.
    keys Tab Tab Tab Tab Space
    sleep 0.5
    screen | grep -qF "IP_192.168.1.100" && { echo "    port not deleted"; screen | sed 's/^/    | /'; return 1; }
    keys BTab BTab Space
    wait_for "无可用TCP/IP端口" 5 || return 1
    screen | grep -qF "(!)" || screen | grep -qF "提示" || return 1
    keys Enter
    sleep 0.5
    screen | grep -qF "无可用TCP/IP端口" && { echo "    box still up"; return 1; }
    # Ctrl+C closes the port dialog and the main window like a user.
    keys C-c
    wait_for "The installer ended (cancelled)" 15
}

quit_with_box_up() {
    # The previous case deleted the only TCP/IP port: start afresh.
    start --reset --port-wizard cancel || return 1
    choose_port_row 3
    keys Enter
    wait_for "网络端口配置" 10 || return 1
    keys Tab Tab Tab Tab Space BTab BTab Space
    wait_for "无可用TCP/IP端口" 5 || return 1
    keys C-c
    wait_for "The installer ended (cancelled)" 15
}

check "USB installation ends on 完成" usb_installation
check "--state shows the USB printer in a second run" state_after_usb
check "serial installation at 9600 finds COM2:" serial_installation
check "network path: OK on the empty list shows a box, answered" network_message_box
check "Ctrl+C while a message box is up closes everything" quit_with_box_up

stop_server
if [[ -n "${TUI_CAPTURE:-}" && -f "$WORK/usb-done.txt" ]]; then cp "$WORK/usb-done.txt" "$TUI_CAPTURE"; fi
rm -rf "$WORK"
echo "$PASSED passed, $FAILED failed"
[[ $FAILED -eq 0 ]]
