#!/usr/bin/env bash
# The Ansible playbook of docs/deploying.md, checked as far as this machine
# can: ansible-playbook's syntax check, and every option each task gives a
# module is one that module documents (ansible-doc). Says "skipped" where
# Ansible or its Windows collection is not installed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if ! command -v ansible-playbook >/dev/null || ! ansible-doc -j ansible.windows.win_command >/dev/null 2>&1; then
  echo "deploying docs: skipped (ansible with the ansible.windows collection is not installed)"
  exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The one yaml block of the page.
awk '/^```yaml$/ {inside=1; next} /^```$/ {inside=0} inside' "$root/docs/deploying.md" > "$work/playbook.yml"
[ -s "$work/playbook.yml" ] || { echo "deploying docs: no yaml block in docs/deploying.md"; exit 1; }

ANSIBLE_LOCALHOST_WARNING=False ANSIBLE_INVENTORY_UNPARSED_WARNING=False \
  ansible-playbook --syntax-check -i localhost, "$work/playbook.yml" >"$work/syntax.txt" 2>&1 || {
  cat "$work/syntax.txt"; echo "deploying docs: the playbook fails its syntax check"; exit 1; }

python3 - "$work/playbook.yml" <<'PY'
import json, subprocess, sys, yaml

# Keys a task may carry beside its module.
TASK_KEYS = {"name", "register", "until", "retries", "delay", "when", "changed_when", "failed_when",
             "vars", "become", "ignore_errors", "tags", "notify", "loop"}
plays = yaml.safe_load(open(sys.argv[1]))
docs, faults, checked = {}, [], 0
for play in plays:
    for task in play.get("tasks", []):
        modules = [key for key in task if key not in TASK_KEYS]
        if len(modules) != 1:
            faults.append(f"task {task.get('name')!r}: not one module: {modules}")
            continue
        module = modules[0]
        if module not in docs:
            out = subprocess.run(["ansible-doc", "-j", module], capture_output=True, text=True)
            entry = json.loads(out.stdout or "{}").get(module) if out.returncode == 0 else None
            if not entry:
                faults.append(f"task {task.get('name')!r}: ansible-doc does not know {module}")
                continue
            options = entry["doc"].get("options", {})
            names = set(options)
            for option in options.values():
                names.update(option.get("aliases", []))
            docs[module] = names
        for option in task[module] or {}:
            checked += 1
            if option not in docs[module]:
                faults.append(f"task {task.get('name')!r}: {module} has no option {option!r}")
for fault in faults:
    print("deploying docs:", fault)
if faults or checked == 0:
    sys.exit(1)
print(f"deploying docs: ok ({len(docs)} modules, {checked} options)")
PY
