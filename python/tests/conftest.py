"""The tests run against two simulated cameras, with a settings store and shared memory of
their own. The library reads these once per process, so they are set before it loads. The
second camera shows the counter scene: each frame carries its frame number."""

import atexit
import os
import shutil
import sys
import tempfile

_store = tempfile.mkdtemp(prefix="korvix-python-")
atexit.register(shutil.rmtree, _store, ignore_errors=True)
os.environ["KORVIX_SIMULATE"] = "imx990,imx990:scene=counter"
os.environ["KORVIX_REGISTRY"] = os.path.join(_store, "settings.sqlite")
os.environ["KORVIX_IPC_NAMESPACE"] = f"korvix-python-{os.getpid()}"

sys.path.insert(0, os.path.join(os.path.dirname(__file__), ".."))
