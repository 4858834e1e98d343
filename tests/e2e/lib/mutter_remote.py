# Sees and types into a headless mutter as a remote-desktop user does, over
# the session bus in DBUS_SESSION_BUS_ADDRESS: one remote-desktop session
# with a screen cast of the monitor, the cursor drawn into the picture.
# Prints "node ID" (the cast's PipeWire node, for pipewiresrc path=ID) once
# the cast runs, then takes commands on standard input, one a line, and
# answers each with "ok" or "error TEXT":
#   key KEYSYM...   presses the keys (X keysym names) in order and releases
#                   them in reverse, as a user types Alt+F4
#   pointer X Y     moves the pointer to X, Y on the monitor
#   click           presses and releases the left button
# mutter ends the session when this process goes: at end of input.
# Usage: mutter_remote.py MONITOR (mutter's name for it, such as Meta-0)
import sys

from gi.repository import Gio, GLib

KEYSYMS = {"Escape": 0xFF1B, "Alt_L": 0xFFE9, "F4": 0xFFC1, "Return": 0xFF0D, "Shift_L": 0xFFE1}
BTN_LEFT = 0x110  # the kernel's code for the left button
BUS = Gio.bus_get_sync(Gio.BusType.SESSION, None)


def call(service, path, interface, method, args=None, reply="()"):
    return BUS.call_sync(service, path, interface, method, args, GLib.VariantType(reply),
                         Gio.DBusCallFlags.NONE, 10000, None).unpack()


def main():
    monitor = sys.argv[1]
    rd_service, sc_service = "org.gnome.Mutter.RemoteDesktop", "org.gnome.Mutter.ScreenCast"
    (session,) = call(rd_service, "/org/gnome/Mutter/RemoteDesktop", rd_service, "CreateSession",
                      reply="(o)")
    (session_id,) = call(rd_service, session, "org.freedesktop.DBus.Properties", "Get",
                         GLib.Variant("(ss)", (rd_service + ".Session", "SessionId")), "(v)")
    (cast,) = call(sc_service, "/org/gnome/Mutter/ScreenCast", sc_service, "CreateSession",
                   GLib.Variant("(a{sv})", ({"remote-desktop-session-id":
                                             GLib.Variant("s", session_id)},)), "(o)")
    (stream,) = call(sc_service, cast, sc_service + ".Session", "RecordMonitor",
                     GLib.Variant("(sa{sv})", (monitor, {"cursor-mode": GLib.Variant("u", 1)})),
                     "(o)")
    loop = GLib.MainLoop()

    def stream_added(_bus, _sender, _path, _interface, _signal, params):
        print(f"node {params.unpack()[0]}", flush=True)

    BUS.signal_subscribe(sc_service, sc_service + ".Stream", "PipeWireStreamAdded", stream,
                         None, Gio.DBusSignalFlags.NONE, stream_added)

    def command(line):
        words = line.split()
        if words[0] == "key":
            codes = [KEYSYMS[name] for name in words[1:]]
            for code, state in [(c, True) for c in codes] + [(c, False) for c in codes[::-1]]:
                call(rd_service, session, rd_service + ".Session", "NotifyKeyboardKeysym",
                     GLib.Variant("(ub)", (code, state)))
        elif words[0] == "pointer":
            call(rd_service, session, rd_service + ".Session", "NotifyPointerMotionAbsolute",
                 GLib.Variant("(sdd)", (stream, float(words[1]), float(words[2]))))
        elif words[0] == "click":
            for state in (True, False):
                call(rd_service, session, rd_service + ".Session", "NotifyPointerButton",
                     GLib.Variant("(ib)", (BTN_LEFT, state)))
        else:
            raise ValueError(f"unknown command {words[0]}")

    def read(channel, _condition):
        line = channel.readline()
        if not line:
            loop.quit()
            return False
        if line.strip():
            try:
                command(line)
                print("ok", flush=True)
            except (GLib.Error, KeyError, ValueError, IndexError) as error:
                print(f"error {error}", flush=True)
        return True

    GLib.io_add_watch(GLib.IOChannel.unix_new(sys.stdin.fileno()), GLib.IO_IN | GLib.IO_HUP, read)
    call(rd_service, session, rd_service + ".Session", "Start")
    loop.run()


if __name__ == "__main__":
    main()
