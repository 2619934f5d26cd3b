"""The Ansible module as a playbook runs it: ansible-playbook on localhost, under the launcher with
the demo's two printers, each run starting from the printers as the one before left them.

Arguments: printer-sim, the directory of rpsetup, the example playbook."""
import json
import os
import re
import subprocess
import sys
import tempfile

SIM, RPSETUP_DIR, PLAYBOOK = map(os.path.abspath, sys.argv[1:4])
failures = []


def check(ok, what, run):
    if not ok:
        failures.append("%s\n--- output:\n%s%s" % (what, run["out"], run["err"]))


def playbook(tmp, name, state, *options, book=PLAYBOOK):
    record = os.path.join(tmp, name + ".json")
    env = dict(os.environ, PATH=RPSETUP_DIR + os.pathsep + os.environ["PATH"],
               ANSIBLE_LOCAL_TEMP=tmp, ANSIBLE_REMOTE_TEMP=tmp, ANSIBLE_NOCOLOR="1",
               ANSIBLE_PIPELINING="1", ANSIBLE_LIBRARY=os.path.join(os.path.dirname(PLAYBOOK), "library"))
    start = ["--state", state] if state else ["--demo"]
    p = subprocess.run([SIM] + start + ["--record", record, "--", "ansible-playbook", "-i",
                        "localhost,", "-c", "local", "-e", "ansible_python_interpreter=" + sys.executable]
                       + list(options) + [book],
                       env=env, cwd=tmp, capture_output=True, text=True, timeout=300)
    recap = re.search(r"changed=(\d+)\s+unreachable=\d+\s+failed=(\d+)", p.stdout)
    with open(record) as f:
        printers = json.load(f)["printers"]
    return dict(record=record, out=p.stdout, err=p.stderr, recap=recap and recap.groups(),
                sets=[f for pr in printers for f in pr["received"] if f.startswith("1bfffe01")])


with tempfile.TemporaryDirectory() as tmp:
    # -v prints the module's whole result, the arguments it was given included.
    dry = playbook(tmp, "check", None, "--check", "--diff", "-v")
    check(dry["recap"] == ("1", "0"), "check mode reports changed=1", dry)
    check(dry["sets"] == [], "check mode sends no set frame", dry)
    check('-    "speed": "faster",' in dry["out"], "diff mode shows the speed before", dry)
    check("counter-202" not in dry["out"] + dry["err"], "no password is shown", dry)

    first = playbook(tmp, "first", None)
    check(first["recap"] == ("1", "0"), "the first run reports changed=1", first)
    check(len(first["sets"]) == 9, "the first run writes the 9 differing items", first)

    second = playbook(tmp, "second", first["record"])
    check(second["recap"] == ("0", "0"), "the second run reports changed=0", second)
    check(second["sets"] == [], "the second run sends no set frame", second)

    # A printer told an address where it does not answer fails the task, with what was found.
    moved = os.path.join(tmp, "moved.yml")
    with open(moved, "w") as f:
        f.write("- hosts: all\n  gather_facts: false\n  tasks:\n  - receipt_printer:\n"
                "      port: 1\n      check_network: true\n      status: true\n"
                "      settings: {ethernet: {dhcp: false, ip: 192.168.1.77}}\n")
    lost = playbook(tmp, "lost", first["record"], book=moved)
    check(lost["recap"] == ("0", "1"), "a printer that does not answer fails the task", lost)
    check('"answered": false' in lost["out"] and '"result": "no-route"' in lost["out"],
          "the result says what was found", lost)
    check('"ready": true' in lost["out"], "the status is returned", lost)

    bad = playbook(tmp, "bad", first["record"], "-e", "shop_wifi_password=short")
    check(bad["recap"] == ("0", "1"), "an invalid password fails the task", bad)
    check("wifi.station.password: " in bad["out"], "the failure gives rpsetup's message", bad)
    check(bad["sets"] == [], "an invalid document sends nothing", bad)

for failure in failures:
    print("FAIL:", failure, file=sys.stderr)
sys.exit(1 if failures else 0)
