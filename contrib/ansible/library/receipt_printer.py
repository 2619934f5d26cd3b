#!/usr/bin/python
# -*- coding: utf-8 -*-

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: receipt_printer
short_description: Bring USB receipt printers to a wanted state
description:
  - Writes the settings of the receipt printers attached by USB to the managed host, through
    C(rpsetup apply). Each printer's items are read first and only those that differ are
    written, then read back; a printer that already holds the settings is not written to.
  - Logos cannot be read back from a printer, so this module does not handle them; use
    C(rpsetup logo download) for them.
  - Passwords in C(settings) are never logged or returned, and the items rpsetup returns show
    them as C(********).
options:
  port:
    description: The printer on this USB port number. Leave out C(port), C(path) and C(all)
      when one printer is attached.
    type: int
  path:
    description: The printer at this USB bus path, as C(rpsetup list) shows it (for example
      C(1-2.1)); for two printers on equal port numbers behind two hubs.
    type: str
  all:
    description: Every attached printer.
    type: bool
    default: false
  settings:
    description:
      - The wanted settings, in the shape of the document C(rpsetup backup) writes. Any subset
        of sections, and within a section any subset of fields; the rest stay as the printer
        holds them. rpsetup checks every value before anything is sent.
    type: dict
    required: true
    suboptions:
      format: {type: str, default: receipt-printer-settings, description: The document's format.}
      version: {type: int, default: 1, description: The document's version.}
      source: {type: dict, description: Where the document came from; rpsetup warns when the product differs.}
      print:
        description: Print speed (slower, normal, faster), density (light, normal, dark) and alarm (off, sound, light, both).
        type: dict
        suboptions:
          speed: {type: str, description: The print speed.}
          density: {type: str, description: The print density.}
          alarm: {type: str, description: The sound and light alarm.}
      ethernet:
        description: The Ethernet IP settings and the TCP and UDP ports.
        type: dict
        suboptions:
          dhcp: {type: bool, description: Whether the address comes from DHCP.}
          ip: {type: str, description: The static address.}
          mask: {type: str, description: The subnet mask.}
          gateway: {type: str, description: The gateway.}
          tcpPort: {type: int, description: The TCP port, 1 to 65535.}
          udpPort: {type: int, description: The UDP port, 1 to 65535.}
      wifi:
        description: The Wi-Fi mode (sta or ap), the network the printer joins and its own access point.
        type: dict
        suboptions:
          mode: {type: str, description: C(sta) to join a network, C(ap) to be an access point.}
          station:
            description: The network the printer joins.
            type: dict
            suboptions:
              ssid: {type: str, description: The network's name.}
              password: {type: str, no_log: true, description: The network's password.}
          accessPoint:
            description: The printer's own access point.
            type: dict
            suboptions:
              ssid: {type: str, description: The access point's name.}
              password: {type: str, no_log: true, description: The access point's password.}
              ip: {type: str, description: The access point's address.}
      wifiIp:
        description: The Wi-Fi IP settings.
        type: dict
        suboptions:
          dhcp: {type: bool, description: Whether the address comes from DHCP.}
          ip: {type: str, description: The static address.}
          gateway: {type: str, description: The gateway.}
          mask: {type: str, description: The subnet mask.}
          dns: {type: str, description: The DNS server.}
  check_network:
    description:
      - After a write that changed a network item, connect to every static address the printer
        now holds (C(rpsetup apply --check-network)) and ask its status there. The task fails
        when the printer does not answer where a till will look for it.
    type: bool
    default: false
  check_network_timeout:
    description: Seconds to keep trying an address that does not answer yet (Wi-Fi settings
      take effect after the printer restarts); 0 tries once.
    type: int
    default: 0
  status:
    description: Also return each printer's real-time status (C(rpsetup status --json)) under
      C(status); a printer that reports a problem does not fail the task.
    type: bool
    default: false
  rpsetup:
    description: The rpsetup executable, a name looked up in PATH or a path.
    type: path
    default: rpsetup
notes:
  - Supports check mode (nothing is written; the items that would change are reported) and
    diff mode (each changed item before and after).
"""

EXAMPLES = r"""
- name: Give every till's printer the shop's network
  receipt_printer:
    all: true
    settings:
      print: {speed: normal, alarm: sound}
      ethernet: {dhcp: true}
      wifi:
        mode: sta
        station: {ssid: Shop-WiFi, password: "{{ shop_wifi_password }}"}
"""

RETURN = r"""
printers:
  description: One entry per printer, as C(rpsetup apply --json) reports it.
  returned: when rpsetup reached a printer
  type: list
  elements: dict
  sample:
    - port: 1
      path: "1-1"
      changed: true
      items:
        speed: {status: changed, before: faster, after: normal}
network:
  description: What the network check found, one entry per printer checked, as
    C(rpsetup apply --json) reports it under C(network), with the printer's port and path.
  returned: when check_network is set and a network item changed
  type: list
  elements: dict
  sample:
    - port: 1
      path: "1-1"
      answered: false
      addresses: [{interface: ethernet, address: 192.168.1.77, port: 9100, result: connection-refused}]
status:
  description: Each printer's real-time status, as C(rpsetup status --json) reports it.
  returned: when status is set
  type: list
  elements: dict
"""

import json
import os
import tempfile

from ansible.module_utils.basic import AnsibleModule

def argument_spec():
    def fields(**kinds):
        return dict(type="dict", options=dict((k, v if isinstance(v, dict) else dict(type=v))
                                              for k, v in kinds.items()))

    secret = dict(type="str", no_log=True)
    return dict(
        port=dict(type="int"),
        path=dict(type="str"),
        all=dict(type="bool", default=False),
        rpsetup=dict(type="path", default="rpsetup"),
        check_network=dict(type="bool", default=False),
        check_network_timeout=dict(type="int", default=0),
        status=dict(type="bool", default=False),
        settings=dict(type="dict", required=True, options=dict(
            format=dict(type="str", default="receipt-printer-settings"),
            version=dict(type="int", default=1),
            source=dict(type="dict"),
            print=fields(speed="str", density="str", alarm="str"),
            ethernet=fields(dhcp="bool", ip="str", mask="str", gateway="str",
                            tcpPort="int", udpPort="int"),
            wifi=fields(mode="str", station=fields(ssid="str", password=secret),
                        accessPoint=fields(ssid="str", password=secret, ip="str")),
            wifiIp=fields(dhcp="bool", ip="str", gateway="str", mask="str", dns="str"),
        )),
    )


def without_unset(value):
    """The document as given: Ansible fills every field left out with None."""
    if isinstance(value, dict):
        return dict((k, without_unset(v)) for k, v in value.items() if v is not None)
    return value


def target_arguments(params):
    if params["all"]:
        return ["--all"]
    if params["path"] is not None:
        return ["--path", params["path"]]
    if params["port"] is not None:
        return ["--port", str(params["port"])]
    return []


def executable(module):
    name = module.params["rpsetup"]
    return name if os.sep in name else module.get_bin_path(name, required=True)


def printer_reports(stdout):
    try:
        reports = json.loads(stdout) if stdout.strip() else []
    except ValueError:
        return None
    return reports if isinstance(reports, list) else [reports]


def item_diff(report):
    before, after = {}, {}
    for name, item in sorted(report.get("items", {}).items()):
        if item.get("status") != "unchanged":
            before[name] = item.get("before")
            after[name] = item.get("after")
    label = "port %s (%s)" % (report.get("port"), report.get("path"))
    return dict(before=before, after=after, before_header=label, after_header=label)


def printer_status(module):
    command = [executable(module)] + target_arguments(module.params) + ["status", "--json"]
    rc, stdout, stderr = module.run_command(command)
    return printer_reports(stdout) or []


def main():
    module = AnsibleModule(argument_spec=argument_spec(),
                           mutually_exclusive=[("port", "path", "all")],
                           supports_check_mode=True)
    document = without_unset(module.params["settings"])

    fd, name = tempfile.mkstemp(prefix="receipt_printer-", suffix=".json", dir=module.tmpdir)
    try:
        # mkstemp creates the file readable by its owner only: it holds the passwords.
        with os.fdopen(fd, "w") as f:
            json.dump(document, f)
        command = [executable(module)] + target_arguments(module.params) + ["apply", "--json"]
        if module.check_mode:
            command.append("--check")
        if module.params["check_network"]:
            command.append("--check-network=%d" % max(0, module.params["check_network_timeout"]))
        rc, stdout, stderr = module.run_command(command + [name])
    finally:
        os.unlink(name)

    reports = printer_reports(stdout)
    # A printer that failed may still have taken some items.
    result = dict(changed=any(r.get("changed") for r in reports or []), printers=reports or [])
    network = [dict(r["network"], port=r.get("port"), path=r.get("path"))
               for r in reports or [] if "network" in r]
    if module.params["check_network"]:
        result["network"] = network
    if module.params["status"]:
        result["status"] = printer_status(module)
    # 1: a printer failed, 2: invalid settings (nothing sent), 3: no printer.
    if rc != 0:
        module.fail_json(msg=stderr.strip() or "rpsetup ended with status %d" % rc, rc=rc,
                         **result)
    if reports is None:
        module.fail_json(msg="rpsetup printed no report: %s" % stdout.strip(), **result)
    if module._diff:
        result["diff"] = [item_diff(r) for r in reports]
    module.exit_json(**result)


if __name__ == "__main__":
    main()
