# "Send as fax" in the file menus of GNOME Files, through its Python
# extensions (nautilus-python/extensions): all selected files go into one fax.
import subprocess

from gi.repository import GObject, Nautilus


class SendAsFax(GObject.GObject, Nautilus.MenuProvider):
    def get_file_items(self, *args):
        # Older versions pass the window first; the files are always last.
        files = args[-1]
        paths = []
        for f in files:
            location = f.get_location()
            path = location.get_path() if location else None
            if path and not f.is_directory():
                paths.append(path)
        if not paths:
            return []
        item = Nautilus.MenuItem(
            name="CorvinaportSendFax::SendAsFax",
            label="Send as fax",
            tip="Send the selected files as one fax",
            icon="corvinaport-sendfax",
        )
        item.connect("activate", self._send, paths)
        return [item]

    def _send(self, _item, paths):
        subprocess.Popen(["corvinaport-sendfax", *paths])
