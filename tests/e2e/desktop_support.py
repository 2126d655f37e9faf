"""What the program meets on a desktop: a shell asking it for an update
check, a default browser (a fake one that writes down what it was given),
and a session starting it from a desktop entry."""

import json
import os
import subprocess

from gi.repository import GLib

from harness import APP_ID, dbus_call


def check_for_updates(bus):
    """Activates the program's "Check for Updates..." action from outside, as
    a desktop shell's menu would."""
    dbus_call(bus.session_address, APP_ID, "/" + APP_ID.replace(".", "/").replace("-", "_"),
              "org.gtk.Actions.Activate", GLib.Variant("(sava{sv})", ("orvi-menu-1", [], {})))


RECORD_URL = """#!/usr/bin/python3
import json, sys
with open(sys.argv[1], 'a', encoding='utf-8') as f:
    f.write(json.dumps(sys.argv[2:]) + '\\n')
"""

# Everything a wrongly let-through address could end up at goes to the fake
# browser too, so that it would be seen.
HANDLED_TYPES = ["x-scheme-handler/https", "x-scheme-handler/http", "x-scheme-handler/file",
                 "x-scheme-handler/javascript", "x-scheme-handler/mailto", "x-scheme-handler/ftp",
                 "text/plain", "text/html", "application/octet-stream", "inode/directory"]


class FakeBrowser:
    """The install's default application for web addresses (and for the
    other schemes and file types above): it writes down each start's
    arguments."""

    def __init__(self, install):
        self.log_path = os.path.join(install.root, "opened.jsonl")
        script = os.path.join(install.root, "record-url")
        with open(script, "w") as f:
            f.write(RECORD_URL)
        os.chmod(script, 0o755)
        applications = os.path.join(install.dirs["XDG_DATA_HOME"], "applications")
        os.makedirs(applications, exist_ok=True)
        with open(os.path.join(applications, "fake-browser.desktop"), "w") as f:
            f.write("[Desktop Entry]\nType=Application\nName=Fake Browser\n"
                    f"Exec={script} {self.log_path} %u\nMimeType={';'.join(HANDLED_TYPES)};\n")
        with open(os.path.join(install.dirs["XDG_CONFIG_HOME"], "mimeapps.list"), "w") as f:
            f.write("[Default Applications]\n" + "".join(f"{t}=fake-browser.desktop\n" for t in HANDLED_TYPES))

    def opened(self):
        """The argument lists of the starts so far."""
        try:
            with open(self.log_path, encoding="utf-8") as f:
                return [json.loads(line) for line in f if line.strip()]
        except FileNotFoundError:
            return []

    def forget(self):
        try:
            os.remove(self.log_path)
        except FileNotFoundError:
            pass

    def open_directly(self, env, urls):
        """Opens each URL the way the program does (with GIO, in the
        program's environment) but without its checks."""
        code = ("import sys\nfrom gi.repository import Gio\n"
                "for url in sys.argv[1:]:\n"
                "    try:\n        Gio.AppInfo.launch_default_for_uri(url, None)\n"
                "    except Exception as e:\n        print(url, e)\n")
        subprocess.run(["/usr/bin/python3", "-c", code, *urls], env=env, capture_output=True, timeout=30)


def exec_argv(entry_path):
    """The command line a session starts for a desktop entry: the Exec value
    unescaped as a key file string, field codes expanded (none are given),
    then split the way a shell would."""
    keys = GLib.KeyFile()
    keys.load_from_file(entry_path, GLib.KeyFileFlags.NONE)
    command, expanded, i = keys.get_string("Desktop Entry", "Exec"), "", 0
    while i < len(command):
        if command[i] == "%" and i + 1 < len(command):
            expanded += "%" if command[i + 1] == "%" else ""
            i += 2
        else:
            expanded += command[i]
            i += 1
    return GLib.shell_parse_argv(expanded)[1]
