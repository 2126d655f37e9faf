"""A python-dbusmock template: the session's screen saver service, its methods there as soon as its name is."""

BUS_NAME = MAIN_IFACE = "org.freedesktop.ScreenSaver"
MAIN_OBJ = "/org/freedesktop/ScreenSaver"
SYSTEM_BUS = False


def load(mock, parameters):
    mock.AddMethods(MAIN_IFACE, [("Inhibit", "ss", "u", "ret = 7"), ("UnInhibit", "u", "", "")])
