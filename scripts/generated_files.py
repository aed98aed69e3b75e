"""Writing the files the build generates."""
import os


def write_if_changed(path, data):
    """Writes `data` to `path` unless the file already holds exactly that,
    so that what depends on it is not rebuilt; the new file appears whole
    or not at all. True when it was written."""
    try:
        with open(path, "rb") as f:
            if f.read() == data:
                return False
    except FileNotFoundError:
        pass
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)
    return True
